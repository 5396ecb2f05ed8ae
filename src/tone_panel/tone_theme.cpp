#include "tone_panel/tone_theme.hpp"

#include "ui/appearance.hpp"

namespace mivo::ToneTheme {

namespace {

QColor fromTuple(const Rgba& c) {
    return QColor::fromRgbF(static_cast<float>(c.r), static_cast<float>(c.g),
                            static_cast<float>(c.b), static_cast<float>(c.a));
}

constexpr Rgba primaryTuple{0.259, 0.522, 0.957, 1};

QColor fixed(const Rgba& c) {
    return fromTuple(c);
}

}  // namespace

QColor Adaptive::resolve(bool isDark) const {
    return fromTuple(isDark ? dark : light);
}

QColor Adaptive::resolve() const {
    return resolve(ui::Appearance::shared().isDark());
}

QColor withOpacity(QColor colour, double opacity) {
    colour.setAlphaF(static_cast<float>(colour.alphaF() * opacity));
    return colour;
}

QColor primary() {
    return fixed(primaryTuple);
}
QColor primaryHover() {
    return fixed({0.102, 0.451, 0.91, 1});
}
QColor primaryDeep() {
    return Adaptive{{0.098, 0.404, 0.824, 1}, {0.541, 0.706, 0.973, 1}}.resolve();
}
QColor primaryTint() {
    return Adaptive{{0.824, 0.89, 0.988, 1}, {0.176, 0.243, 0.369, 1}}.resolve();
}
QColor primarySurface() {
    return Adaptive{{0.918, 0.945, 0.984, 1}, {0.165, 0.2, 0.275, 1}}.resolve();
}
QColor panelBackground() {
    return Adaptive{{1, 1, 1, 1}, {0.118, 0.122, 0.133, 1}}.resolve();
}
QColor surfaceAlt() {
    return Adaptive{{0.973, 0.98, 1, 1}, {0.149, 0.157, 0.173, 1}}.resolve();
}
QColor textPrimary() {
    return Adaptive{{0.039, 0.059, 0.118, 0.92}, {0.91, 0.918, 0.929, 1}}.resolve();
}
QColor textSecondary() {
    return Adaptive{{0.373, 0.42, 0.478, 1}, {0.69, 0.714, 0.745, 1}}.resolve();
}
QColor textMuted() {
    return Adaptive{{0.62, 0.659, 0.702, 1}, {0.494, 0.533, 0.576, 1}}.resolve();
}
QColor error() {
    return fixed({0.918, 0.263, 0.208, 1});
}
QColor success() {
    return fixed({0.204, 0.659, 0.325, 1});
}
QColor shimmerBase() {
    return Adaptive{{0.918, 0.945, 0.984, 1}, {0.165, 0.2, 0.275, 1}}.resolve();
}
QColor shimmerHighlight() {
    return Adaptive{{0.973, 0.98, 1, 1}, {0.227, 0.255, 0.314, 1}}.resolve();
}
QColor borderSubtle() {
    return withOpacity(primary(), 0.12);
}
QColor borderDefault() {
    return withOpacity(primary(), 0.2);
}
QColor primaryButton() {
    return fixed(primaryTuple);
}
QColor primaryButtonPressed() {
    return fixed({0.098, 0.404, 0.824, 1});
}

}  // namespace mivo::ToneTheme
