#include "ui/bundle_symbols.hpp"

#include <QPainter>
#include <QSvgRenderer>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "shared/resource_bundle.hpp"

namespace mivo::ui {

namespace {

const ResourceBundle& bundle(std::string_view name) {
    static std::map<std::string, ResourceBundle, std::less<>> bundles;
    if (auto it = bundles.find(name); it != bundles.end()) {
        return it->second;
    }
    const std::string folder = std::string(name) + ".bundle";
    auto found = mivoSealedResourceBundle(
        name, [&] { return ResourceBundle(sourceResourcesFolder() / folder); });
    return bundles.emplace(std::string(name), std::move(found)).first->second;
}

// One renderer per file, parsed once; nothing for a missing or broken file.
QSvgRenderer* renderer(std::string_view bundleName, std::string_view name,
                       std::string_view subdirectory) {
    static std::map<std::string, std::unique_ptr<QSvgRenderer>, std::less<>> cache;
    const std::string key =
        std::string(bundleName) + "/" + std::string(subdirectory) + "/" + std::string(name);
    if (auto it = cache.find(key); it != cache.end()) {
        return it->second.get();
    }
    std::unique_ptr<QSvgRenderer> loaded;
    if (auto path = bundle(bundleName).urlForResource(name, "svg", subdirectory)) {
        loaded = std::make_unique<QSvgRenderer>(QString::fromStdString(path->string()));
        if (!loaded->isValid()) {
            loaded.reset();
        }
    }
    auto* raw = loaded.get();
    cache.emplace(key, std::move(loaded));
    return raw;
}

}  // namespace

QImage tinted(QImage image, const QColor& color) {
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

bool hasBundleSymbol(std::string_view bundleName, std::string_view name) {
    return renderer(bundleName, name, "Symbols") != nullptr;
}

QPixmap bundleSymbol(std::string_view bundleName, std::string_view name, int pixelSize,
                     const QColor& color, qreal devicePixelRatio) {
    QSvgRenderer* svg = renderer(bundleName, name, "Symbols");
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
    }
    QPixmap pixmap = QPixmap::fromImage(tinted(std::move(image), color));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

std::optional<QImage> brandLogo(QSize size) {
    QSvgRenderer* svg = renderer("Mivo_AppShell", "mivo-logo", {});
    if (svg == nullptr || size.isEmpty()) {
        return std::nullopt;
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Fitted with its aspect ratio kept, centred.
    QSizeF drawn = svg->defaultSize().isEmpty() ? QSizeF(size) : QSizeF(svg->defaultSize());
    drawn.scale(QSizeF(size), Qt::KeepAspectRatio);
    const QPointF origin((size.width() - drawn.width()) / 2, (size.height() - drawn.height()) / 2);
    svg->render(&painter, QRectF(origin, drawn));
    return image;
}

}  // namespace mivo::ui
