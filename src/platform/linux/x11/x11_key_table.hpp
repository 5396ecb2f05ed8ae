#pragma once

// The one table between the key codes the settings store (virtual key codes
// of the ANSI keyboard layout, 38 = J) and X keysyms, and between stored
// modifier masks and X modifier masks: ⌘ is the Super key (Mod4), ⌃
// Control, ⌥ Alt (Mod1), ⇧ Shift.

#include <cstdint>
#include <optional>

namespace mivo::linux_desktop {

// The unshifted keysym of the key; nothing for a key code the table lacks.
std::optional<unsigned long> keysymForVirtualKey(uint32_t keyCode);
// The key that types the keysym, shifted or not ('J' and 'j' are both 38,
// '!' is the 1 key's 18); nothing for a keysym of no listed key.
std::optional<uint32_t> virtualKeyForKeysym(unsigned long keysym);

// X modifier mask of a stored modifier mask; bits without an X counterpart
// (Caps Lock) are left out.
unsigned int x11ModifiersForMask(uint32_t carbonModifiers);
// Stored modifier mask of an X event's state; lock keys are left out.
uint32_t modifierMaskForX11(unsigned int state);

}  // namespace mivo::linux_desktop
