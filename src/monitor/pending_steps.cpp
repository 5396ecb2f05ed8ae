#include "monitor/pending_steps.hpp"

#include <utility>

namespace mivo {

void PendingSteps::keep(uint64_t id, Cancel scheduled, std::function<void()> onDropped) {
    steps_.emplace(id, Step{std::move(scheduled), std::move(onDropped)});
}

void PendingSteps::dropAll() {
    // A step told it was dropped may schedule or forget steps of its own.
    auto steps = std::move(steps_);
    steps_.clear();
    for (auto& [id, step] : steps) {
        step.scheduled.cancel();
        if (step.onDropped)
            step.onDropped();
    }
}

}  // namespace mivo
