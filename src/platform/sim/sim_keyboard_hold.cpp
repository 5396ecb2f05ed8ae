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
    othersHeld_ = false;
    limit_.cancel();
    limit_ = clock_.after(limitSeconds, [this] { release(); });
    return true;
}

void SimKeyboardHold::release() {
    if (!holding_)
        return;
    holding_ = false;
    othersHeld_ = false;
    limit_.cancel();
    lastHoldSeconds_ = std::chrono::duration<double>(clock_.now() - since_).count();
    const auto keys = std::exchange(held_, {});
    keysTypedOn_ += keys.size();
    for (const auto& key : keys)
        deliver_(key);
}

void SimKeyboardHold::userKey(const KeyEvent& event) {
    if (holding_)
        held_.push_back(event);
    else
        deliver_(event);
}

void SimKeyboardHold::otherProgramKey(const KeyEvent& event) {
    if (holding_ && othersHeld_)
        held_.push_back(event);
    else
        deliver_(event);
}

}  // namespace mivo::sim
