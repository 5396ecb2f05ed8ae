#pragma once

// The overlay palette's colours and the system font as Qt values.

#include <QColor>
#include <QFont>

#include "overlay/overlay_palette.hpp"

namespace mivo::overlay_qt {

QColor toColor(const Rgb& rgb, double alpha = 1.0);
// The base colour laid over white at `alpha`, opaque: for windows that
// cannot be translucent.
QColor overWhite(const Rgb& rgb, double alpha);

// The desktop's user-interface font at a pixel size.
QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal);

}  // namespace mivo::overlay_qt
