#include "settings/settings_symbols.hpp"

#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <map>
#include <memory>
#include <string>

#include "shared/resource_bundle.hpp"

namespace mivo {

namespace {

const ResourceBundle& settingsBundle() {
    static const ResourceBundle bundle = mivoSealedResourceBundle("Mivo_Settings", [] {
        return ResourceBundle(sourceResourcesFolder() / "Mivo_Settings.bundle");
    });
    return bundle;
}

// One renderer per symbol, parsed once; nothing for a missing file.
QSvgRenderer* renderer(std::string_view name) {
    static std::map<std::string, std::unique_ptr<QSvgRenderer>, std::less<>> cache;
    if (auto it = cache.find(name); it != cache.end()) {
        return it->second.get();
    }
    std::unique_ptr<QSvgRenderer> loaded;
    if (auto path = settingsBundle().urlForResource(name, "svg", "Symbols")) {
        loaded = std::make_unique<QSvgRenderer>(QString::fromStdString(path->string()));
        if (!loaded->isValid()) {
            loaded.reset();
        }
    }
    auto* raw = loaded.get();
    cache.emplace(std::string(name), std::move(loaded));
    return raw;
}

}  // namespace

bool hasSettingsSymbol(std::string_view name) {
    return renderer(name) != nullptr;
}

QPixmap settingsSymbol(std::string_view name, int pixelSize, const QColor& color,
                       qreal devicePixelRatio) {
    QSvgRenderer* svg = renderer(name);
    if (svg == nullptr || pixelSize <= 0) {
        return {};
    }
    const int side = qRound(pixelSize * devicePixelRatio);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg->render(&painter, QRectF(0, 0, side, side));
        // The drawing is black; keep its shape, take the colour.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

}  // namespace mivo
