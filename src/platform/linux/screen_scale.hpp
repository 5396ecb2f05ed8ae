#pragma once

// X pixels and Qt's device-independent pixels. Mivo computes in X pixels,
// the unit of the X server, of XTest and of accessibility extents; Qt keeps
// a screen's top-left corner in X pixels but its size, and every position
// inside it, in device-independent pixels of that screen's ratio:
//   logical = origin + (native − origin) / ratio
// All rectangles here are top-left/y-down, as both X and Qt have them.

#include <cstddef>
#include <vector>

#include "platform/geometry.hpp"

namespace mivo::linux_desktop {

// A screen as Qt gives it: `geometry` has the top-left corner in X pixels
// and the size in device-independent pixels.
struct ScaledScreen {
    Rect geometry;
    double ratio = 1.0;
};

// The screen's rectangle in X pixels.
Rect nativeFrame(const ScaledScreen& screen);

// A rectangle in the screen's device-independent coordinates, in X pixels;
// and back.
Rect toNative(const Rect& logical, const ScaledScreen& screen);
Rect toLogical(const Rect& native, const ScaledScreen& screen);

// The screen holding an X point: the one whose X rectangle contains it,
// else the nearest; the first of equals. `screens` must not be empty.
std::size_t screenOfNativePoint(Point native, const std::vector<ScaledScreen>& screens);
// The screen holding a device-independent point, by Qt's rectangles.
std::size_t screenOfLogicalPoint(Point logical, const std::vector<ScaledScreen>& screens);

// Conversions through the screen that holds the point (for a rectangle: its
// top-left corner), so that a rectangle keeps one scale. Without screens,
// the identity.
Point nativeToLogical(Point native, const std::vector<ScaledScreen>& screens);
Point logicalToNative(Point logical, const std::vector<ScaledScreen>& screens);
Rect nativeToLogical(const Rect& native, const std::vector<ScaledScreen>& screens);
Rect logicalToNative(const Rect& logical, const std::vector<ScaledScreen>& screens);

}  // namespace mivo::linux_desktop
