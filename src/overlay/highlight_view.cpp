#include "overlay/highlight_view.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include "overlay/overlay_palette.hpp"
#include "overlay/qt_style.hpp"

namespace mivo {
namespace {

constexpr double kCornerRadius = 3;

int barHeight(bool hovered) {
    return hovered ? 3 : 2;
}

}  // namespace

HighlightView::HighlightView(CorrectionIssue::Severity severity, bool translucent)
    : severity_(severity), translucent_(translucent) {
    setObjectName("highlight");
    setAttribute(Qt::WA_TranslucentBackground, translucent_);
    setAttribute(Qt::WA_NoSystemBackground, translucent_);
    setCursor(Qt::PointingHandCursor);
}

void HighlightView::setHovered(bool hovered) {
    if (hovered_ == hovered)
        return;
    hovered_ = hovered;
    updateMask();
    update();
}

void HighlightView::pointerCrossed(bool inside) {
    setHovered(inside);
    // A copy: the owner may remove this highlight from inside the call.
    if (auto handler = onHoverChanged)
        handler(inside);
}

void HighlightView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    pointerCrossed(true);
}

void HighlightView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    pointerCrossed(false);
}

void HighlightView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateMask();
}

void HighlightView::updateMask() {
    if (translucent_)
        return;
    // The outline ring and the bar: what can be drawn without blending.
    const QRect bounds = rect();
    QRegion region(bounds);
    region -= QRegion(bounds.adjusted(1, 1, -1, -1));
    region +=
        QRegion(0, bounds.height() - barHeight(hovered_), bounds.width(), barHeight(hovered_));
    setMask(region);
}

void HighlightView::paintEvent(QPaintEvent*) {
    const Rgb base = overlay_palette::severityColor(severity_);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    if (translucent_) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(bounds, Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        QPainterPath tint;
        tint.addRoundedRect(bounds, kCornerRadius, kCornerRadius);
        painter.fillPath(tint, overlay_qt::toColor(base, hovered_ ? 0.3 : 0.18));
        if (hovered_) {
            painter.setPen(QPen(overlay_qt::toColor(base, 0.7), 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius,
                                    kCornerRadius);
        }
    } else {
        // Only the mask's ring and bar show: paint them as the outline
        // would look over a white page.
        painter.fillRect(bounds, overlay_qt::overWhite(base, 0.7));
    }
    const double bar = barHeight(hovered_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRectF(0, bounds.height() - bar, bounds.width(), bar),
                     overlay_qt::toColor(base));
}

}  // namespace mivo
