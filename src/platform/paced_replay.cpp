#include "platform/paced_replay.hpp"

#include <algorithm>
#include <utility>

namespace mivo {

void PacedReplay::start(NextStep next, std::function<void()> done, TimePoint deadline) {
    stop();
    next_ = std::move(next);
    done_ = std::move(done);
    deadline_ = deadline;
    running_ = true;
    run();
}

void PacedReplay::stop() {
    poll_.cancel();
    poll_ = Cancel();
    running_ = false;
    waitingFor_ = nullptr;
    next_ = nullptr;
    done_ = nullptr;
}

void PacedReplay::run() {
    while (running_) {
        const TimePoint now = scheduler_.now();
        // Copies: a step may stop the replay, which lets go of both.
        if (const auto taken = waitingFor_; taken && now < waitUntil_ && !taken()) {
            poll_ = scheduler_.after(kPollSeconds, [this] {
                poll_ = Cancel();
                run();
            });
            return;
        }
        waitingFor_ = nullptr;
        const NextStep next = next_;
        std::optional<Step> step = next();
        if (!step) {
            auto done = std::exchange(done_, nullptr);
            stop();
            if (done)
                done();
            return;
        }
        step->send();
        // Sending may have ended the replay (a new hold taken meanwhile).
        if (!running_)
            return;
        if (step->taken) {
            waitingFor_ = std::move(step->taken);
            waitUntil_ = std::min(scheduler_.now() + seconds(kStepWaitSeconds), deadline_);
        }
    }
}

}  // namespace mivo
