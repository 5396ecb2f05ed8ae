#include "ui_artifacts.hpp"

#include <QDir>
#include <QPixmap>

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
