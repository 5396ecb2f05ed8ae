#pragma once

// What the overlay's windows need of X11 beyond Qt. A highlight must report
// the pointer over its whole rectangle while it paints only part of it when
// no compositor runs (translucency needs one): the pointer is caught by an
// invisible input-only window laid over it, with the hand cursor. Off X11
// (the offscreen platform of the view tests) nothing here exists and the
// windows take the pointer themselves.

#include <QPoint>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>

namespace mivo::overlay_qt {

// Takes WM_TAKE_FOCUS out of the window's WM_PROTOCOLS. Qt offers it on
// every window, also one that never accepts focus (WM_HINTS input false),
// and to a window manager that reads as "give me the keyboard and I will
// take it myself": a click on the window may make it the active one or
// move the focus away from the application to hand it over, while Qt,
// not wanting it, takes nothing. Without it the window takes no input at
// all in the eyes of the window manager (ICCCM's "no input" model). Call
// it after the window exists and before it is mapped; nothing off X11.
void offerNoFocus(unsigned long window);

// One input-only window over other applications; destroying it removes it.
class X11HoverCatcher {
  public:
    // Nothing off X11. `rect` is in X root window coordinates. `onCrossing`
    // is called with true when the pointer enters, false when it leaves.
    static std::unique_ptr<X11HoverCatcher> create(const QRect& rect,
                                                   std::function<void(bool)> onCrossing);
    ~X11HoverCatcher();
    X11HoverCatcher(const X11HoverCatcher&) = delete;
    X11HoverCatcher& operator=(const X11HoverCatcher&) = delete;
    unsigned window() const { return window_; }
    // Moves the window to `rect` (X root window coordinates).
    void setGeometry(const QRect& rect);

  private:
    X11HoverCatcher() = default;
    unsigned window_ = 0;
};

}  // namespace mivo::overlay_qt
