#pragma once

// Holding every input device while a correction goes in. From the click on
// Apply until the write has shown (or has been given up) and the caret is
// back, whatever the user or another program does on a keyboard or a
// pointer waits here: the user's keyboards and pointers, and the device
// other programs type and click through (on-screen keyboards, dictation
// tools, remote desktops). What waited goes on in order when the hold
// ends: keys where the caret is then, clicks where they were made. Our own
// synthetic input is never held and nothing comes between its events, so
// a paste or typed text goes in whole while everything else waits.

#include <cstdint>

namespace mivo {

class InputHold {
  public:
    virtual ~InputHold() = default;

    // Starts holding every input device; the hold ends by itself after
    // `limitSeconds` at the latest, so that a step that never comes cannot
    // keep the devices. A hold already on is extended. A pointer whose
    // button is down (the press of Apply) is held once the button comes up.
    // False when the keys cannot be held (another program holds the
    // keyboard, a key is down): nothing is held then.
    virtual bool hold(double limitSeconds) = 0;
    // Ends the hold and sends on what was held, from now on: what followed
    // a click goes once the click was taken, and input made meanwhile still
    // waits behind it. Nothing without a hold.
    virtual void release() = 0;
    // Ends the hold like `release`, but the keys held are not typed on (a
    // modifier's press and release still go, so that none stays down):
    // for an application that may still select text of ours when it runs
    // again, where a typed key would replace it. Answers how many key
    // presses were kept out.
    virtual int releaseKeepingKeysOut() = 0;
    virtual bool holding() const = 0;
    // A key of the user's is down now: a hold waits until it comes up (its
    // release would reach no application while the keyboard is held).
    virtual bool keyIsDown() { return false; }
    // A modifier (Shift, Ctrl, Alt, Super, AltGr) is down as the
    // applications see it: a key posted now would reach them with it, and
    // Ctrl+V would become Ctrl+Shift+V or another shortcut.
    virtual bool modifierIsDown() { return false; }
    // Key events sent on at the end of holds so far: one more than when a
    // write began is a key that reached the field since.
    virtual uint64_t keysTypedOn() const { return 0; }
};

}  // namespace mivo
