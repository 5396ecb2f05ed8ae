#pragma once

// Holding the user's keys on X11. Every slave keyboard of the master that
// we type through is grabbed through XInput 2, except that master's own
// XTest device: a grabbed slave floats off its master for the grab, so its
// keys come to us alone and no application sees a focus change, while the
// keys we post with XTest still reach the focused window. When the hold
// ends the held keys are typed on with XTest, in order; should we go away
// meanwhile, the X server ends the grab itself. A modifier the user still
// holds then stays down on the XTest device until the user lets it go; the
// keyboard it is held on stays grabbed until then, its keys typed on with
// XTest as they come, so that the applications never see the core
// keyboard switch over to it with a modifier they did not see go down.
//
// Other programs type through that same XTest device. Once our paste
// keystroke has gone out, the device is grabbed too until the hold ends:
// its keys then wait with the user's instead of landing at the paste's
// caret. Nothing of ours is posted while it is grabbed (a key we posted
// then would be held and typed on with the rest).

#include <functional>
#include <map>
#include <set>
#include <vector>

#include "platform/cancel.hpp"
#include "platform/keyboard_hold.hpp"
#include "platform/linux/held_key_replay.hpp"
#include "platform/log.hpp"
#include "platform/scheduler.hpp"

namespace mivo::linux_desktop {

class X11Connection;

class X11KeyboardHold : public KeyboardHold {
  public:
    // `ownKeysQueued` tells whether keys we posted have yet to go out.
    X11KeyboardHold(X11Connection& x11, Scheduler& scheduler, Log& log,
                    std::function<bool()> ownKeysQueued = {});
    ~X11KeyboardHold() override;
    X11KeyboardHold(const X11KeyboardHold&) = delete;
    X11KeyboardHold& operator=(const X11KeyboardHold&) = delete;

    bool hold(double limitSeconds) override;
    void release() override;
    bool holding() const override { return !grabbed_.empty(); }
    bool keyIsDown() override { return available_ && anyKeyDown(); }
    bool modifierIsDown() override;
    void holdOtherPrograms() override;
    uint64_t keysTypedOn() const override { return keysTypedOn_; }
    // The last key of our paste keystroke has just gone out.
    void pasteKeysOut();

    // A key code was given another keysym: floating keyboards miss the
    // change, so it is made again for them when they come back.
    void keymapChanged(unsigned char keycode);

  private:
    struct Keyboards {
        // The slaves of our master keyboard but its XTest one.
        std::vector<int> user;
        // That master's XTest keyboard, which our keys go through.
        int typing = -1;
    };
    Keyboards keyboards();
    std::vector<int> userKeyboards() { return keyboards().user; }
    bool anyKeyDown();
    KeyBits modifierKeys();
    // Down on any of these devices, whatever the master says.
    KeyBits keysDownOn(const std::vector<int>& devices);
    bool listen();
    // Grabs the XTest keyboard once the keys we queued have gone out.
    void holdTypingDeviceWhenOurKeysAreOut(int looksLeft);
    void grabTypingDevice();
    // Our own keys go out again; those held of other programs wait on.
    void letTypingDeviceGo();
    // `stillHeld`: keys down on keyboards that stay ours past the hold.
    void typeOn(const std::vector<HeldKeyEvent>& keys, const KeyBits& stillHeld = {});
    // A key of a keyboard kept past the hold, typed on at once.
    void forward(unsigned char keycode, bool down);
    // Gives the kept keyboards back once the user holds nothing on them.
    void endForwardingOnceLetGo();
    // Lets each modifier left down for the user up on the XTest device once
    // none of the user's keyboards has it down any more.
    void watchStandIns();
    void remapAgain();

    X11Connection& x11_;
    Scheduler& scheduler_;
    Log& log_;
    std::function<bool()> ownKeysQueued_;
    int xiOpcode_ = -1;
    bool available_ = false;
    Cancel listening_;
    Cancel limit_;
    std::vector<int> grabbed_;
    // Our XTest keyboard, when it is among them.
    int typingGrabbed_ = -1;
    // The user's keyboards kept past the end of a hold while a modifier is
    // down on them.
    std::vector<int> forwarding_;
    // What each keyboard we hold has down, from its events since the hold
    // began (no key was down then).
    std::map<int, KeyBits> downOn_;
    // Other programs' keys are to be held from our paste keystroke on.
    bool othersWanted_ = false;
    Cancel othersWait_;
    // The keyboards whose grab is ending: their keys read meanwhile are held
    // keys still.
    std::vector<int> ending_;
    std::vector<HeldKeyEvent> held_;
    std::set<unsigned char> remapped_;
    std::vector<unsigned char> standIns_;
    Cancel standInWatch_;
    TimePoint since_{};
    uint64_t keysTypedOn_ = 0;
};

}  // namespace mivo::linux_desktop
