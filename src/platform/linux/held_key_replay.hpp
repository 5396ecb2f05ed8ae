#pragma once

// What to type on when a hold of the user's keys ends, given what each
// keyboard has down at that moment. Plain C++, so that the choices are
// tested without an X server; X11KeyboardHold posts the result.
//
// The held keys go out on the device we type through, which keeps a key
// state of its own beside the user's keyboards: a press of a key it still
// has down is taken for a repeat and never reaches the applications. A
// modifier left down there for the user (a Shift held on past the hold)
// stays down on that device after the user's own keyboard let it go, so
// such a stale key is released there first; the release reaches no
// application, since none sees the key down.

#include <bitset>
#include <span>
#include <vector>

namespace mivo::linux_desktop {

using KeyBits = std::bitset<256>;

struct HeldKeyEvent {
    unsigned char keycode = 0;
    bool down = true;
    bool operator==(const HeldKeyEvent&) const = default;
};

// The keys down as the hold ends.
struct KeysDownNow {
    KeyBits user{};         // on one of the user's own keyboards
    KeyBits typing{};       // on the device the held keys are typed through
    KeyBits application{};  // as the applications see them (the master)
};

struct HeldKeyReplay {
    // In order, on the typing device.
    std::vector<HeldKeyEvent> events;
    // Modifiers left down on the typing device because the user still holds
    // them: each is to be released there once the user lets it go.
    std::vector<unsigned char> standIns;
};

HeldKeyReplay planHeldKeyReplay(std::span<const HeldKeyEvent> held, const KeyBits& modifiers,
                                const KeysDownNow& now);

}  // namespace mivo::linux_desktop
