#pragma once

// The user's keyboard on the simulated desktop: keys the test types as the
// user wait here while the keyboard is held and are delivered, in order,
// when the hold ends (by the service, or by its time limit on the virtual
// clock). Synthetic input of the services never passes through here.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/cancel.hpp"
#include "platform/input_events.hpp"
#include "platform/keyboard_hold.hpp"
#include "platform/scheduler.hpp"

namespace mivo::sim {

class SimKeyboardHold : public KeyboardHold {
  public:
    using Deliver = std::function<void(const KeyEvent&)>;
    SimKeyboardHold(Scheduler& clock, Deliver deliver)
        : clock_(clock), deliver_(std::move(deliver)) {}
    ~SimKeyboardHold() override { limit_.cancel(); }
    SimKeyboardHold(const SimKeyboardHold&) = delete;
    SimKeyboardHold& operator=(const SimKeyboardHold&) = delete;

    bool hold(double limitSeconds) override;
    void release() override;
    bool holding() const override { return holding_; }
    bool keyIsDown() override { return keyDown_ || modifierDown_; }
    bool modifierIsDown() override { return modifierDown_; }
    void holdOtherPrograms() override { othersHeld_ = holding_; }
    uint64_t keysTypedOn() const override { return keysTypedOn_; }
    // Our own keys go through the device other programs type through: held
    // with theirs (as on X11, where that device is grabbed).
    bool holdsOurKeys() const { return holding_ && othersHeld_; }

    // A key of the user's: held while the keyboard is held, else delivered.
    void userKey(const KeyEvent& event);
    // A key of another program through the device the services type
    // through: held only once the services asked for it.
    void otherProgramKey(const KeyEvent& event);

    // Like another program holding the keyboard: every hold is refused.
    void setRefused(bool refused) { refused_ = refused; }
    // The user holds a key down: no hold is taken until it comes up.
    void setKeyDown(bool down) { keyDown_ = down; }
    // The user holds Shift (or another modifier) down.
    void setModifierDown(bool down) { modifierDown_ = down; }
    int holdsTaken() const { return holdsTaken_; }
    // Seconds the last hold lasted, from its start to its release.
    double lastHoldSeconds() const { return lastHoldSeconds_; }

  private:
    Scheduler& clock_;
    Deliver deliver_;
    std::vector<KeyEvent> held_;
    bool holding_ = false;
    bool refused_ = false;
    bool keyDown_ = false;
    bool modifierDown_ = false;
    bool othersHeld_ = false;
    int holdsTaken_ = 0;
    uint64_t keysTypedOn_ = 0;
    TimePoint since_{};
    double lastHoldSeconds_ = 0;
    Cancel limit_;
};

}  // namespace mivo::sim
