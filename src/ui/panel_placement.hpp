#pragma once

// Where a floating panel goes, the correction panel next to the hovered
// highlight as the rewrite panel next to the text it rewrites: below the
// anchor when there is room, else above, kept inside the visible frame of
// the anchor's screen, and kept there when its content grows. Global
// coordinates (X pixels, origin at the bottom left of the primary screen,
// y up): a panel below the anchor has the smaller y. Sizes are the ones the
// window takes on the screen, so on a scaled screen more than the toolkit
// laid it out in.

#include <optional>
#include <vector>

#include "platform/geometry.hpp"
#include "platform/screens.hpp"

namespace mivo {

// Which panel edge stays where the placement put it when the panel's content
// grows or shrinks: the one next to the anchor.
struct VerticalAnchor {
    enum class Edge {
        top,     // the panel hangs below the anchor; `y` is its top edge
        bottom,  // the panel stands above the anchor; `y` is its bottom edge
    };
    Edge edge = Edge::top;
    double y = 0;
    Rect screen;  // the visible frame used for the placement
    bool operator==(const VerticalAnchor&) const = default;
};

struct PanelPlacement {
    Rect frame;
    VerticalAnchor anchor;
};

namespace panel_placement {

inline constexpr double panelPadding = 8;  // least distance to the screen's edges
inline constexpr double anchorGap = 6;     // between the anchor and the panel
// The screen assumed when none is known.
inline constexpr Rect fallbackScreen{0, 0, 1280, 800};

// lo when lo > hi (a screen too small: the lower bound wins), else v kept
// within [lo, hi].
double clamp(double v, double lo, double hi);

// The frame of a panel of `size` next to `anchor` on the visible frame
// `screen`: its centre 60 to the right of the anchor's, below when it fits
// there, above when it fits there or has more room, below on equal room.
PanelPlacement place(const Size& size, const Rect& anchor, const Rect& screen);

// The frame after the content resized the panel to `resized` (the frame with
// its new height): the anchored edge goes back where the placement put it,
// so growth goes away from the anchor, but never past the placement's
// screen less the padding; the dragged x stays. Nothing when the origin
// would move by half a point or less.
std::optional<Rect> keepAnchoredEdge(const Rect& resized, const VerticalAnchor& anchor);

// Without an anchor: centred in the main (first) screen's visible frame,
// or in the fallback without screens.
Rect centred(const Size& size, const std::vector<Screen>& screens);

// The visible frame of the screen holding the rectangle's centre (minimum
// edges inside, maximum edges outside), else of the nearest screen (the
// first of equally near ones); with no screens, the fallback.
Rect visibleScreenFrame(const Rect& rect, const std::vector<Screen>& screens);

}  // namespace panel_placement
}  // namespace mivo
