#pragma once

// Holding the user's keys on X11. Every slave keyboard of the master that
// we type through is grabbed through XInput 2, except that master's own
// XTest device: a grabbed slave floats off its master for the grab, so its
// keys come to us alone and no application sees a focus change, while the
// keys we post with XTest still reach the focused window. When the hold
// ends the held keys are typed on with XTest, in order; should we go away
// meanwhile, the X server ends the grab itself.

#include <set>
#include <vector>

#include "platform/cancel.hpp"
#include "platform/keyboard_hold.hpp"
#include "platform/log.hpp"
#include "platform/scheduler.hpp"

namespace mivo::linux_desktop {

class X11Connection;

class X11KeyboardHold : public KeyboardHold {
  public:
    X11KeyboardHold(X11Connection& x11, Scheduler& scheduler, Log& log);
    ~X11KeyboardHold() override;
    X11KeyboardHold(const X11KeyboardHold&) = delete;
    X11KeyboardHold& operator=(const X11KeyboardHold&) = delete;

    bool hold(double limitSeconds) override;
    void release() override;
    bool holding() const override { return !grabbed_.empty(); }
    bool keyIsDown() override { return available_ && anyKeyDown(); }

    // A key code was given another keysym: floating keyboards miss the
    // change, so it is made again for them when they come back.
    void keymapChanged(unsigned char keycode);

  private:
    struct HeldKey {
        unsigned char keycode = 0;
        bool down = true;
    };
    // The user's keyboards: the slaves of our master keyboard but its XTest.
    std::vector<int> userKeyboards();
    bool anyKeyDown();
    bool isModifier(unsigned char keycode);
    // Down on one of the user's own keyboards, whatever the master says.
    bool physicallyDown(unsigned char keycode);
    bool listen();
    void typeOn(const std::vector<HeldKey>& keys);
    void remapAgain();

    X11Connection& x11_;
    Scheduler& scheduler_;
    Log& log_;
    int xiOpcode_ = -1;
    bool available_ = false;
    Cancel listening_;
    Cancel limit_;
    std::vector<int> grabbed_;
    // The keyboards whose grab is ending: their keys read meanwhile are held
    // keys still.
    std::vector<int> ending_;
    std::vector<HeldKey> held_;
    std::set<unsigned char> remapped_;
    TimePoint since_{};
};

}  // namespace mivo::linux_desktop
