#pragma once

// The palette's values as Qt colours.

#include <QColor>

#include "ui/appearance.hpp"
#include "ui/brand_palette.hpp"

namespace mivo::ui {

QColor toQColor(const Rgba& colour);
QColor resolve(const ColorPair& pair, ColorScheme scheme);

}  // namespace mivo::ui
