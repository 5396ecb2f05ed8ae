#include "ui/brand_colors.hpp"

namespace mivo::ui {

QColor toQColor(const Rgba& colour) {
    return QColor::fromRgbF(static_cast<float>(colour.red), static_cast<float>(colour.green),
                            static_cast<float>(colour.blue), static_cast<float>(colour.alpha));
}

QColor resolve(const ColorPair& pair, ColorScheme scheme) {
    return toQColor(scheme == ColorScheme::dark ? pair.dark : pair.light);
}

}  // namespace mivo::ui
