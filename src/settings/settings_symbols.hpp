#pragma once

// The symbol images of the settings window: our own SVGs in the bundle
// "Mivo_Settings" (Symbols/<name>.svg), drawn in one colour.

#include <QColor>
#include <QPixmap>
#include <string_view>

namespace mivo {

// The symbol `name` drawn `pixelSize` pixels square in `color`, at the
// device pixel ratio given; an empty pixmap when the symbol is missing.
QPixmap settingsSymbol(std::string_view name, int pixelSize, const QColor& color,
                       qreal devicePixelRatio = 1.0);

// Whether the bundle has the symbol (for tests and the log).
bool hasSettingsSymbol(std::string_view name);

}  // namespace mivo
