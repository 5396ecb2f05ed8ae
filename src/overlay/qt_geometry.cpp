#include "overlay/qt_geometry.hpp"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "overlay/x11_overlay_support.hpp"
#include "platform/linux/qt_screens.hpp"

namespace mivo::overlay_qt {

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

}  // namespace

double primaryScreenHeight() {
    return linux_desktop::primaryScreenFrame().height;
}

QRect toQt(const Rect& global, double primaryHeight) {
    return roundedEdges(Rect{global.x, primaryHeight - global.maxY(), global.width, global.height});
}

Rect fromQt(const QRect& rect, double primaryHeight) {
    return Rect{static_cast<double>(rect.x()),
                primaryHeight - static_cast<double>(rect.y()) - rect.height(),
                static_cast<double>(rect.width()), static_cast<double>(rect.height())};
}

QRect toQt(const Rect& global) {
    return roundedEdges(linux_desktop::toQtCoordinates(global));
}

Rect fromQt(const QRect& rect) {
    return linux_desktop::fromQtCoordinates(fromQRect(rect));
}

QRect toX11(const Rect& global) {
    return roundedEdges(
        linux_desktop::fromGlobalCoordinates(global, linux_desktop::primaryScreenFrame()));
}

QPoint toQtTopLeft(const Rect& global) {
    const Rect qt = linux_desktop::toQtCoordinates(global);
    return QPoint(static_cast<int>(std::lround(qt.x)), static_cast<int>(std::lround(qt.y)));
}

double toX11Length(double qtLength) {
    const auto screens = linux_desktop::scaledScreens();
    return screens.empty() ? qtLength : qtLength * screens.front().ratio;
}

Point pointerLocation() {
    const Rect primary = linux_desktop::primaryScreenFrame();
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

QColor toColor(const Rgb& rgb, double alpha) {
    return QColor::fromRgbF(static_cast<float>(rgb.red), static_cast<float>(rgb.green),
                            static_cast<float>(rgb.blue), static_cast<float>(alpha));
}

QColor overWhite(const Rgb& rgb, double alpha) {
    const auto blend = [alpha](double c) { return static_cast<float>(c * alpha + (1 - alpha)); };
    return QColor::fromRgbF(blend(rgb.red), blend(rgb.green), blend(rgb.blue));
}

QFont systemFont(int pixelSize, QFont::Weight weight) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

}  // namespace mivo::overlay_qt
