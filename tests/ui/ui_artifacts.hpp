#pragma once

// Saves what a view renders as build/test-artifacts/ui/<name>.png for a
// person to look at. Views are checked through their widgets and pixel
// probes, never against these pictures.

#include <QColor>
#include <QImage>
#include <QLayout>
#include <QWidget>
#include <string>

namespace mivo::testing {

// Renders `widget` at its current size (laid out, not shown) and saves it;
// returns the image so a test can probe its pixels.
QImage renderArtifact(QWidget& widget, const std::string& name);

// The colour of one pixel of `image` at logical coordinates (x, y).
QColor pixelAt(const QImage& image, int x, int y);

// WCAG's contrast of two opaque sRGB colours (1 to 21).
double contrast(const QColor& a, const QColor& b);

// The contrast of a label as drawn in `area` (device pixels of `image`):
// the colour most of the area has (the fill), against the pixel that
// stands out from it most (the ink).
double drawnContrast(const QImage& image, const QRect& area);

// `widget`'s rectangle in the device pixels of `image`, rendered from its
// ancestor `top`.
QRect deviceRectIn(const QImage& image, const QWidget& widget, const QWidget& top);

}  // namespace mivo::testing
