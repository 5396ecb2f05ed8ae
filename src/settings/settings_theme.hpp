#pragma once

// The settings window's palette and metrics. Every colour has a light and a
// dark value; reads follow the current appearance (ui::Appearance), so a
// painter that reads on each paint follows a switch of light and dark.

#include <QColor>
#include <QFont>

#include "ui/appearance.hpp"
#include "ui/brand_palette.hpp"

namespace mivo {

enum class SettingsColor {
    primary,
    primaryPressed,
    primarySurface,
    altBackground,
    surface,
    textPrimary,
    textSecondary,
    textMuted,
    borderSubtle,
    borderDefault,
    error,
    errorSurface,
    styleGreen,
};

struct MivoSettingsTheme {
    // The colour for an explicit appearance, and for the current one.
    static QColor color(SettingsColor role, ui::ColorScheme scheme);
    static QColor color(SettingsColor role);
    // `color` with its alpha multiplied by `opacity`.
    static QColor withOpacity(QColor color, double opacity);

    static QColor primary() { return color(SettingsColor::primary); }
    static QColor primaryPressed() { return color(SettingsColor::primaryPressed); }
    static QColor primarySurface() { return color(SettingsColor::primarySurface); }
    static QColor altBackground() { return color(SettingsColor::altBackground); }
    static QColor surface() { return color(SettingsColor::surface); }
    static QColor textPrimary() { return color(SettingsColor::textPrimary); }
    static QColor textSecondary() { return color(SettingsColor::textSecondary); }
    static QColor textMuted() { return color(SettingsColor::textMuted); }
    static QColor borderSubtle() { return color(SettingsColor::borderSubtle); }
    static QColor borderDefault() { return color(SettingsColor::borderDefault); }
    static QColor error() { return color(SettingsColor::error); }
    static QColor errorSurface() { return color(SettingsColor::errorSurface); }
    static QColor styleGreen() { return color(SettingsColor::styleGreen); }

    // The window behind everything.
    static QColor windowBackground() { return altBackground(); }

    // The system face at a pixel size and weight, with letter tracking in
    // pixels.
    static QFont font(int pixelSize, QFont::Weight weight, double tracking = 0.0);

    // Metrics of the window and its controls, in pixels.
    static constexpr int contentWidth = 800;
    static constexpr int contentHeight = 640;
    static constexpr int minimumContentWidth = 720;
    static constexpr int minimumContentHeight = 560;
    static constexpr int sidebarWidth = 210;
    static constexpr int contentPadding = 32;
    static constexpr int cardPadding = 24;
    static constexpr int cardRadius = 12;
    static constexpr int tabHeight = 42;
    static constexpr int buttonHeight = 38;
    static constexpr int buttonRadius = 6;
    static constexpr int buttonPadding = 18;
    static constexpr int toggleWidth = 48;
    static constexpr int toggleHeight = 28;
    static constexpr int toggleKnobInset = 3;
    static constexpr int toggleAnimationMs = 180;
};

}  // namespace mivo
