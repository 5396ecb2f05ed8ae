#pragma once

// Our own one-colour SVG drawings kept in resource bundles: symbols in a
// bundle's "Symbols" folder, and Mivo's logo in the bundle "Mivo_AppShell".
// Each is parsed once and drawn in whatever colour shows it.

#include <QImage>
#include <QPixmap>
#include <optional>
#include <string_view>

namespace mivo::ui {

// Whether the bundle `bundleName` holds "Symbols/<name>.svg" that parses.
bool hasBundleSymbol(std::string_view bundleName, std::string_view name);

// The symbol drawn in `color` in a square of `pixelSize` logical pixels;
// an empty pixmap when it is missing.
QPixmap bundleSymbol(std::string_view bundleName, std::string_view name, int pixelSize,
                     const QColor& color, qreal devicePixelRatio);

// The logo (black with alpha) fitted into `size` with its aspect ratio kept;
// nothing when the file cannot be loaded.
std::optional<QImage> brandLogo(QSize size);

// Paints the one-colour `image` in `color`, keeping its alpha.
QImage tinted(QImage image, const QColor& color);

}  // namespace mivo::ui
