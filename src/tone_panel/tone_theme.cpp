#include "tone_panel/tone_theme.hpp"

#include "ui/appearance.hpp"
#include "ui/brand_colors.hpp"

namespace mivo::ToneTheme {

namespace {

QColor fixed(const Rgba& c) {
    return ui::toQColor(c);
}

}  // namespace

QColor Adaptive::resolve(bool isDark) const {
    return ui::toQColor(isDark ? dark : light);
}

QColor Adaptive::resolve() const {
    return resolve(ui::Appearance::shared().isDark());
}

QColor withOpacity(QColor colour, double opacity) {
    colour.setAlphaF(static_cast<float>(colour.alphaF() * opacity));
    return colour;
}

QColor primary() {
    return fixed(ui::brand::accentBlue);
}
QColor primaryHover() {
    return fixed({0.102, 0.451, 0.91, 1});
}
QColor primaryDeep() {
    return Adaptive{ui::brand::pressedBlue, {0.541, 0.706, 0.973, 1}}.resolve();
}
QColor primaryTint() {
    return Adaptive{{0.824, 0.89, 0.988, 1}, {0.176, 0.243, 0.369, 1}}.resolve();
}
QColor primarySurface() {
    return Adaptive{ui::brand::paleBlue, {0.165, 0.2, 0.275, 1}}.resolve();
}
QColor panelBackground() {
    return Adaptive{{1, 1, 1, 1}, {0.118, 0.122, 0.133, 1}}.resolve();
}
QColor surfaceAlt() {
    return Adaptive{ui::brand::background.light, {0.149, 0.157, 0.173, 1}}.resolve();
}
QColor textPrimary() {
    return Adaptive{ui::brand::textPrimary.light, {0.91, 0.918, 0.929, 1}}.resolve();
}
QColor textSecondary() {
    return Adaptive{ui::brand::slate, {0.69, 0.714, 0.745, 1}}.resolve();
}
// Captions, inactive tabs and counters are read, so they keep 4.5:1 on the
// panel and its alternate surface: the grey is darker (light) and lighter
// (dark) than the design's at the same hue.
QColor textMuted() {
    return Adaptive{{0.4, 0.451, 0.51, 1}, {0.529, 0.569, 0.608, 1}}.resolve();
}
QColor error() {
    return fixed(ui::brand::red);
}
QColor success() {
    return fixed(ui::brand::green);
}
QColor shimmerBase() {
    return Adaptive{ui::brand::paleBlue, {0.165, 0.2, 0.275, 1}}.resolve();
}
QColor shimmerHighlight() {
    return Adaptive{ui::brand::background.light, {0.227, 0.255, 0.314, 1}}.resolve();
}
QColor borderSubtle() {
    return withOpacity(primary(), 0.12);
}
QColor borderDefault() {
    return withOpacity(primary(), 0.2);
}
QColor primaryButton() {
    return fixed(ui::brand::accentBlue);
}
QColor primaryButtonPressed() {
    return fixed(ui::brand::pressedBlue);
}

}  // namespace mivo::ToneTheme
