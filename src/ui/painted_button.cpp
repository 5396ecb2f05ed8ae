#include "ui/painted_button.hpp"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "ui/appearance.hpp"

namespace mivo::ui {

bool isKeyboardFocusReason(Qt::FocusReason reason) {
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::ShortcutFocusReason;
}

PaintedButton::PaintedButton(const QString& text, StyleSource style, QWidget* parent)
    : QAbstractButton(parent), style_(std::move(style)), spin_([this] { update(); }) {
    setText(text);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QObject::connect(&Appearance::shared(), &Appearance::changed, this, [this] { update(); });
}

void PaintedButton::setBusy(bool busy) {
    busy_ = busy;
    if (busy) {
        spin_.start(style_().busySpinner);
    } else {
        spin_.stop();
    }
    updateGeometry();
    update();
}

QSize PaintedButton::sizeHint() const {
    const ButtonStyle style = style_();
    double textWidth = 0;
    double lineHeight = 0;
    if (style.fractionalMetrics) {
        const QFontMetricsF metrics(style.font);
        textWidth = metrics.horizontalAdvance(text());
        lineHeight = metrics.height();
    } else {
        const QFontMetrics metrics(style.font);
        textWidth = metrics.horizontalAdvance(text());
        lineHeight = metrics.height();
    }
    const double side = style.busySpinner.side;
    const double labelWidth = busy_ ? side : textWidth;
    const double labelHeight = busy_ ? std::max(side, lineHeight) : lineHeight;
    const int height = style.height.value_or(
        static_cast<int>(std::ceil(labelHeight + 2 * style.padding.height())));
    return {static_cast<int>(std::ceil(labelWidth + 2 * style.padding.width())), height};
}

void PaintedButton::focusInEvent(QFocusEvent* event) {
    keyboardFocus_ = isKeyboardFocusReason(event->reason());
    QAbstractButton::focusInEvent(event);
}

void PaintedButton::paintEvent(QPaintEvent*) {
    const ButtonStyle style = style_();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A button that cannot be used never looks held.
    const bool pressed = isDown() && isEnabled();
    painter.setOpacity(style.opacity * (isEnabled() ? 1.0 : style.disabledOpacity) *
                       (pressed ? style.pressedOpacity : 1.0));
    const QRectF bounds = rect();
    if (pressed && style.pressedScale != 1) {
        painter.translate(bounds.center());
        painter.scale(style.pressedScale, style.pressedScale);
        painter.translate(-bounds.center());
    }
    const ButtonColors& colors = pressed ? style.pressed : style.normal;
    const double radius = style.cornerRadius;
    if (colors.outline.isValid()) {
        // Half a pixel in, so the 1-pixel line falls on whole pixels.
        painter.setPen(QPen(colors.outline, 1));
        painter.setBrush(colors.fill.isValid() ? QBrush(colors.fill) : QBrush(Qt::NoBrush));
        painter.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    } else if (colors.fill.isValid()) {
        QPainterPath shape;
        shape.addRoundedRect(bounds, radius, radius);
        painter.fillPath(shape, colors.fill);
    }
    if (busy_) {
        const double side = style.busySpinner.side;
        paintSpinner(painter, QRectF((width() - side) / 2, (height() - side) / 2, side, side),
                     style.busySpinner, spin_.step());
    } else {
        painter.setPen(colors.ink);
        painter.setFont(style.font);
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
    if (style.focusRing.isValid() && hasFocus() && keyboardFocus_) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(style.focusRing, 2));
        painter.drawRoundedRect(bounds.adjusted(1, 1, -1, -1), radius, radius);
    }
}

}  // namespace mivo::ui
