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

}  // namespace mivo::testing
