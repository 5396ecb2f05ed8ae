#pragma once

// Every input device on the simulated desktop: keys and clicks the test
// makes as the user or as another program wait here while the devices are
// held and go on, in order, when the hold ends (by the service, or by its
// time limit on the virtual clock). Synthetic input of the services never
// passes through here.

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
    uint64_t keysTypedOn() const override { return keysTypedOn_; }

    // A key of the user's, or of another program through the device the
    // services type through: held while the devices are held, else
    // delivered.
    void userKey(const KeyEvent& event) { key(event); }
    void otherProgramKey(const KeyEvent& event) { key(event); }
    // A press and release of a pointer, the user's or another program's:
    // `click` does what it does to the desktop, now or when the hold ends.
    void pointer(std::function<void()> click);

    // Like another program holding the keyboard: every hold is refused.
    void setRefused(bool refused) { refused_ = refused; }
    // The user holds a key down: no hold is taken until it comes up.
    void setKeyDown(bool down) { keyDown_ = down; }
    // The user presses or lets go of Shift (or another modifier): while the
    // devices are held, the applications see it only when the hold ends.
    void setModifierDown(bool down);
    int holdsTaken() const { return holdsTaken_; }
    // Seconds the last hold lasted, from its start to its release.
    double lastHoldSeconds() const { return lastHoldSeconds_; }

  private:
    void key(const KeyEvent& event);

    Scheduler& clock_;
    Deliver deliver_;
    std::vector<std::function<void()>> held_;
    bool holding_ = false;
    bool refused_ = false;
    bool keyDown_ = false;
    bool modifierDown_ = false;
    int holdsTaken_ = 0;
    uint64_t keysTypedOn_ = 0;
    TimePoint since_{};
    double lastHoldSeconds_ = 0;
    Cancel limit_;
};

}  // namespace mivo::sim
