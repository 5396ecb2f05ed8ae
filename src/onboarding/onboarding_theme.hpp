#pragma once

// The onboarding window's own palette and its two button looks. Every colour
// has a light and a dark value; reads follow the current appearance
// (ui::Appearance), so views that read on each paint follow a switch.

#include <QColor>
#include <QFont>

#include "ui/appearance.hpp"

namespace mivo {

enum class OnboardingColor {
    primary,
    primaryText,
    primaryPressed,
    primarySurface,
    background,
    surface,
    textPrimary,
    logoInk,
    textSecondary,
    textMuted,
    borderSubtle,
    borderDefault,
    success,
    warning,
    error,
};

struct OnboardingTheme {
    static QColor color(OnboardingColor role, ui::ColorScheme scheme);
    static QColor color(OnboardingColor role);
    // `color` with its alpha multiplied by `opacity`.
    static QColor withOpacity(QColor color, double opacity);

    static QColor primary() { return color(OnboardingColor::primary); }
    static QColor primaryText() { return color(OnboardingColor::primaryText); }
    static QColor primaryPressed() { return color(OnboardingColor::primaryPressed); }
    static QColor primarySurface() { return color(OnboardingColor::primarySurface); }
    static QColor background() { return color(OnboardingColor::background); }
    static QColor surface() { return color(OnboardingColor::surface); }
    static QColor textPrimary() { return color(OnboardingColor::textPrimary); }
    static QColor logoInk() { return color(OnboardingColor::logoInk); }
    static QColor textSecondary() { return color(OnboardingColor::textSecondary); }
    static QColor textMuted() { return color(OnboardingColor::textMuted); }
    static QColor borderSubtle() { return color(OnboardingColor::borderSubtle); }
    static QColor borderDefault() { return color(OnboardingColor::borderDefault); }
    static QColor success() { return color(OnboardingColor::success); }
    static QColor warning() { return color(OnboardingColor::warning); }
    static QColor error() { return color(OnboardingColor::error); }

    // The system face at a pixel size and weight, with tracking in pixels.
    static QFont font(int pixelSize, QFont::Weight weight = QFont::Normal, double tracking = 0.0);

    // The window and the slide transition.
    static constexpr int windowWidth = 720;
    static constexpr int windowHeight = 560;
    static constexpr int slideTransitionMs = 220;
    static constexpr int pageDotsAnimationMs = 200;

    // Both button styles.
    static constexpr int buttonHeight = 40;
    static constexpr int buttonRadius = 8;
    static constexpr int primaryButtonPadding = 22;
    static constexpr int secondaryButtonPadding = 18;
    static constexpr double pressedScale = 0.97;
    static constexpr double disabledOpacity = 0.4;
};

}  // namespace mivo
