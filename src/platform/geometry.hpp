#pragma once

// Value types for screen geometry and accessibility ranges. Which coordinate
// space a rectangle is in is said where it is produced: accessibility answers
// are top-left/y-down, everything the services keep is bottom-left/y-up.

#include <cstdint>
#include <string>

namespace mivo {

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    double midY() const { return y + height / 2; }
    // All four values zero: the accessibility interface's "no answer".
    bool isZero() const { return x == 0 && y == 0 && width == 0 && height == 0; }
    bool contains(Point p) const {
        return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
    }
    // The smallest rectangle containing both.
    Rect united(const Rect& other) const;
    bool operator==(const Rect&) const = default;
};

// A range of UTF-16 code units of an element's whole value: the unit of every
// range that crosses the accessibility interface.
struct Utf16Range {
    int64_t location = 0;
    int64_t length = 0;

    int64_t end() const { return location + length; }
    bool operator==(const Utf16Range&) const = default;
};

// The one flip between the window system's top-left/y-down rectangles and
// the global bottom-left/y-up ones, given the primary screen's top-left/y-down
// frame: y' = H - y - height.
Rect toGlobalCoordinates(const Rect& yDown, const Rect& primary);
Rect fromGlobalCoordinates(const Rect& global, const Rect& primary);

// Log forms: "(100.0, 897.0, 50.0, 20.0)" and "{4, 1}".
std::string toString(const Rect& r);
std::string toString(const Utf16Range& r);

}  // namespace mivo
