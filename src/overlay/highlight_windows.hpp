#pragma once

// What the highlight overlay needs of a window system: small windows over
// other applications that never take focus but report the pointer, and the
// pointer's location. Frames and points are global (origin at the bottom
// left of the primary screen, y up). The real one is QtHighlightWindows; tests
// use a recording fake.

#include <functional>
#include <memory>
#include <optional>

#include "platform/geometry.hpp"
#include "shared/records.hpp"

namespace mivo {

// One shown highlight window; destroying it removes it from the screen.
class HighlightWindow {
  public:
    virtual ~HighlightWindow() = default;
    // The hovered look (stronger tint, outline, thicker bar), for a pointer
    // that is already inside when the window appears.
    virtual void setHovered(bool hovered) = 0;
    // Moves the window (and its pointer area) to `frame`, keeping it on
    // screen meanwhile.
    virtual void setFrame(const Rect& frame) = 0;
};

class HighlightWindows {
  public:
    virtual ~HighlightWindows() = default;
    // Shows a highlight at `frame` in the colour of `severity`. The window
    // calls `onHoverChanged` (when set) with true as the pointer enters and
    // false as it leaves, and draws its hovered look meanwhile.
    virtual std::unique_ptr<HighlightWindow> create(const Rect& frame,
                                                    CorrectionIssue::Severity severity,
                                                    std::function<void(bool)> onHoverChanged) = 0;
    // Where the pointer is; nothing when it cannot be known.
    virtual std::optional<Point> pointerLocation() = 0;
    // `handler` is called when the window the highlights lie over takes
    // another title (another tab or document came to its front); never
    // where that cannot be heard.
    virtual void setOnViewChanged(std::function<void()> /*handler*/) {}
};

}  // namespace mivo
