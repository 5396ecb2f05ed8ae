#include "platform/sim/sim_keyboard_hold.hpp"

#include <chrono>
#include <utility>

namespace mivo::sim {

bool SimKeyboardHold::hold(double limitSeconds) {
    if (refused_ || (keyDown_ && !holding_))
        return false;
    if (!holding_) {
        holding_ = true;
        ++holdsTaken_;
        since_ = clock_.now();
    }
    limit_.cancel();
    limit_ = clock_.after(limitSeconds, [this] { release(); });
    return true;
}

void SimKeyboardHold::release() {
    if (!holding_)
        return;
    holding_ = false;
    limit_.cancel();
    lastHoldSeconds_ = std::chrono::duration<double>(clock_.now() - since_).count();
    for (const auto& event : std::exchange(held_, {}))
        event();
}

void SimKeyboardHold::key(const KeyEvent& event) {
    if (!holding_)
        return deliver_(event);
    held_.push_back([this, event] {
        ++keysTypedOn_;
        deliver_(event);
    });
}

void SimKeyboardHold::pointer(std::function<void()> click) {
    if (!holding_)
        return click();
    held_.push_back(std::move(click));
}

void SimKeyboardHold::setModifierDown(bool down) {
    if (!holding_) {
        modifierDown_ = down;
        return;
    }
    held_.push_back([this, down] { modifierDown_ = down; });
}

}  // namespace mivo::sim
