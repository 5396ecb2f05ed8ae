#include "tone_panel/tone_symbols.hpp"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>
#include <memory>

namespace mivo {

namespace {

QString resourcePath(const QString& name) {
    return QStringLiteral(":/tone_symbols/") + name + QStringLiteral(".svg");
}

QSvgRenderer* renderer(const QString& name) {
    static QHash<QString, std::shared_ptr<QSvgRenderer>> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        auto r = std::make_shared<QSvgRenderer>(resourcePath(name));
        it = cache.insert(name, r->isValid() ? r : nullptr);
    }
    return it->get();
}

}  // namespace

double symbolSide(double pixelSize) {
    return std::round(pixelSize * 1.15);
}

void paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, const QColor& colour) {
    QSvgRenderer* svg = renderer(name);
    if (svg == nullptr || rect.isEmpty()) {
        return;
    }
    // Draw the black drawing into its own image, then keep its shape and
    // take the colour: the glyph is tinted whatever the drawing's colours.
    const qreal ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (rect.size() * ratio).toSize();
    QImage image(pixels.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        svg->render(&p, QRectF(QPointF(0, 0), QSizeF(pixels)));
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(image.rect(), colour);
    }
    image.setDevicePixelRatio(ratio);
    painter.drawImage(rect.topLeft(), image);
}

SymbolView::SymbolView(QString name, double pixelSize, QColor colour, QWidget* parent)
    : QWidget(parent), name_(std::move(name)), side_(symbolSide(pixelSize)), colour_(colour) {
    setObjectName(QStringLiteral("symbol.") + name_);
    const int s = static_cast<int>(side_);
    setFixedSize(s, s);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SymbolView::setBox(QSize box) {
    setFixedSize(box);
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF glyph((width() - side_) / 2, (height() - side_) / 2, side_, side_);
    paintSymbol(painter, glyph, name_, colour_);
}

}  // namespace mivo
