#pragma once

// The handle of anything installed for later: a scheduled step, a repeating
// timer, an observer. Copies share the one installation; cancelling any copy
// cancels it, and cancelling twice (or an empty handle) is harmless.
// Dropping a handle does not cancel: like a dispatched work item, the step
// still runs unless someone cancels it.

#include <functional>
#include <memory>

namespace mivo {

class Cancel {
  public:
    Cancel() = default;
    explicit Cancel(std::function<void()> cancelAction);

    void cancel();
    // Whether the handle refers to an installation at all.
    explicit operator bool() const { return state_ != nullptr; }
    // Whether cancel() was called on any copy. A step that already ran is
    // not cancelled.
    bool isCancelled() const { return state_ != nullptr && state_->cancelled; }

  private:
    struct State {
        bool cancelled = false;
        std::function<void()> action;
    };
    std::shared_ptr<State> state_;
};

}  // namespace mivo
