#pragma once

// Where the rewrite panel goes: pure functions in global coordinates (origin
// at the bottom-left of the primary screen, y up) with the screens passed in.

#include <optional>
#include <span>

#include "platform/geometry.hpp"
#include "platform/screens.hpp"

namespace mivo {

inline constexpr double panelPadding = 8;  // least distance to the visible area's edges
inline constexpr double anchorGap = 6;     // between the anchor and the panel
// The area used when the system lists no screen at all.
inline constexpr Rect fallbackScreenFrame{0, 0, 1280, 800};

// Which side of its anchor the panel was put on. The edge next to the anchor
// stays put when the panel's height changes.
enum class PanelSide { below, above, centred };

struct TonePanelPlacement {
    Rect frame;
    PanelSide side = PanelSide::centred;
    bool operator==(const TonePanelPlacement&) const = default;
};

// The panel's frame of `size` next to `anchor` inside the visible area
// `screen`: 60 right of centred, below the anchor when it fits, else above
// when that fits, else on the roomier side (a tie goes below), then clamped.
TonePanelPlacement placeNearAnchor(Size size, const Rect& anchor, const Rect& screen);
inline Rect frameForPanel(Size size, const Rect& anchor, const Rect& screen) {
    return placeNearAnchor(size, anchor, screen).frame;
}

// The visible frame of the screen that suits `rect`: the first whose frame
// holds its centre, else the nearest (a tie keeps the earlier); with no
// screens, fallbackScreenFrame.
Rect visibleScreenFrame(const Rect& rect, std::span<const Screen> screens);

// The whole placement of one opening: next to the anchor on its screen, or,
// without one, centred in the main (first) screen's visible frame.
TonePanelPlacement positionPanel(Size size, const std::optional<Rect>& anchor,
                                 std::span<const Screen> screens);

// The frame after the panel's height became `height`, keeping the edge next
// to the anchor: the bottom edge when the panel is above its anchor, the top
// edge otherwise.
Rect resizedPanelFrame(const Rect& frame, double height, PanelSide side);

}  // namespace mivo
