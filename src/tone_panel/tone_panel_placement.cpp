#include "tone_panel/tone_panel_placement.hpp"

#include <vector>

namespace mivo {

TonePanelPlacement placeNearAnchor(Size size, const Rect& anchor, const Rect& screen) {
    const PanelPlacement placed = panel_placement::place(size, anchor, screen);
    const PanelSide side =
        placed.anchor.edge == VerticalAnchor::Edge::top ? PanelSide::below : PanelSide::above;
    return {placed.frame, side, placed.anchor};
}

Rect visibleScreenFrame(const Rect& rect, std::span<const Screen> screens) {
    return panel_placement::visibleScreenFrame(rect,
                                               std::vector<Screen>(screens.begin(), screens.end()));
}

TonePanelPlacement positionPanel(Size size, const std::optional<Rect>& anchor,
                                 std::span<const Screen> screens) {
    if (anchor) {
        return placeNearAnchor(size, *anchor, visibleScreenFrame(*anchor, screens));
    }
    return {panel_placement::centred(size, std::vector<Screen>(screens.begin(), screens.end())),
            PanelSide::centred, std::nullopt};
}

std::optional<Rect> resizedPanelFrame(const Rect& resized, const TonePanelPlacement& placement) {
    if (!placement.anchor) {
        return std::nullopt;
    }
    return panel_placement::keepAnchoredEdge(resized, *placement.anchor);
}

}  // namespace mivo
