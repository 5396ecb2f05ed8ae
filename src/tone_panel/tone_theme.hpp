#pragma once

// The rewrite panel's palette. Each colour is a light and a dark sRGB tuple;
// the current appearance (ui::Appearance) picks one at the moment of drawing,
// so a switch of light and dark recolours the panel on its next repaint.

#include <QColor>

#include "ui/brand_palette.hpp"

namespace mivo::ToneTheme {

using Rgba = ui::Rgba;

// An adaptive colour: the dark tuple only in the dark appearance.
struct Adaptive {
    Rgba light;
    Rgba dark;
    QColor resolve() const;
    QColor resolve(bool dark) const;
};

QColor primary();
QColor primaryHover();
QColor primaryDeep();
QColor primaryTint();
QColor primarySurface();
QColor panelBackground();
QColor surfaceAlt();
QColor textPrimary();
QColor textSecondary();
QColor textMuted();
QColor error();
QColor success();
QColor shimmerBase();
QColor shimmerHighlight();
QColor borderSubtle();
QColor borderDefault();

// The two fixed blues of the primary button: resting and pressed.
QColor primaryButton();
QColor primaryButtonPressed();

// `colour` with its alpha multiplied by `opacity`.
QColor withOpacity(QColor colour, double opacity);

}  // namespace mivo::ToneTheme
