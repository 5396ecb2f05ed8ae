#include "settings/settings_theme.hpp"

#include <algorithm>
#include <array>

#include "ui/fonts.hpp"

namespace mivo {

namespace {

struct Pair {
    SettingsRgba light;
    SettingsRgba dark;
};

// In the order of SettingsColor.
constexpr std::array<Pair, 13> kColors{{
    {{0.259, 0.522, 0.957, 1}, {0.478, 0.667, 1, 1}},     // primary
    {{0.098, 0.404, 0.824, 1}, {0.62, 0.757, 1, 1}},      // primaryPressed
    {{0.918, 0.945, 0.984, 1}, {0.157, 0.22, 0.337, 1}},  // primarySurface
    {{0.973, 0.98, 1, 1}, {0.11, 0.122, 0.149, 1}},       // altBackground
    {{1, 1, 1, 1}, {0.149, 0.165, 0.196, 1}},             // surface
    {{0.039, 0.059, 0.118, 0.92}, {1, 1, 1, 0.92}},       // textPrimary
    {{0.373, 0.42, 0.478, 1}, {0.694, 0.733, 0.788, 1}},  // textSecondary
    {{0.42, 0.459, 0.522, 1}, {0.58, 0.62, 0.682, 1}},    // textMuted
    {{0.259, 0.522, 0.957, 0.12}, {1, 1, 1, 0.1}},        // borderSubtle
    {{0.259, 0.522, 0.957, 0.2}, {1, 1, 1, 0.18}},        // borderDefault
    {{0.918, 0.263, 0.208, 1}, {1, 0.451, 0.408, 1}},     // error
    {{0.988, 0.91, 0.902, 1}, {0.298, 0.149, 0.137, 1}},  // errorSurface
    {{0.204, 0.659, 0.325, 1}, {0.38, 0.788, 0.482, 1}},  // styleGreen
}};

QColor fromRgba(const SettingsRgba& c) {
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green),
                            static_cast<float>(c.blue), static_cast<float>(c.alpha));
}

bool currentIsDark() {
    return ui::Appearance::shared().isDark();
}

}  // namespace

QColor MivoSettingsTheme::color(SettingsColor role, ui::ColorScheme scheme) {
    const Pair& pair = kColors[static_cast<std::size_t>(role)];
    return fromRgba(scheme == ui::ColorScheme::dark ? pair.dark : pair.light);
}

QColor MivoSettingsTheme::color(SettingsColor role) {
    return color(role, ui::Appearance::shared().scheme());
}

QColor MivoSettingsTheme::dynamic(SettingsRgba light, SettingsRgba dark) {
    return fromRgba(currentIsDark() ? dark : light);
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
