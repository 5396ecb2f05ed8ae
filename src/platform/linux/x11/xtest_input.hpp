#pragma once

// Synthetic input through the XTest extension, as if from the hardware, and
// the key-down monitor over XInput 2 raw key events, which report every key
// press on the display whichever window has the focus. The gestures that
// move what applications show are heard on a connection of their own.
//
// The services' key codes are mapped here: 9 with the command flag is
// Ctrl+V (paste), 51 is BackSpace (the backward delete), and 0 carries a
// Unicode string, typed by remapping spare key codes to each code point's
// keysym. Keys go out from the main loop's next turn on, paced by
// KeyTypingSequence; a post answers whether its keys could be queued. While
// an input method would convert them, letters, digits and punctuation are
// refused, and with them every key of the text queued in the same turn.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/cancel.hpp"
#include "platform/input_events.hpp"
#include "platform/linux/key_typing.hpp"
#include "platform/linux/x11/x11_input_hold.hpp"
#include "platform/linux/x11/x11_view_gestures.hpp"
#include "platform/log.hpp"
#include "platform/scheduler.hpp"

namespace mivo::linux_desktop {

class X11Connection;

// The keysym that types one code point; 0 for none.
unsigned long keysymForCodePoint(char32_t c);

class XTestInput : public InputEvents, private KeyStrokes {
  public:
    // `primaryOrigin` gives the primary screen's top-left corner in X root
    // window coordinates.
    XTestInput(X11Connection& x11, Scheduler& scheduler, Log& log,
               std::function<Point()> primaryOrigin);
    ~XTestInput() override;

    bool postKeyEvent(const KeyEvent& event) override;
    bool postMouseEvent(const MouseEvent& event) override;
    std::expected<std::unique_ptr<KeyDownMonitor>, KeyDownMonitorError> installKeyDownMonitor(
        KeyDownHandler handler) override;

    // An XIM server owns its selection, or an ibus or fcitx daemon holds
    // its name on the session bus.
    bool inputMethodRunning() override;

    // Every keyboard and pointer; our own events still go out, with no
    // other client's between them.
    InputHold& inputHold() override { return *hold_; }
    void setOnViewGesture(ViewGestureHandler handler) override;

    // Whether the server has XTest (false: every post fails).
    bool available() const { return xtest_; }

    struct MonitorState {
        KeyDownHandler handler;
        bool enabled = true;
        bool alive = true;
    };

  private:
    std::optional<unsigned char> layoutKeycode(unsigned long keysym) override;
    bool remap(unsigned char keycode, unsigned long keysym) override;
    bool press(unsigned char keycode) override;
    bool key(unsigned long keysym, bool down) override;

    bool postUnicode(const std::u16string& units);
    bool queueLayoutKey(unsigned long keysym, bool down);
    // The input method that would convert typed letters now; empty for none.
    std::string convertingInputMethodNow();
    std::vector<unsigned char> findSpareKeycodes();
    bool selectRawKeyEvents();

    X11Connection& x11_;
    Scheduler& scheduler_;
    Log& log_;
    std::function<Point()> primaryOrigin_;
    bool xtest_ = false;
    int xiOpcode_ = -1;
    bool rawKeysSelected_ = false;
    std::unique_ptr<X11InputHold> hold_;
    std::unique_ptr<KeyTypingSequence> typing_;
    // The input method seen at the start of the text being queued.
    std::string inputMethod_;
    Cancel listening_;
    std::vector<std::weak_ptr<MonitorState>> monitors_;
    std::unique_ptr<X11ViewGestures> viewGestures_;
};

}  // namespace mivo::linux_desktop
