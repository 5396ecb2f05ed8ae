#pragma once

// Mivo's colours, written once: sRGB components from 0 to 1, a light and a
// dark value where the appearance changes them. Plain values, so that the
// models that choose colours (the overlay's) name them without a toolkit;
// the views turn them into QColor (ui/brand_colors.hpp).

namespace mivo::ui {

struct Rgba {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
};

struct ColorPair {
    Rgba light;
    Rgba dark;
};

constexpr Rgba withAlpha(Rgba colour, double alpha) {
    colour.alpha = alpha;
    return colour;
}

namespace brand {

// The accent: buttons, borders, the correction panel's frame.
inline constexpr Rgba accentBlue{0.259, 0.522, 0.957, 1};
inline constexpr Rgba pressedBlue{0.098, 0.404, 0.824, 1};
inline constexpr Rgba paleBlue{0.918, 0.945, 0.984, 1};
inline constexpr Rgba ink{0.039, 0.059, 0.118, 1};
inline constexpr Rgba slate{0.373, 0.42, 0.478, 1};
// The severities: critical, unnatural, style.
inline constexpr Rgba red{0.918, 0.263, 0.208, 1};
inline constexpr Rgba amber{0.984, 0.737, 0.016, 1};
inline constexpr Rgba green{0.204, 0.659, 0.325, 1};

inline constexpr ColorPair primary{accentBlue, {0.478, 0.667, 1, 1}};
// The accent as the ink of text on its own pale fills: the accent darkened
// at the same hue until small text reads at 4.5:1 (the accent itself gives
// 3.2:1 there); dark keeps the accent, which reads at 6:1.
inline constexpr ColorPair primaryText{{0.051, 0.369, 0.894, 1}, primary.dark};
inline constexpr ColorPair primaryPressed{pressedBlue, {0.62, 0.757, 1, 1}};
inline constexpr ColorPair primarySurface{paleBlue, {0.157, 0.22, 0.337, 1}};
inline constexpr ColorPair background{{0.973, 0.98, 1, 1}, {0.11, 0.122, 0.149, 1}};
inline constexpr ColorPair surface{{1, 1, 1, 1}, {0.149, 0.165, 0.196, 1}};
inline constexpr ColorPair textPrimary{withAlpha(ink, 0.92), {1, 1, 1, 0.92}};
inline constexpr ColorPair textSecondary{slate, {0.694, 0.733, 0.788, 1}};
inline constexpr ColorPair textMuted{{0.42, 0.459, 0.522, 1}, {0.58, 0.62, 0.682, 1}};
inline constexpr ColorPair borderSubtle{withAlpha(accentBlue, 0.12), {1, 1, 1, 0.1}};
inline constexpr ColorPair borderDefault{withAlpha(accentBlue, 0.2), {1, 1, 1, 0.18}};
inline constexpr ColorPair error{red, {1, 0.451, 0.408, 1}};
inline constexpr ColorPair success{green, {0.38, 0.788, 0.482, 1}};

}  // namespace brand
}  // namespace mivo::ui
