#include "settings/settings_toggle.hpp"

#include <QEasingCurve>
#include <QPainter>
#include <QPainterPath>

#include "settings/settings_theme.hpp"
#include "ui/painted_button.hpp"

#include <QFocusEvent>
#include "ui/appearance.hpp"

namespace mivo {

namespace {

using Theme = MivoSettingsTheme;
constexpr int kRingGap = 3;

QEasingCurve easeOut() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

QColor mix(const QColor& a, const QColor& b, double t) {
    auto lerp = [t](float x, float y) { return static_cast<float>(x + (y - x) * t); };
    return QColor::fromRgbF(lerp(a.redF(), b.redF()), lerp(a.greenF(), b.greenF()),
                            lerp(a.blueF(), b.blueF()), lerp(a.alphaF(), b.alphaF()));
}

}  // namespace

MivoSettingsToggle::MivoSettingsToggle(const QString& label, QWidget* parent)
    : QAbstractButton(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(label);
    setAccessibleDescription(QStringLiteral("Off"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    animation_.setDuration(Theme::toggleAnimationMs);
    animation_.setEasingCurve(easeOut());
    connect(&animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        progress_ = value.toDouble();
        update();
    });
    connect(&ui::Appearance::shared(), &ui::Appearance::changed, this, [this] { update(); });
}

QSize MivoSettingsToggle::sizeHint() const {
    return {Theme::toggleWidth + 2 * kRingGap, Theme::toggleHeight + 2 * kRingGap};
}

QRect MivoSettingsToggle::trackRect() const {
    return {kRingGap, kRingGap, Theme::toggleWidth, Theme::toggleHeight};
}

void MivoSettingsToggle::setOn(bool on) {
    if (on == on_) {
        return;
    }
    on_ = on;
    setChecked(on);
    setAccessibleDescription(on ? QStringLiteral("On") : QStringLiteral("Off"));
    animateTo(on);
}

void MivoSettingsToggle::nextCheckState() {
    setOn(!on_);
    emit toggledByUser(on_);
}

void MivoSettingsToggle::focusInEvent(QFocusEvent* event) {
    keyboardFocus_ = ui::isKeyboardFocusReason(event->reason());
    QAbstractButton::focusInEvent(event);
}

void MivoSettingsToggle::animateTo(bool on) {
    animation_.stop();
    animation_.setStartValue(progress_);
    animation_.setEndValue(on ? 1.0 : 0.0);
    // Hidden widgets do not animate; they simply show the value.
    if (!isVisible()) {
        progress_ = on ? 1.0 : 0.0;
        update();
        return;
    }
    animation_.start();
}

void MivoSettingsToggle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A switch that cannot be flipped reads as such.
    if (!isEnabled())
        painter.setOpacity(0.45);
    const QRectF track = trackRect();
    const qreal radius = track.height() / 2;
    const double t = progress_;

    const QColor fillOff = Theme::withOpacity(Theme::primary(), 0.12);
    const QColor strokeOff = Theme::borderDefault();
    painter.setBrush(mix(fillOff, Theme::primary(), t));
    painter.setPen(QPen(mix(strokeOff, Theme::primary(), t), 1));
    painter.drawRoundedRect(track, radius, radius);

    const qreal knob = track.height() - 2 * Theme::toggleKnobInset;
    const qreal leftX = track.left() + Theme::toggleKnobInset;
    const qreal rightX = track.right() - Theme::toggleKnobInset - knob;
    const QRectF knobRect(leftX + (rightX - leftX) * t, track.top() + Theme::toggleKnobInset, knob,
                          knob);
    // The knob's shadow: black at 8 %, 1 down, softened over 2.
    painter.setPen(Qt::NoPen);
    for (int i = 2; i >= 1; --i) {
        painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.04f));
        painter.drawEllipse(
            knobRect.translated(0, 1).adjusted(-i / 2.0, -i / 2.0, i / 2.0, i / 2.0));
    }
    painter.setBrush(Qt::white);
    painter.drawEllipse(knobRect);

    if (hasFocus() && keyboardFocus_) {
        const QRectF ring = QRectF(rect()).adjusted(1, 1, -1, -1);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Theme::primary(), 2));
        painter.drawRoundedRect(ring, ring.height() / 2, ring.height() / 2);
    }
}

}  // namespace mivo
