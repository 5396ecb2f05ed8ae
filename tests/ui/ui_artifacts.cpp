#include "ui_artifacts.hpp"

#include <QDir>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <map>

namespace mivo::testing {

QImage renderArtifact(QWidget& widget, const std::string& name) {
    widget.ensurePolished();
    if (QLayout* layout = widget.layout()) {
        layout->activate();
    }
    const QImage image = widget.grab().toImage();
    const QString dir = QStringLiteral(MIVO_UI_ARTIFACTS_DIR);
    QDir().mkpath(dir);
    image.save(dir + "/" + QString::fromStdString(name) + ".png");
    return image;
}

QColor pixelAt(const QImage& image, int x, int y) {
    const qreal ratio = image.devicePixelRatio();
    return image.pixelColor(static_cast<int>(x * ratio), static_cast<int>(y * ratio));
}

}  // namespace mivo::testing

namespace mivo::testing {

namespace {

double luminance(const QColor& c) {
    const auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

}  // namespace

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

double drawnContrast(const QImage& image, const QRect& area) {
    std::map<QRgb, int> counts;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[image.pixel(x, y)];
    }
    if (counts.empty())
        return 1;
    const QColor fill(
        std::ranges::max_element(counts, {}, [](const auto& kv) { return kv.second; })->first);
    double best = 1;
    for (const auto& [rgb, count] : counts)
        best = std::max(best, contrast(fill, QColor(rgb)));
    return best;
}

QRect deviceRectIn(const QImage& image, const QWidget& widget, const QWidget& top) {
    const qreal ratio = image.devicePixelRatio();
    const QPoint origin = widget.mapTo(&top, QPoint(0, 0));
    return {QPoint(qRound(origin.x() * ratio), qRound(origin.y() * ratio)),
            QSize(qRound(widget.width() * ratio), qRound(widget.height() * ratio))};
}

}  // namespace mivo::testing
