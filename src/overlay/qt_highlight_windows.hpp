#pragma once

// The highlight windows on a Qt desktop: frameless tool windows that bypass
// the window manager and never take focus (X11: override-redirect, WM_HINTS
// input false, mapped without activation), and do not take the pointer
// themselves; on X11 an input-only window over each reports the pointer and
// shows the hand cursor, so a highlight that cannot be translucent still
// hovers over its whole rectangle. A click on a highlight ends there: it
// reaches neither the application under it nor the window manager.

#include <memory>
#include <optional>

#include "overlay/highlight_windows.hpp"

namespace mivo {

class QtHighlightWindows : public HighlightWindows {
  public:
    std::unique_ptr<HighlightWindow> create(const Rect& frame, CorrectionIssue::Severity severity,
                                            std::function<void(bool)> onHoverChanged) override;
    std::optional<Point> pointerLocation() override;
    void setOnViewChanged(std::function<void()> handler) override;
};

}  // namespace mivo
