#pragma once

// System-wide keyboard shortcuts: while one is registered, every press of its
// key with exactly its modifiers reaches the handler on the main loop,
// whichever application has the keyboard focus.

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>

#include "shared/hotkey_config.hpp"

namespace mivo {

// Why the system did not take a shortcut, with a status code for log lines.
enum class HotKeyRefusal : int32_t {
    // Another application holds the combination.
    heldElsewhere = -9878,
    // No key of this keyboard has the key code.
    unknownKey = -9879,
    // There is no system to register with (no X display).
    unavailable = -9880,
};

inline int32_t code(HotKeyRefusal r) {
    return static_cast<int32_t>(r);
}

// The X11 answer behind a refusal, for log lines: the grab's BadAccess, no
// keycode for the key (NoSymbol), or no display to grab on.
inline const char* x11Name(HotKeyRefusal r) {
    switch (r) {
        case HotKeyRefusal::heldElsewhere:
            return "BadAccess";
        case HotKeyRefusal::unknownKey:
            return "NoSymbol";
        case HotKeyRefusal::unavailable:
            return "no display";
    }
    return "unknown";
}

// What X grabbed for a shortcut, for log lines: the keycode of this
// keyboard and X's modifier mask (Shift 1, Control 4, Alt 8, Super 64).
struct GrabbedKey {
    unsigned int keycode = 0;
    unsigned int modifiers = 0;
};

// A registered shortcut; destroying it unregisters it, after which no press
// reaches its handler.
class HotKeyRegistration {
  public:
    virtual ~HotKeyRegistration() = default;
    virtual GrabbedKey grabbed() const = 0;
};

class HotKeys {
  public:
    virtual ~HotKeys() = default;

    using PressedHandler = std::function<void()>;
    // Only `keyCode` and `carbonModifiers` count; `display` is the user's
    // text. Presses are reported once per key-down, whatever lock keys
    // (Caps Lock, Num Lock) are on.
    virtual std::expected<std::unique_ptr<HotKeyRegistration>, HotKeyRefusal> registerHotKey(
        const HotKeyConfig& config, PressedHandler onPressed) = 0;
};

}  // namespace mivo
