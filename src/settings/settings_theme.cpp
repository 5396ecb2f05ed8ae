#include "settings/settings_theme.hpp"

#include <algorithm>
#include <array>

#include "ui/brand_colors.hpp"
#include "ui/fonts.hpp"

namespace mivo {

namespace {

// In the order of SettingsColor.
constexpr std::array<ui::ColorPair, 13> kColors{{
    ui::brand::primary,
    ui::brand::primaryPressed,
    ui::brand::primarySurface,
    ui::brand::background,  // altBackground
    ui::brand::surface,
    ui::brand::textPrimary,
    ui::brand::textSecondary,
    ui::brand::textMuted,
    ui::brand::borderSubtle,
    ui::brand::borderDefault,
    ui::brand::error,
    {{0.988, 0.91, 0.902, 1}, {0.298, 0.149, 0.137, 1}},  // errorSurface
    ui::brand::success,                                   // styleGreen
}};

}  // namespace

QColor MivoSettingsTheme::color(SettingsColor role, ui::ColorScheme scheme) {
    return ui::resolve(kColors[static_cast<std::size_t>(role)], scheme);
}

QColor MivoSettingsTheme::color(SettingsColor role) {
    return color(role, ui::Appearance::shared().scheme());
}

QColor MivoSettingsTheme::withOpacity(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(std::clamp(color.alphaF() * opacity, 0.0, 1.0)));
    return color;
}

QFont MivoSettingsTheme::font(int pixelSize, QFont::Weight weight, double tracking) {
    QFont font = ui::japaneseFont(pixelSize, weight);
    if (tracking != 0.0) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    }
    return font;
}

}  // namespace mivo
