#include "platform/linux/screen_scale.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mivo::linux_desktop {
namespace {

double safeRatio(const ScaledScreen& s) {
    return s.ratio > 0 ? s.ratio : 1.0;
}

// Distance from a point to a rectangle, below 0 inside it (a point on the
// shared edge of two screens belongs to the one it is inside of).
double distance(Point p, const Rect& r) {
    if (r.contains(p))
        return -1;
    const double dx = std::max({r.minX() - p.x, 0.0, p.x - r.maxX()});
    const double dy = std::max({r.minY() - p.y, 0.0, p.y - r.maxY()});
    return std::hypot(dx, dy);
}

template <typename Frame>
std::size_t nearest(Point p, const std::vector<ScaledScreen>& screens, Frame frame) {
    std::size_t best = 0;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const double d = distance(p, frame(screens[i]));
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

Point up(Point p, Point origin, double ratio) {
    return Point{origin.x + (p.x - origin.x) * ratio, origin.y + (p.y - origin.y) * ratio};
}

Point down(Point p, Point origin, double ratio) {
    return Point{origin.x + (p.x - origin.x) / ratio, origin.y + (p.y - origin.y) / ratio};
}

Point originOf(const ScaledScreen& s) {
    return Point{s.geometry.x, s.geometry.y};
}

}  // namespace

Rect nativeFrame(const ScaledScreen& screen) {
    const double r = safeRatio(screen);
    return Rect{screen.geometry.x, screen.geometry.y, screen.geometry.width * r,
                screen.geometry.height * r};
}

Rect toNative(const Rect& logical, const ScaledScreen& screen) {
    const double r = safeRatio(screen);
    const Point at = up(Point{logical.x, logical.y}, originOf(screen), r);
    return Rect{at.x, at.y, logical.width * r, logical.height * r};
}

Rect toLogical(const Rect& native, const ScaledScreen& screen) {
    const double r = safeRatio(screen);
    const Point at = down(Point{native.x, native.y}, originOf(screen), r);
    return Rect{at.x, at.y, native.width / r, native.height / r};
}

std::size_t screenOfNativePoint(Point native, const std::vector<ScaledScreen>& screens) {
    return nearest(native, screens, [](const ScaledScreen& s) { return nativeFrame(s); });
}

std::size_t screenOfLogicalPoint(Point logical, const std::vector<ScaledScreen>& screens) {
    return nearest(logical, screens, [](const ScaledScreen& s) { return s.geometry; });
}

Point nativeToLogical(Point native, const std::vector<ScaledScreen>& screens) {
    if (screens.empty())
        return native;
    const ScaledScreen& s = screens[screenOfNativePoint(native, screens)];
    return down(native, originOf(s), safeRatio(s));
}

Point logicalToNative(Point logical, const std::vector<ScaledScreen>& screens) {
    if (screens.empty())
        return logical;
    const ScaledScreen& s = screens[screenOfLogicalPoint(logical, screens)];
    return up(logical, originOf(s), safeRatio(s));
}

Rect nativeToLogical(const Rect& native, const std::vector<ScaledScreen>& screens) {
    if (screens.empty())
        return native;
    return toLogical(native, screens[screenOfNativePoint(Point{native.x, native.y}, screens)]);
}

Rect logicalToNative(const Rect& logical, const std::vector<ScaledScreen>& screens) {
    if (screens.empty())
        return logical;
    return toNative(logical, screens[screenOfLogicalPoint(Point{logical.x, logical.y}, screens)]);
}

}  // namespace mivo::linux_desktop
