#pragma once

// The one place where the overlay's global coordinates (X pixels, origin at
// the bottom left of the primary screen, y up) meet Qt's (device-independent
// pixels of each screen, origin at the top left, y down) and the X root
// window's (X pixels, y down). Also the palette's colours and the system
// font as Qt values.

#include <QColor>
#include <QFont>
#include <QRect>

#include "overlay/overlay_palette.hpp"
#include "platform/geometry.hpp"

namespace mivo::overlay_qt {

// The primary screen's height in X pixels; 0 without a screen.
double primaryScreenHeight();

// The flip alone, at scale 1 with the primary screen at the root's origin:
// y' = H - y - height. Edges are rounded, so a rectangle keeps its edges
// rather than its size.
QRect toQt(const Rect& global, double primaryHeight);
Rect fromQt(const QRect& rect, double primaryHeight);

// A global rectangle as Qt places windows (device-independent pixels of the
// screen holding its top-left corner), and back.
QRect toQt(const Rect& global);
Rect fromQt(const QRect& rect);
// A global rectangle on the X root window, in X pixels.
QRect toX11(const Rect& global);
// Qt's position for a window whose top-left corner is the global
// rectangle's; and the X pixels a Qt length takes on the primary screen.
QPoint toQtTopLeft(const Rect& global);
double toX11Length(double qtLength);

// The pointer in global coordinates: the centre of the X pixel under it.
Point pointerLocation();

QColor toColor(const Rgb& rgb, double alpha = 1.0);
// The base colour laid over white at `alpha`, opaque: for windows that
// cannot be translucent.
QColor overWhite(const Rgb& rgb, double alpha);

// The desktop's user-interface font at a pixel size.
QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal);

}  // namespace mivo::overlay_qt
