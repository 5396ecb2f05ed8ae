#pragma once

// Synthetic keyboard and mouse input, posted as if from the hardware, and the
// listen-only monitor of key-down events in every application.

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <string>

#include "platform/geometry.hpp"
#include "platform/input_hold.hpp"

namespace mivo {

// Virtual key codes of the keys the services post.
inline constexpr uint16_t kKeyCodeV = 9;
inline constexpr uint16_t kKeyCodeDelete = 51;  // backward delete
inline constexpr uint16_t kKeyCodeRightArrow = 124;
inline constexpr uint16_t kKeyCodeUnicodeCarrier = 0;
// Modifier flags carried by a key event.
inline constexpr uint64_t kEventFlagCommand = 0x100000;

struct KeyEvent {
    uint16_t keyCode = 0;
    bool keyDown = true;
    uint64_t flags = 0;
    // UTF-16 code units the key press types instead of its key's own
    // character; empty for a plain key.
    std::u16string unicodeString;
};

enum class MouseEventType { leftMouseDown, leftMouseDragged, leftMouseUp };

struct MouseEvent {
    MouseEventType type = MouseEventType::leftMouseDown;
    // Global display coordinates: origin top-left of the primary screen, y down.
    Point location;
};

enum class KeyDownMonitorEvent {
    keyDown,
    // The system switched the monitor off; it stays off until re-enabled.
    disabledByTimeout,
    disabledByUserInput,
};

enum class KeyDownMonitorError { tapCreateFailed, runLoopSourceFailed };

// A gesture of the user's that may move what an application shows before
// the application tells of it.
enum class ViewGesture {
    // A wheel step, or a key that scrolls or brings another page to the
    // front.
    moved,
    // The pointer began to move with the primary button held (a scrollbar
    // dragged, text selected by dragging); `dragEnded` follows when the
    // button goes up.
    dragStarted,
    dragEnded,
};
using ViewGestureHandler = std::function<void(ViewGesture)>;

// An installed key-down monitor; destroying it removes it.
class KeyDownMonitor {
  public:
    virtual ~KeyDownMonitor() = default;
    virtual void setEnabled(bool enabled) = 0;
};

class InputEvents {
  public:
    virtual ~InputEvents() = default;

    // False when the event could not be made or posted.
    virtual bool postKeyEvent(const KeyEvent& event) = 0;
    virtual bool postMouseEvent(const MouseEvent& event) = 0;

    // The handler is called on the main loop for every key-down anywhere
    // (keys, characters and modifiers are not reported) and when the system
    // disabled the monitor.
    using KeyDownHandler = std::function<void(KeyDownMonitorEvent)>;
    virtual std::expected<std::unique_ptr<KeyDownMonitor>, KeyDownMonitorError>
    installKeyDownMonitor(KeyDownHandler handler) = 0;

    // Whether an input method (one that composes text from keys) is running
    // in the session; true where that cannot be told.
    virtual bool inputMethodRunning() { return true; }

    // Every input device but our own synthetic input, held while a write
    // must not be disturbed.
    virtual InputHold& inputHold() = 0;

    // The handler is called on the main loop for every such gesture
    // anywhere on the display; one handler at a time, an empty one stops
    // the reports. Never called where the gestures cannot be heard.
    virtual void setOnViewGesture(ViewGestureHandler /*handler*/) {}
};

}  // namespace mivo
