#include "tone_panel/tone_panel_placement.hpp"

#include <algorithm>
#include <cmath>

namespace mivo {

namespace {

// Clamps `value` into [lo, hi]; a range turned inside out (the area is
// smaller than the panel) gives `lo`, so the panel sticks out on the far side.
double clampToRange(double value, double lo, double hi) {
    if (lo > hi) {
        return lo;
    }
    return std::min(hi, std::max(lo, value));
}

double midX(const Rect& r) {
    return r.x + r.width / 2;
}

double distanceTo(const Rect& r, Point p) {
    const double dx = std::max({r.minX() - p.x, 0.0, p.x - r.maxX()});
    const double dy = std::max({r.minY() - p.y, 0.0, p.y - r.maxY()});
    return std::hypot(dx, dy);
}

}  // namespace

TonePanelPlacement placeNearAnchor(Size size, const Rect& anchor, const Rect& screen) {
    const double w = size.width;
    const double h = size.height;
    const double x = clampToRange(midX(anchor) - w * 0.5 + 60, screen.minX() + panelPadding,
                                  screen.maxX() - w - panelPadding);

    const double belowY = anchor.minY() - anchorGap - h;
    const double aboveY = anchor.maxY() + anchorGap;
    PanelSide side = PanelSide::below;
    if (belowY >= screen.minY() + panelPadding) {
        side = PanelSide::below;
    } else if (aboveY + h <= screen.maxY() - panelPadding) {
        side = PanelSide::above;
    } else {
        const double roomAbove = screen.maxY() - panelPadding - aboveY;
        const double roomBelow = (anchor.minY() - anchorGap) - (screen.minY() + panelPadding);
        side = roomAbove > roomBelow ? PanelSide::above : PanelSide::below;
    }
    const double chosenY = side == PanelSide::above ? aboveY : belowY;
    const double y =
        clampToRange(chosenY, screen.minY() + panelPadding, screen.maxY() - h - panelPadding);
    return {Rect{x, y, w, h}, side};
}

Rect visibleScreenFrame(const Rect& rect, std::span<const Screen> screens) {
    if (screens.empty()) {
        return fallbackScreenFrame;
    }
    const Point p{midX(rect), rect.midY()};
    for (const Screen& screen : screens) {
        if (screen.frame.contains(p)) {
            return screen.visibleFrame;
        }
    }
    const Screen* best = &screens.front();
    double bestDistance = distanceTo(best->frame, p);
    for (const Screen& screen : screens.subspan(1)) {
        const double d = distanceTo(screen.frame, p);
        if (d < bestDistance) {
            best = &screen;
            bestDistance = d;
        }
    }
    return best->visibleFrame;
}

TonePanelPlacement positionPanel(Size size, const std::optional<Rect>& anchor,
                                 std::span<const Screen> screens) {
    if (anchor) {
        return placeNearAnchor(size, *anchor, visibleScreenFrame(*anchor, screens));
    }
    const Rect area = screens.empty() ? fallbackScreenFrame : screens.front().visibleFrame;
    return {Rect{midX(area) - size.width * 0.5, area.midY() - size.height * 0.5, size.width,
                 size.height},
            PanelSide::centred};
}

Rect resizedPanelFrame(const Rect& frame, double height, PanelSide side) {
    if (side == PanelSide::above) {
        return Rect{frame.x, frame.y, frame.width, height};
    }
    return Rect{frame.x, frame.maxY() - height, frame.width, height};
}

}  // namespace mivo
