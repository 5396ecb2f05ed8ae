#pragma once

// The overlay's colours as plain components (0...1), shared by the highlights
// and the correction panel; the views turn them into toolkit colours.

#include "shared/records.hpp"

namespace mivo {

struct Rgb {
    double red = 0;
    double green = 0;
    double blue = 0;
    bool operator==(const Rgb&) const = default;
};

namespace overlay_palette {

// Red for critical, amber for unnatural, green for style.
Rgb severityColor(CorrectionIssue::Severity severity);

// The panel's accent: border, shadow, divider tint, toggle, primary button,
// selected list row.
inline constexpr Rgb primary{0.259, 0.522, 0.957};
// The suggestion and the list rows' first line.
inline constexpr Rgb panelInk{0.039, 0.059, 0.118};
// The original and its strike line, the explanation, the rows' second line.
inline constexpr Rgb panelGrey{0.373, 0.42, 0.478};
inline constexpr Rgb selectedRowFill{0.918, 0.945, 0.984};

}  // namespace overlay_palette
}  // namespace mivo
