#include "overlay/qt_style.hpp"

#include <QGuiApplication>

namespace mivo::overlay_qt {

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
