#include "platform/linux/x11/x11_key_table.hpp"

#include <X11/X.h>
#include <X11/keysym.h>

#include <array>
#include <utility>

#include "shared/hotkey_config.hpp"

namespace mivo::linux_desktop {
namespace {

struct KeyRow {
    uint32_t keyCode;
    unsigned long keysym;
};

// Virtual key codes by the position of the key on the ANSI keyboard, plus
// the JIS keyboard's extra keys.
constexpr std::array kKeys{
    KeyRow{0x00, XK_a},
    KeyRow{0x01, XK_s},
    KeyRow{0x02, XK_d},
    KeyRow{0x03, XK_f},
    KeyRow{0x04, XK_h},
    KeyRow{0x05, XK_g},
    KeyRow{0x06, XK_z},
    KeyRow{0x07, XK_x},
    KeyRow{0x08, XK_c},
    KeyRow{0x09, XK_v},
    KeyRow{0x0A, XK_section},
    KeyRow{0x0B, XK_b},
    KeyRow{0x0C, XK_q},
    KeyRow{0x0D, XK_w},
    KeyRow{0x0E, XK_e},
    KeyRow{0x0F, XK_r},
    KeyRow{0x10, XK_y},
    KeyRow{0x11, XK_t},
    KeyRow{0x12, XK_1},
    KeyRow{0x13, XK_2},
    KeyRow{0x14, XK_3},
    KeyRow{0x15, XK_4},
    KeyRow{0x16, XK_6},
    KeyRow{0x17, XK_5},
    KeyRow{0x18, XK_equal},
    KeyRow{0x19, XK_9},
    KeyRow{0x1A, XK_7},
    KeyRow{0x1B, XK_minus},
    KeyRow{0x1C, XK_8},
    KeyRow{0x1D, XK_0},
    KeyRow{0x1E, XK_bracketright},
    KeyRow{0x1F, XK_o},
    KeyRow{0x20, XK_u},
    KeyRow{0x21, XK_bracketleft},
    KeyRow{0x22, XK_i},
    KeyRow{0x23, XK_p},
    KeyRow{0x24, XK_Return},
    KeyRow{0x25, XK_l},
    KeyRow{0x26, XK_j},
    KeyRow{0x27, XK_apostrophe},
    KeyRow{0x28, XK_k},
    KeyRow{0x29, XK_semicolon},
    KeyRow{0x2A, XK_backslash},
    KeyRow{0x2B, XK_comma},
    KeyRow{0x2C, XK_slash},
    KeyRow{0x2D, XK_n},
    KeyRow{0x2E, XK_m},
    KeyRow{0x2F, XK_period},
    KeyRow{0x30, XK_Tab},
    KeyRow{0x31, XK_space},
    KeyRow{0x32, XK_grave},
    KeyRow{0x33, XK_BackSpace},
    KeyRow{0x35, XK_Escape},
    KeyRow{0x40, XK_F17},
    KeyRow{0x41, XK_KP_Decimal},
    KeyRow{0x43, XK_KP_Multiply},
    KeyRow{0x45, XK_KP_Add},
    KeyRow{0x47, XK_Clear},
    KeyRow{0x4B, XK_KP_Divide},
    KeyRow{0x4C, XK_KP_Enter},
    KeyRow{0x4E, XK_KP_Subtract},
    KeyRow{0x4F, XK_F18},
    KeyRow{0x50, XK_F19},
    KeyRow{0x51, XK_KP_Equal},
    KeyRow{0x52, XK_KP_0},
    KeyRow{0x53, XK_KP_1},
    KeyRow{0x54, XK_KP_2},
    KeyRow{0x55, XK_KP_3},
    KeyRow{0x56, XK_KP_4},
    KeyRow{0x57, XK_KP_5},
    KeyRow{0x58, XK_KP_6},
    KeyRow{0x59, XK_KP_7},
    KeyRow{0x5A, XK_F20},
    KeyRow{0x5B, XK_KP_8},
    KeyRow{0x5C, XK_KP_9},
    KeyRow{0x5D, XK_yen},
    KeyRow{0x5E, XK_underscore},
    KeyRow{0x5F, XK_KP_Separator},
    KeyRow{0x60, XK_F5},
    KeyRow{0x61, XK_F6},
    KeyRow{0x62, XK_F7},
    KeyRow{0x63, XK_F3},
    KeyRow{0x64, XK_F8},
    KeyRow{0x65, XK_F9},
    KeyRow{0x66, XK_Eisu_toggle},
    KeyRow{0x67, XK_F11},
    KeyRow{0x68, XK_Hiragana_Katakana},
    KeyRow{0x69, XK_F13},
    KeyRow{0x6A, XK_F16},
    KeyRow{0x6B, XK_F14},
    KeyRow{0x6D, XK_F10},
    KeyRow{0x6F, XK_F12},
    KeyRow{0x71, XK_F15},
    KeyRow{0x72, XK_Help},
    KeyRow{0x73, XK_Home},
    KeyRow{0x74, XK_Prior},
    KeyRow{0x75, XK_Delete},
    KeyRow{0x76, XK_F4},
    KeyRow{0x77, XK_End},
    KeyRow{0x78, XK_F2},
    KeyRow{0x79, XK_Next},
    KeyRow{0x7A, XK_F1},
    KeyRow{0x7B, XK_Left},
    KeyRow{0x7C, XK_Right},
    KeyRow{0x7D, XK_Down},
    KeyRow{0x7E, XK_Up},
};

// What a key types with Shift on a US layout, for keysyms read from a
// shifted key press.
constexpr std::array kShifted{
    KeyRow{0x12, XK_exclam},     KeyRow{0x13, XK_at},         KeyRow{0x14, XK_numbersign},
    KeyRow{0x15, XK_dollar},     KeyRow{0x17, XK_percent},    KeyRow{0x16, XK_asciicircum},
    KeyRow{0x1A, XK_ampersand},  KeyRow{0x1C, XK_asterisk},   KeyRow{0x19, XK_parenleft},
    KeyRow{0x1D, XK_parenright}, KeyRow{0x18, XK_plus},       KeyRow{0x21, XK_braceleft},
    KeyRow{0x1E, XK_braceright}, KeyRow{0x2A, XK_bar},        KeyRow{0x29, XK_colon},
    KeyRow{0x27, XK_quotedbl},   KeyRow{0x2B, XK_less},       KeyRow{0x2F, XK_greater},
    KeyRow{0x2C, XK_question},   KeyRow{0x32, XK_asciitilde}, KeyRow{0x30, XK_ISO_Left_Tab},
};

constexpr std::array kModifiers{
    std::pair{HotKeyConfig::commandMask, static_cast<unsigned int>(Mod4Mask)},
    std::pair{HotKeyConfig::shiftMask, static_cast<unsigned int>(ShiftMask)},
    std::pair{HotKeyConfig::optionMask, static_cast<unsigned int>(Mod1Mask)},
    std::pair{HotKeyConfig::controlMask, static_cast<unsigned int>(ControlMask)},
};

}  // namespace

std::optional<unsigned long> keysymForVirtualKey(uint32_t keyCode) {
    for (const KeyRow& row : kKeys) {
        if (row.keyCode == keyCode)
            return row.keysym;
    }
    return std::nullopt;
}

std::optional<uint32_t> virtualKeyForKeysym(unsigned long keysym) {
    // Capital letters are the keys of their small ones.
    if (keysym >= XK_A && keysym <= XK_Z)
        keysym += XK_a - XK_A;
    for (const KeyRow& row : kKeys) {
        if (row.keysym == keysym)
            return row.keyCode;
    }
    for (const KeyRow& row : kShifted) {
        if (row.keysym == keysym)
            return row.keyCode;
    }
    return std::nullopt;
}

unsigned int x11ModifiersForMask(uint32_t carbonModifiers) {
    unsigned int mask = 0;
    for (const auto& [stored, x11] : kModifiers) {
        if ((carbonModifiers & stored) != 0)
            mask |= x11;
    }
    return mask;
}

uint32_t modifierMaskForX11(unsigned int state) {
    uint32_t mask = 0;
    for (const auto& [stored, x11] : kModifiers) {
        if ((state & x11) != 0)
            mask |= stored;
    }
    return mask;
}

}  // namespace mivo::linux_desktop
