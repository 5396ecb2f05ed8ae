#include "onboarding/onboarding_theme.hpp"

#include "ui/fonts.hpp"

namespace mivo {

namespace {

struct Rgba {
    double red;
    double green;
    double blue;
    double alpha;
};

struct Pair {
    Rgba light;
    Rgba dark;
};

Pair pairFor(OnboardingColor role) {
    switch (role) {
        case OnboardingColor::primary:
            return {{0.259, 0.522, 0.957, 1}, {0.478, 0.667, 1, 1}};
        case OnboardingColor::primaryPressed:
            return {{0.098, 0.404, 0.824, 1}, {0.62, 0.757, 1, 1}};
        case OnboardingColor::primarySurface:
            return {{0.918, 0.945, 0.984, 1}, {0.157, 0.22, 0.337, 1}};
        case OnboardingColor::background:
            return {{0.973, 0.98, 1, 1}, {0.11, 0.122, 0.149, 1}};
        case OnboardingColor::surface:
            return {{1, 1, 1, 1}, {0.149, 0.165, 0.196, 1}};
        case OnboardingColor::textPrimary:
            return {{0.039, 0.059, 0.118, 0.92}, {1, 1, 1, 0.92}};
        case OnboardingColor::logoInk:
            return {{0.039, 0.059, 0.118, 1}, {1, 1, 1, 0.95}};
        case OnboardingColor::textSecondary:
            return {{0.373, 0.42, 0.478, 1}, {0.694, 0.733, 0.788, 1}};
        case OnboardingColor::textMuted:
            return {{0.42, 0.459, 0.522, 1}, {0.58, 0.62, 0.682, 1}};
        case OnboardingColor::borderSubtle:
            return {{0.259, 0.522, 0.957, 0.12}, {1, 1, 1, 0.1}};
        case OnboardingColor::borderDefault:
            return {{0.259, 0.522, 0.957, 0.2}, {1, 1, 1, 0.18}};
        case OnboardingColor::success:
            return {{0.204, 0.659, 0.325, 1}, {0.38, 0.788, 0.482, 1}};
        case OnboardingColor::warning:
            return {{0.984, 0.737, 0.016, 1}, {0.984, 0.737, 0.016, 1}};
        case OnboardingColor::error:
            return {{0.918, 0.263, 0.208, 1}, {1, 0.451, 0.408, 1}};
    }
    return {{0, 0, 0, 1}, {1, 1, 1, 1}};
}

}  // namespace

QColor OnboardingTheme::color(OnboardingColor role, ui::ColorScheme scheme) {
    const Pair pair = pairFor(role);
    const Rgba& c = scheme == ui::ColorScheme::dark ? pair.dark : pair.light;
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green),
                            static_cast<float>(c.blue), static_cast<float>(c.alpha));
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
