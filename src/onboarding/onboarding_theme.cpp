#include "onboarding/onboarding_theme.hpp"

#include "ui/brand_colors.hpp"
#include "ui/fonts.hpp"

namespace mivo {

namespace {

ui::ColorPair pairFor(OnboardingColor role) {
    switch (role) {
        case OnboardingColor::primary:
            return ui::brand::primary;
        case OnboardingColor::primaryText:
            return ui::brand::primaryText;
        case OnboardingColor::primaryPressed:
            return ui::brand::primaryPressed;
        case OnboardingColor::primarySurface:
            return ui::brand::primarySurface;
        case OnboardingColor::background:
            return ui::brand::background;
        case OnboardingColor::surface:
            return ui::brand::surface;
        case OnboardingColor::textPrimary:
            return ui::brand::textPrimary;
        case OnboardingColor::logoInk:
            return {ui::brand::ink, {1, 1, 1, 0.95}};
        case OnboardingColor::textSecondary:
            return ui::brand::textSecondary;
        case OnboardingColor::textMuted:
            return ui::brand::textMuted;
        case OnboardingColor::borderSubtle:
            return ui::brand::borderSubtle;
        case OnboardingColor::borderDefault:
            return ui::brand::borderDefault;
        case OnboardingColor::success:
            return ui::brand::success;
        case OnboardingColor::warning:
            return {ui::brand::amber, ui::brand::amber};
        case OnboardingColor::error:
            return ui::brand::error;
    }
    return {{0, 0, 0, 1}, {1, 1, 1, 1}};
}

}  // namespace

QColor OnboardingTheme::color(OnboardingColor role, ui::ColorScheme scheme) {
    return ui::resolve(pairFor(role), scheme);
}

QColor OnboardingTheme::color(OnboardingColor role) {
    return color(role, ui::Appearance::shared().scheme());
}

QColor OnboardingTheme::withOpacity(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

QFont OnboardingTheme::font(int pixelSize, QFont::Weight weight, double tracking) {
    QFont font = ui::japaneseFont(pixelSize, weight);
    if (tracking != 0.0) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    }
    return font;
}

}  // namespace mivo
