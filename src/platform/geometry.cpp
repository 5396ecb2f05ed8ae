#include "platform/geometry.hpp"

#include <algorithm>
#include <cstdio>

namespace mivo {

Rect Rect::united(const Rect& other) const {
    const double x0 = std::min(minX(), other.minX());
    const double y0 = std::min(minY(), other.minY());
    const double x1 = std::max(maxX(), other.maxX());
    const double y1 = std::max(maxY(), other.maxY());
    return Rect{x0, y0, x1 - x0, y1 - y0};
}

Rect toGlobalCoordinates(const Rect& yDown, const Rect& primary) {
    return Rect{yDown.x - primary.x, primary.maxY() - yDown.maxY(), yDown.width, yDown.height};
}

Rect fromGlobalCoordinates(const Rect& global, const Rect& primary) {
    return Rect{global.x + primary.x, primary.maxY() - global.maxY(), global.width, global.height};
}

std::string toString(const Rect& r) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "(%.1f, %.1f, %.1f, %.1f)", r.x, r.y, r.width, r.height);
    return buf;
}

std::string toString(const Utf16Range& r) {
    return "{" + std::to_string(r.location) + ", " + std::to_string(r.length) + "}";
}

}  // namespace mivo
