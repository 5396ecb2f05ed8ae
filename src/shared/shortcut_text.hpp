#pragma once

// How a shortcut is written for the user, the way Linux desktops write it:
// the modifier names joined with "+" in the order Ctrl, Alt, Shift, Super,
// then the key ("Super+Shift+J"). Every view and message that names a
// shortcut goes through here; the stored HotKeyConfig keeps its own format.

#include <string>
#include <string_view>

#include "shared/hotkey_config.hpp"

namespace mivo {

// The modifiers come from the mask (what is registered with the system);
// the key is the key part of the stored display, with the arrow and
// return glyphs named ("Return", "Left"), or "Key " and the key code when
// the display holds no key.
std::string shortcutText(const HotKeyConfig& config);

// The key part of a stored display: what follows its modifier glyphs, with
// named keys spelled out; empty when only modifier glyphs are there.
std::string shortcutKeyName(std::string_view display);

}  // namespace mivo
