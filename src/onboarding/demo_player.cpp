#include "onboarding/demo_player.hpp"

namespace mivo {

DemoPlayer::DemoPlayer(Scheduler& scheduler) : scheduler_(scheduler) {}

DemoPlayer::~DemoPlayer() {
    // A step that outlived the player would touch freed memory.
    timer_.cancel();
}

bool DemoPlayer::isToneStage(Phase phase) {
    return static_cast<int>(phase) >= static_cast<int>(Phase::selected);
}

void DemoPlayer::start() {
    timer_.cancel();
    idx_ = 0;
    phase_ = timeline[0].phase;
    if (onPhaseChanged) {
        onPhaseChanged(phase_, false);
    }
    schedule();
}

void DemoPlayer::stop() {
    timer_.cancel();
    timer_ = Cancel();
}

void DemoPlayer::schedule() {
    timer_.cancel();
    timer_ = scheduler_.after(timeline[idx_].seconds, [this] { step(); });
}

void DemoPlayer::step() {
    idx_ = (idx_ + 1) % timeline.size();
    phase_ = timeline[idx_].phase;
    // Scheduled before reporting, so an observer that stops the player
    // cancels this step's successor rather than being overridden by it.
    schedule();
    if (onPhaseChanged) {
        onPhaseChanged(phase_, true);
    }
}

}  // namespace mivo
