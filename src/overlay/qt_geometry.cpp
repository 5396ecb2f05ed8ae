#include "overlay/qt_geometry.hpp"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace mivo::overlay_qt {

double primaryScreenHeight() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary != nullptr ? primary->geometry().height() : 0;
}

QRect toQt(const Rect& global, double primaryHeight) {
    const long left = std::lround(global.minX());
    const long right = std::lround(global.maxX());
    const long top = std::lround(primaryHeight - global.maxY());
    const long bottom = std::lround(primaryHeight - global.minY());
    return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                 static_cast<int>(bottom - top));
}

QRect toQt(const Rect& global) {
    return toQt(global, primaryScreenHeight());
}

Rect fromQt(const QRect& rect, double primaryHeight) {
    return Rect{static_cast<double>(rect.x()),
                primaryHeight - static_cast<double>(rect.y()) - rect.height(),
                static_cast<double>(rect.width()), static_cast<double>(rect.height())};
}

Rect fromQt(const QRect& rect) {
    return fromQt(rect, primaryScreenHeight());
}

Point pointerLocation() {
    // The centre of the pixel under the hotspot: a pointer on a window's
    // top row is inside it, one on the row below it is not.
    const QPoint p = QCursor::pos();
    return Point{p.x() + 0.5, primaryScreenHeight() - p.y() - 0.5};
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
