#include "ui/panel_placement.hpp"

#include <algorithm>
#include <cmath>

namespace mivo::panel_placement {
namespace {

// Offset of the panel's centre to the right of the anchor's centre.
constexpr double kRightShift = 60;

double distance(const Rect& frame, const Point& c) {
    const double dx = std::max(std::max(frame.minX() - c.x, 0.0), c.x - frame.maxX());
    const double dy = std::max(std::max(frame.minY() - c.y, 0.0), c.y - frame.maxY());
    return std::hypot(dx, dy);
}

}  // namespace

double clamp(double v, double lo, double hi) {
    if (lo > hi)
        return lo;
    return std::min(std::max(v, lo), hi);
}

PanelPlacement place(const Size& size, const Rect& anchor, const Rect& screen) {
    const double w = size.width;
    const double h = size.height;
    const double p = panelPadding;
    const double g = anchorGap;
    const Rect& s = screen;

    const double midX = anchor.minX() + anchor.width / 2;
    const double x = clamp(midX - w * 0.5 + kRightShift, s.minX() + p, s.maxX() - w - p);

    const bool fitsBelow = s.minY() + p <= anchor.minY() - g - h;
    const bool fitsAbove = anchor.maxY() + g + h <= s.maxY() - p;
    const double roomBelow = (anchor.minY() - g) - (s.minY() + p);
    const double roomAbove = (s.maxY() - p) - (anchor.maxY() + g);
    const bool below = fitsBelow || !(fitsAbove || roomAbove > roomBelow);

    PanelPlacement placement;
    double y = 0;
    if (below) {
        y = clamp(anchor.minY() - g - h, s.minY() + p, s.maxY() - h - p);
        placement.anchor = VerticalAnchor{VerticalAnchor::Edge::top, y + h, s};
    } else {
        y = clamp(anchor.maxY() + g, s.minY() + p, s.maxY() - h - p);
        placement.anchor = VerticalAnchor{VerticalAnchor::Edge::bottom, y, s};
    }
    placement.frame = Rect{x, y, w, h};
    return placement;
}

std::optional<Rect> keepAnchoredEdge(const Rect& resized, const VerticalAnchor& anchor) {
    // Kept inside the screen by the same margin as when it opened: a panel
    // that grows past the edge would hide its own buttons off the screen,
    // which is worse than covering a line of the text it belongs to.
    const double target =
        anchor.edge == VerticalAnchor::Edge::top ? anchor.y - resized.height : anchor.y;
    const double y = clamp(target, anchor.screen.minY() + panelPadding,
                           anchor.screen.maxY() - resized.height - panelPadding);
    if (std::fabs(resized.y - y) <= 0.5)
        return std::nullopt;
    return Rect{resized.x, y, resized.width, resized.height};
}

Rect centred(const Size& size, const std::vector<Screen>& screens) {
    const Rect s = screens.empty() ? fallbackScreen : screens.front().visibleFrame;
    return Rect{s.minX() + s.width / 2 - size.width / 2, s.midY() - size.height / 2, size.width,
                size.height};
}

Rect visibleScreenFrame(const Rect& rect, const std::vector<Screen>& screens) {
    const Point c{rect.minX() + rect.width / 2, rect.midY()};
    for (const auto& screen : screens) {
        if (screen.frame.contains(c))
            return screen.visibleFrame;
    }
    if (screens.empty())
        return fallbackScreen;
    const Screen* nearest = &screens.front();
    double best = distance(nearest->frame, c);
    for (const auto& screen : screens) {
        const double d = distance(screen.frame, c);
        if (d < best) {
            best = d;
            nearest = &screen;
        }
    }
    return nearest->visibleFrame;
}

}  // namespace mivo::panel_placement
