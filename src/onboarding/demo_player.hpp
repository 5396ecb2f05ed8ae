#pragma once

// The clock of the how-it-works demonstration: eight phases in a fixed
// timeline that loops every 12.4 s while the demonstration is on screen.
// It steps on the Scheduler, so tests move it with a virtual clock.

#include <array>
#include <cstddef>
#include <functional>

#include "platform/cancel.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

class DemoPlayer {
  public:
    enum class Phase {
        typing,
        underline,
        tooltip,
        applied,
        selected,
        tonePolite,
        toneBusiness,
        toneApplied,
    };

    struct Step {
        Phase phase;
        double seconds;  // how long the phase stays on screen
    };

    static constexpr std::array<Step, 8> timeline{{
        {Phase::typing, 1.6},
        {Phase::underline, 1.0},
        {Phase::tooltip, 2.0},
        {Phase::applied, 1.6},
        {Phase::selected, 1.3},
        {Phase::tonePolite, 1.4},
        {Phase::toneBusiness, 1.7},
        {Phase::toneApplied, 1.8},
    }};
    static constexpr double loopSeconds = 12.4;
    // Every phase change after the first is animated over this long.
    static constexpr double phaseAnimationSeconds = 0.35;

    explicit DemoPlayer(Scheduler& scheduler);
    ~DemoPlayer();
    DemoPlayer(const DemoPlayer&) = delete;
    DemoPlayer& operator=(const DemoPlayer&) = delete;

    Phase phase() const { return phase_; }
    std::size_t idx() const { return idx_; }
    // Whether a step is pending.
    bool isRunning() const { return static_cast<bool>(timer_) && !timer_.isCancelled(); }

    // From the first phase, shown at once. A step still pending from an
    // earlier run is cancelled first, so there is only ever one loop.
    void start();
    // Cancels the pending step; the phase stays where it is.
    void stop();

    // Every phase change: the new phase and whether it should be animated
    // (false only for the first phase of start()).
    std::function<void(Phase, bool animated)> onPhaseChanged;

    // The two stages of the demonstration: correction (phases 0 to 3) and
    // tone (4 to 7).
    static bool isToneStage(Phase phase);

  private:
    void schedule();
    void step();

    Scheduler& scheduler_;
    Phase phase_ = Phase::typing;
    std::size_t idx_ = 0;
    Cancel timer_;
};

}  // namespace mivo
