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

  private:
    X11HoverCatcher() = default;
    unsigned window_ = 0;
};

}  // namespace mivo::overlay_qt
