#include "settings/qt_key_press.hpp"

#include <array>
#include <utility>

namespace mivo {

namespace {

// Printable keys by their unshifted and shifted characters on the ANSI
// layout; both name the same key position.
constexpr std::pair<char, uint16_t> kPrintable[] = {
    {'A', 0},
    {'S', 1},
    {'D', 2},
    {'F', 3},
    {'H', 4},
    {'G', 5},
    {'Z', 6},
    {'X', 7},
    {'C', 8},
    {'V', 9},
    {'B', 11},
    {'Q', 12},
    {'W', 13},
    {'E', 14},
    {'R', 15},
    {'Y', 16},
    {'T', 17},
    {'1', 18},
    {'2', 19},
    {'3', 20},
    {'4', 21},
    {'6', 22},
    {'5', 23},
    {'=', 24},
    {'9', 25},
    {'7', 26},
    {'-', 27},
    {'8', 28},
    {'0', 29},
    {']', 30},
    {'O', 31},
    {'U', 32},
    {'[', 33},
    {'I', 34},
    {'P', 35},
    {'L', 37},
    {'J', 38},
    {'\'', 39},
    {'K', 40},
    {';', 41},
    {'\\', 42},
    {',', 43},
    {'/', 44},
    {'N', 45},
    {'M', 46},
    {'.', 47},
    {'`', 50},
    {' ', 49},
    // Shift's characters on the same keys.
    {'!', 18},
    {'@', 19},
    {'#', 20},
    {'$', 21},
    {'^', 22},
    {'%', 23},
    {'+', 24},
    {'(', 25},
    {'&', 26},
    {'_', 27},
    {'*', 28},
    {')', 29},
    {'}', 30},
    {'{', 33},
    {'"', 39},
    {':', 41},
    {'|', 42},
    {'<', 43},
    {'?', 44},
    {'>', 47},
    {'~', 50},
};

constexpr std::pair<int, uint16_t> kSpecial[] = {
    {Qt::Key_Return, 36},    {Qt::Key_Tab, 48},   {Qt::Key_Backtab, 48}, {Qt::Key_Backspace, 51},
    {Qt::Key_Escape, 53},    {Qt::Key_Enter, 76}, {Qt::Key_Delete, 117}, {Qt::Key_Insert, 114},
    {Qt::Key_Help, 114},     {Qt::Key_Home, 115}, {Qt::Key_End, 119},    {Qt::Key_PageUp, 116},
    {Qt::Key_PageDown, 121}, {Qt::Key_Left, 123}, {Qt::Key_Right, 124},  {Qt::Key_Down, 125},
    {Qt::Key_Up, 126},       {Qt::Key_F1, 122},   {Qt::Key_F2, 120},     {Qt::Key_F3, 99},
    {Qt::Key_F4, 118},       {Qt::Key_F5, 96},    {Qt::Key_F6, 97},      {Qt::Key_F7, 98},
    {Qt::Key_F8, 100},       {Qt::Key_F9, 101},   {Qt::Key_F10, 109},    {Qt::Key_F11, 103},
    {Qt::Key_F12, 111},      {Qt::Key_F13, 105},  {Qt::Key_F14, 107},    {Qt::Key_F15, 113},
    {Qt::Key_F16, 106},      {Qt::Key_F17, 64},   {Qt::Key_F18, 79},     {Qt::Key_F19, 80},
    {Qt::Key_F20, 90},       {Qt::Key_Clear, 71},
};

// Keys of the numeric keypad, which Qt reports as ordinary keys with the
// keypad modifier.
constexpr std::pair<char, uint16_t> kKeypad[] = {
    {'0', 82}, {'1', 83}, {'2', 84}, {'3', 85}, {'4', 86}, {'5', 87},
    {'6', 88}, {'7', 89}, {'8', 91}, {'9', 92}, {'.', 65}, {'*', 67},
    {'+', 69}, {'/', 75}, {'-', 78}, {'=', 81}, {',', 65},
};

bool isModifierKey(int key) {
    switch (key) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Meta:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_ScrollLock:
        case Qt::Key_Mode_switch:
        case Qt::Key_Direction_L:
        case Qt::Key_Direction_R:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::optional<uint16_t> ansiKeyCode(int qtKey, bool keypad) {
    if (keypad && qtKey >= 0x20 && qtKey < 0x7F) {
        for (const auto& [c, code] : kKeypad) {
            if (c == qtKey) {
                return code;
            }
        }
    }
    if (qtKey == Qt::Key_Enter) {
        return 76;
    }
    if (qtKey >= 0x20 && qtKey < 0x7F) {
        for (const auto& [c, code] : kPrintable) {
            if (c == qtKey) {
                return code;
            }
        }
        return std::nullopt;
    }
    for (const auto& [key, code] : kSpecial) {
        if (key == qtKey) {
            return code;
        }
    }
    return std::nullopt;
}

CapturedKeyPress capturedKeyPress(int qtKey, Qt::KeyboardModifiers modifiers) {
    CapturedKeyPress press;
    press.modifiers.command = modifiers.testFlag(Qt::MetaModifier);
    press.modifiers.shift = modifiers.testFlag(Qt::ShiftModifier);
    press.modifiers.option = modifiers.testFlag(Qt::AltModifier);
    press.modifiers.control = modifiers.testFlag(Qt::ControlModifier);
    if (isModifierKey(qtKey)) {
        press.modifierOnly = true;
        return press;
    }
    press.keyCode = ansiKeyCode(qtKey, modifiers.testFlag(Qt::KeypadModifier));
    // Latin-1 keys carry their character in the key itself: letters come
    // upper-case, the layout's shifted symbols as themselves.
    if (qtKey > 0x20 && qtKey <= 0xFF && qtKey != 0x7F) {
        press.characters = QString(QChar(qtKey)).toLower().toStdString();
    }
    return press;
}

}  // namespace mivo
