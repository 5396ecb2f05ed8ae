#pragma once

// Turns a key press into the stored shortcut: the modifier mask of the
// hotkey record (0x100 Command, 0x200 Shift, 0x800 Option, 0x1000 Control)
// and the display text stored with it, such as "⇧⌘J" (the views write it
// for the user through shortcutText: "Shift+Super+J"). Key codes are the
// virtual key codes of the ANSI layout that HotKeyConfig stores.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mivo {

// The four modifiers a shortcut can hold. On Linux, Command is the Super
// key, Option is Alt.
struct KeyModifiers {
    bool command = false;
    bool shift = false;
    bool option = false;
    bool control = false;
};

namespace HotKeyMapper {

uint32_t modifierMask(KeyModifiers modifiers);

// The modifier glyphs in the order Control, Option, Shift, Command, then the
// key's glyph.
std::string display(uint16_t keyCode, uint32_t carbonModifiers,
                    const std::optional<std::string>& characters);

// The key part of `display`: the name of a key without a printable
// character, else the first Character of `characters` upper-cased, else
// "Key " and the key code.
std::string keyGlyph(uint16_t keyCode, const std::optional<std::string>& characters);

// The names of the nine keys that have no printable character; nothing for
// any other key code.
std::optional<std::string_view> specialKeyName(uint16_t keyCode);

}  // namespace HotKeyMapper

}  // namespace mivo
