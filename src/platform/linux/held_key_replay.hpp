#pragma once

// What to send on when a hold of the input devices ends, given what each
// keyboard has down at that moment. Plain C++, so that the choices are
// tested without an X server; X11InputHold posts the result.
//
// The held keys go out on the device we type through, which keeps a key
// state of its own beside the user's keyboards: a press of a key it still
// has down is taken for a repeat and never reaches the applications. A
// modifier left down there for the user (a Shift held on past the hold)
// stays down on that device after the user's own keyboard let it go, so
// such a stale key is released there first; the release reaches no
// application, since none sees the key down. Clicks and moves of the
// pointers keep their place among the keys: a key typed after a click
// goes where the click put the caret.

#include <bitset>
#include <span>
#include <variant>
#include <vector>

namespace mivo::linux_desktop {

using KeyBits = std::bitset<256>;

struct HeldKeyEvent {
    unsigned char keycode = 0;
    bool down = true;
    bool operator==(const HeldKeyEvent&) const = default;
};

// A pointer's button pressed or let go where it was, in root window
// coordinates; button 0 is a move.
struct HeldPointerEvent {
    int button = 0;
    bool down = false;
    int x = 0;
    int y = 0;
    bool operator==(const HeldPointerEvent&) const = default;
};

using HeldEvent = std::variant<HeldKeyEvent, HeldPointerEvent>;

// The keys down as the hold ends.
struct KeysDownNow {
    KeyBits user{};         // on one of the user's own keyboards
    KeyBits typing{};       // on the device the held keys are typed through
    KeyBits application{};  // as the applications see them (the master)
};

struct HeldKeyReplay {
    // In order, keys on the typing device, pointer events on ours.
    std::vector<HeldEvent> events;
    // Modifiers left down on the typing device because the user still holds
    // them: each is to be released there once the user lets it go.
    std::vector<unsigned char> standIns;
};

// The same, a part at a time, for input sent on in steps.
class HeldReplayPlan {
  public:
    // `atStart`: what the typing device and the applications have down as
    // the first part goes out.
    explicit HeldReplayPlan(const KeysDownNow& atStart) : atStart_(atStart) {}
    // What to send for the next held events.
    std::vector<HeldEvent> next(std::span<const HeldEvent> held);
    // Once everything held went out: the keys to let up, and those left
    // down for the user, given what the user's keyboards have down now.
    HeldKeyReplay finish(const KeyBits& modifiers, const KeyBits& userDown) const;

  private:
    KeysDownNow atStart_;
    KeyBits down_;
    KeyBits cleared_;
    std::bitset<32> buttons_;
};

HeldKeyReplay planHeldKeyReplay(std::span<const HeldEvent> held, const KeyBits& modifiers,
                                const KeysDownNow& now);

}  // namespace mivo::linux_desktop
