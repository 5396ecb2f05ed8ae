#pragma once

// The one place where Mivo's global coordinates (X pixels, origin at the
// bottom left of the primary screen, y up) meet Qt's (device-independent
// pixels of each screen, origin at the top left, y down) and the X root
// window's (X pixels, y down), and where a view learns what the X server
// offers beyond Qt. Every window over other applications goes through here.

#include <QPoint>
#include <QRect>
#include <optional>

#include "platform/geometry.hpp"

struct xcb_connection_t;

namespace mivo::qt_edge {

// Qt's own connection to the X server; nothing off X11 (the offscreen
// platform of the view tests).
xcb_connection_t* xcbConnection();
bool onX11();
// Whether a compositing manager runs, so translucent windows blend; always
// true off X11, where Qt composes itself.
bool hasCompositor();

// The primary screen's top-left/y-down frame in X pixels.
Rect primaryScreenFrame();
// The primary screen's height in X pixels; 0 without a screen.
double primaryScreenHeight();

// The flip alone, at scale 1 with the primary screen at the root's origin.
// Edges are rounded, so a rectangle keeps its edges rather than its size.
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

// The pointer on the root window in X pixels, exactly (Qt's position of it
// is rounded to its device-independent pixels); nothing off X11.
std::optional<QPoint> x11PointerPosition();
// The pointer in global coordinates: the centre of the X pixel under it.
Point pointerLocation();

}  // namespace mivo::qt_edge
