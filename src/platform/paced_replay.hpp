#pragma once

// Sending held input on so that each application takes it in the order it
// was made. A click and the keys after it reach an application by
// different ways: the click goes to the window under the pointer, often
// through a window manager that takes it first (to raise and focus) and
// lets it on only once it has looked at it, the keys go straight to the
// focused window. Sent in one burst, the keys overtake the click and go in
// where the caret was before it; a move sent before the click's release
// was taken makes the click a drag. So the input goes out a step at a
// time, and a step that ends with a click is waited for until it was
// taken, a short while at most, before the next one goes.

#include <functional>
#include <optional>

#include "platform/cancel.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

class PacedReplay {
  public:
    // How long one step is waited for at most: a window manager or a busy
    // application that does not take a click by then is not waited for.
    static constexpr double kStepWaitSeconds = 0.3;
    // How often a step's `taken` is asked.
    static constexpr double kPollSeconds = 0.004;

    struct Step {
        std::function<void()> send;
        // Whether the applications have taken what `send` sent; empty when
        // nothing after it waits.
        std::function<bool()> taken;
    };
    // The next step of what is held, or nothing when everything is out.
    using NextStep = std::function<std::optional<Step>()>;

    explicit PacedReplay(Scheduler& scheduler) : scheduler_(scheduler) {}
    ~PacedReplay() { stop(); }
    PacedReplay(const PacedReplay&) = delete;
    PacedReplay& operator=(const PacedReplay&) = delete;

    // Sends the steps `next` gives, in order, now and on the scheduler,
    // then calls `done`. No wait runs past `deadline`: from then on what is
    // left goes out at once.
    void start(NextStep next, std::function<void()> done, TimePoint deadline);
    // No step more is asked for, and `done` is not called.
    void stop();
    bool running() const { return running_; }

  private:
    void run();

    Scheduler& scheduler_;
    NextStep next_;
    std::function<void()> done_;
    TimePoint deadline_{};
    std::function<bool()> waitingFor_;
    TimePoint waitUntil_{};
    Cancel poll_;
    bool running_ = false;
};

}  // namespace mivo
