#pragma once

// What one key press means while the shortcut recorder is recording. The
// view translates the toolkit's key event into a `CapturedKeyPress`; this
// decides, with no toolkit in sight.

#include <cstdint>
#include <optional>
#include <string>

#include "settings/hotkey_mapper.hpp"
#include "shared/hotkey_config.hpp"

namespace mivo {

struct CapturedKeyPress {
    // The ANSI virtual key code; nothing for a key the stored format cannot
    // name (a media key, a key of another layout with no ANSI place).
    std::optional<uint16_t> keyCode;
    KeyModifiers modifiers;
    // The characters the key types without Control, Option and Command
    // (Shift still applies); nothing for keys that type none.
    std::optional<std::string> characters;
    // A press of a modifier key on its own. The toolkit reports these; a
    // shortcut is never a modifier alone.
    bool modifierOnly = false;
};

struct CaptureOutcome {
    enum class Kind {
        ignored,    // keep recording (a modifier pressed on its own)
        cancelled,  // Esc: stop recording, change nothing, no sound
        refused,    // no Command, Control or Option: beep, stop recording
        recorded,   // `config` is the new shortcut
    };
    Kind kind = Kind::ignored;
    HotKeyConfig config;
};

namespace shortcut_capture {

inline constexpr uint16_t escapeKeyCode = 53;

CaptureOutcome handle(const CapturedKeyPress& press);

}  // namespace shortcut_capture

}  // namespace mivo
