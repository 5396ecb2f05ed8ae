#pragma once

// The edge between Qt's key events and the stored shortcut format: Qt keys
// become the ANSI virtual key codes that HotKeyConfig keeps (J is 38), the
// Super key is Command, Alt is Option. The glyph comes from the key, never
// from the event's text (Ctrl+J types "\n").

#include <QKeyEvent>

#include "settings/shortcut_capture.hpp"

namespace mivo {

CapturedKeyPress capturedKeyPress(int qtKey, Qt::KeyboardModifiers modifiers);
inline CapturedKeyPress capturedKeyPress(const QKeyEvent& event) {
    return capturedKeyPress(event.key(), event.modifiers());
}

// The ANSI virtual key code of a Qt key; nothing for keys without one.
std::optional<uint16_t> ansiKeyCode(int qtKey, bool keypad = false);

}  // namespace mivo
