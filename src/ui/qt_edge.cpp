#include "ui/qt_edge.hpp"

#include <QCursor>
#include <QGuiApplication>
#include <cmath>
#include <cstdlib>
#include <string>

#include <xcb/xcb.h>

#include "platform/linux/qt/qt_screens.hpp"

namespace mivo::qt_edge {

namespace {

QRect roundedEdges(const Rect& r) {
    const long left = std::lround(r.minX());
    const long right = std::lround(r.maxX());
    const long top = std::lround(r.minY());
    const long bottom = std::lround(r.maxY());
    return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                 static_cast<int>(bottom - top));
}

Rect fromQRect(const QRect& r) {
    return Rect{static_cast<double>(r.x()), static_cast<double>(r.y()),
                static_cast<double>(r.width()), static_cast<double>(r.height())};
}

xcb_screen_t* defaultScreen(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data;
}

// The primary screen at the root's origin, `primaryHeight` high.
Rect primaryAtOrigin(double primaryHeight) {
    return Rect{0, 0, 0, primaryHeight};
}

}  // namespace

xcb_connection_t* xcbConnection() {
    auto* app = qGuiApp;
    if (app == nullptr)
        return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

bool onX11() {
    return xcbConnection() != nullptr;
}

bool hasCompositor() {
    xcb_connection_t* c = xcbConnection();
    if (c == nullptr)
        return true;
    // A compositing manager owns _NET_WM_CM_S<screen>; Qt draws on the
    // display's first screen. Asked over Qt's own connection, so no call
    // opens another.
    const std::string name = "_NET_WM_CM_S0";
    auto* atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    const xcb_atom_t selection = atom != nullptr ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
    free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    auto* reply = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const bool owned = reply != nullptr && reply->owner != XCB_NONE;
    free(reply);
    return owned;
}

Rect primaryScreenFrame() {
    return linux_desktop::primaryScreenFrame();
}

double primaryScreenHeight() {
    return primaryScreenFrame().height;
}

QRect toQt(const Rect& global, double primaryHeight) {
    return roundedEdges(fromGlobalCoordinates(global, primaryAtOrigin(primaryHeight)));
}

Rect fromQt(const QRect& rect, double primaryHeight) {
    return toGlobalCoordinates(fromQRect(rect), primaryAtOrigin(primaryHeight));
}

QRect toQt(const Rect& global) {
    return roundedEdges(linux_desktop::toQtCoordinates(global));
}

Rect fromQt(const QRect& rect) {
    return linux_desktop::fromQtCoordinates(fromQRect(rect));
}

QRect toX11(const Rect& global) {
    return roundedEdges(fromGlobalCoordinates(global, primaryScreenFrame()));
}

QPoint toQtTopLeft(const Rect& global) {
    const Rect qt = linux_desktop::toQtCoordinates(global);
    return QPoint(static_cast<int>(std::lround(qt.x)), static_cast<int>(std::lround(qt.y)));
}

double toX11Length(double qtLength) {
    const auto screens = linux_desktop::scaledScreens();
    return screens.empty() ? qtLength : qtLength * screens.front().ratio;
}

std::optional<QPoint> x11PointerPosition() {
    xcb_connection_t* c = xcbConnection();
    if (c == nullptr)
        return std::nullopt;
    auto* reply = xcb_query_pointer_reply(c, xcb_query_pointer(c, defaultScreen(c)->root), nullptr);
    if (reply == nullptr)
        return std::nullopt;
    const QPoint at(reply->root_x, reply->root_y);
    free(reply);
    return at;
}

Point pointerLocation() {
    const Rect primary = primaryScreenFrame();
    Point native;
    if (const auto x11 = x11PointerPosition()) {
        native = Point{static_cast<double>(x11->x()), static_cast<double>(x11->y())};
    } else {
        const QPoint p = QCursor::pos();
        native = linux_desktop::logicalToNative(
            Point{static_cast<double>(p.x()), static_cast<double>(p.y())},
            linux_desktop::scaledScreens());
    }
    // The centre of the pixel under the hotspot: a pointer on a window's
    // top row is inside it, one on the row below it is not.
    return Point{native.x - primary.x + 0.5, primary.maxY() - native.y - 0.5};
}

}  // namespace mivo::qt_edge
