#include "platform/cancel.hpp"

#include <utility>

namespace mivo {

Cancel::Cancel(std::function<void()> cancelAction)
    : state_(std::make_shared<State>(State{false, std::move(cancelAction)})) {}

void Cancel::cancel() {
    if (state_ == nullptr || state_->cancelled)
        return;
    state_->cancelled = true;
    // The action may drop the last other reference to whatever it cancels;
    // take it out first so it runs exactly once.
    auto action = std::move(state_->action);
    state_->action = nullptr;
    if (action)
        action();
}

}  // namespace mivo
