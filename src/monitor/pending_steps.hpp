#pragma once

// The monitor's delayed steps that have not run yet. A stop drops them all,
// and a step dropped that way is told, so that what it would have finished
// (a clipboard given back, a hold ended) is finished anyway.

#include <cstdint>
#include <functional>
#include <map>

#include "platform/cancel.hpp"

namespace mivo {

class PendingSteps {
  public:
    // The id the next step is kept under: known before it is scheduled, so
    // that the step can forget itself when it runs.
    uint64_t nextId() { return next_++; }
    void keep(uint64_t id, Cancel scheduled, std::function<void()> onDropped);
    void forget(uint64_t id) { steps_.erase(id); }
    // Cancels every step kept and tells each one dropped.
    void dropAll();

  private:
    struct Step {
        Cancel scheduled;
        std::function<void()> onDropped;
    };
    std::map<uint64_t, Step> steps_;
    uint64_t next_ = 0;
};

}  // namespace mivo
