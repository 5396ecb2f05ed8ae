#pragma once

// Where the rewrite panel goes, in the rewrite panel's own words: the one
// placement of every floating panel (ui/panel_placement) with the screens
// passed in. Global coordinates (X pixels, origin at the bottom-left of the
// primary screen, y up); a size is the one the window takes on the screen.

#include <optional>
#include <span>

#include "platform/geometry.hpp"
#include "platform/screens.hpp"
#include "ui/panel_placement.hpp"

namespace mivo {

inline constexpr double panelPadding = panel_placement::panelPadding;
inline constexpr double anchorGap = panel_placement::anchorGap;
// The area used when the system lists no screen at all.
inline constexpr Rect fallbackScreenFrame = panel_placement::fallbackScreen;

// Which side of its anchor the panel was put on.
enum class PanelSide { below, above, centred };

struct TonePanelPlacement {
    Rect frame;
    PanelSide side = PanelSide::centred;
    // The edge next to the anchor, which stays put when the content grows;
    // nothing for a centred panel, which keeps its top edge.
    std::optional<VerticalAnchor> anchor;
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

// The frame after the panel's content made it `resized` (its top edge kept,
// as the window system keeps it): the edge next to the anchor goes back
// where the placement put it, never past the placement's visible area less
// the padding. Nothing when the window stays where it is.
std::optional<Rect> resizedPanelFrame(const Rect& resized, const TonePanelPlacement& placement);

}  // namespace mivo
