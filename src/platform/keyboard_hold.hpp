#pragma once

// Holding the user's own keys for a moment. While a correction goes in
// through a selection, a key the user types would replace the selection or
// land right after the correction; held keys wait, and are typed in order
// into whatever has the keyboard focus when the hold ends. Our own
// synthetic input is never held, so a paste or typed text still goes in
// while the user's keys wait.

#include <cstdint>

namespace mivo {

class KeyboardHold {
  public:
    virtual ~KeyboardHold() = default;

    // Starts holding the user's keys; the hold ends by itself after
    // `limitSeconds` at the latest, so that a step that never comes cannot
    // keep the keyboard. A hold already on is extended, and keys typed
    // through our own device pass again until `holdOtherPrograms` is asked
    // anew: a hold left from an earlier write (its monitor stopped) would
    // otherwise keep the next write's keystroke from the application. False
    // when the keys cannot be held (another program holds the keyboard, a
    // key is down): nothing is held then.
    virtual bool hold(double limitSeconds) = 0;
    // Ends the hold and types the held keys now; nothing without a hold.
    virtual void release() = 0;
    virtual bool holding() const = 0;
    // A key of the user's is down now: a hold waits until it comes up (its
    // release would reach no application while the keyboard is held).
    virtual bool keyIsDown() { return false; }
    // A modifier (Shift, Ctrl, Alt, Super, AltGr) is down as the
    // applications see it: a key posted now would reach them with it, and
    // Ctrl+V would become Ctrl+Shift+V or another shortcut.
    virtual bool modifierIsDown() { return false; }
    // From now until the hold ends, keys that other programs type through
    // the device our own input goes through (on-screen keyboards, dictation
    // tools, remote desktops) are held too and typed on with the user's;
    // what we posted before this call still goes out first. Between our
    // paste keystroke and the caret's return they would land at the paste's
    // caret. Nothing without a hold, or where they cannot be held.
    virtual void holdOtherPrograms() {}
    // Key events typed on at the end of holds so far: one more than when a
    // write began is a key that reached the field since.
    virtual uint64_t keysTypedOn() const { return 0; }
};

}  // namespace mivo
