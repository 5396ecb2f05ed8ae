#pragma once

// The overlay's colours as plain components (0...1), shared by the highlights
// and the correction panel; the views turn them into toolkit colours.

#include "shared/records.hpp"
#include "ui/brand_palette.hpp"

namespace mivo {

struct Rgb {
    double red = 0;
    double green = 0;
    double blue = 0;
    bool operator==(const Rgb&) const = default;
};

namespace overlay_palette {

constexpr Rgb rgbOf(const ui::Rgba& colour) {
    return {colour.red, colour.green, colour.blue};
}

// Red for critical, amber for unnatural, green for style.
Rgb severityColor(CorrectionIssue::Severity severity);

// The panel's accent: border, shadow, divider tint, toggle, primary button,
// selected list row.
inline constexpr Rgb primary = rgbOf(ui::brand::accentBlue);
// The suggestion and the list rows' first line.
inline constexpr Rgb panelInk = rgbOf(ui::brand::ink);
// The original and its strike line, the explanation, the rows' second line.
inline constexpr Rgb panelGrey = rgbOf(ui::brand::slate);
inline constexpr Rgb selectedRowFill = rgbOf(ui::brand::paleBlue);

}  // namespace overlay_palette
}  // namespace mivo
