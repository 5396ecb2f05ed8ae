#pragma once

// The one place where the overlay's global coordinates (origin at the
// bottom left of the primary screen, y up) meet Qt's (origin at the top left,
// y down): y' = H - y - height, with H the primary screen's height. Also the
// palette's colours and the system font as Qt values.

#include <QColor>
#include <QFont>
#include <QRect>

#include "overlay/overlay_palette.hpp"
#include "platform/geometry.hpp"

namespace mivo::overlay_qt {

// The primary screen's height; 0 without a screen.
double primaryScreenHeight();

// Edges are rounded, so a rectangle keeps its edges rather than its size.
QRect toQt(const Rect& global, double primaryHeight);
QRect toQt(const Rect& global);
Rect fromQt(const QRect& rect, double primaryHeight);
Rect fromQt(const QRect& rect);
Point pointerLocation();

QColor toColor(const Rgb& rgb, double alpha = 1.0);
// The base colour laid over white at `alpha`, opaque: for windows that
// cannot be translucent.
QColor overWhite(const Rgb& rgb, double alpha);

// The desktop's user-interface font at a pixel size.
QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal);

}  // namespace mivo::overlay_qt
