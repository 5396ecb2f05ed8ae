#include "settings/settings_symbols.hpp"

#include "ui/bundle_symbols.hpp"

namespace mivo {

bool hasSettingsSymbol(std::string_view name) {
    return ui::hasBundleSymbol("Mivo_Settings", name);
}

QPixmap settingsSymbol(std::string_view name, int pixelSize, const QColor& color,
                       qreal devicePixelRatio) {
    return ui::bundleSymbol("Mivo_Settings", name, pixelSize, color, devicePixelRatio);
}

}  // namespace mivo
