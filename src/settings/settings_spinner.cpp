#include "settings/settings_spinner.hpp"

#include <QPainter>

#include "settings/settings_theme.hpp"

namespace mivo {

SettingsSpinner::SettingsSpinner(QWidget* parent) : QWidget(parent) {
    setFixedSize(16, 16);
    animation_.setStartValue(0.0);
    animation_.setEndValue(360.0);
    animation_.setDuration(900);
    animation_.setLoopCount(-1);
    connect(&animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        angle_ = value.toDouble();
        update();
    });
}

void SettingsSpinner::showEvent(QShowEvent* event) {
    animation_.start();
    QWidget::showEvent(event);
}

void SettingsSpinner::hideEvent(QHideEvent* event) {
    animation_.stop();
    QWidget::hideEvent(event);
}

void SettingsSpinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring = QRectF(rect()).adjusted(2, 2, -2, -2);
    painter.setPen(QPen(MivoSettingsTheme::withOpacity(MivoSettingsTheme::textMuted(), 0.25), 2));
    painter.drawEllipse(ring);
    painter.setPen(QPen(MivoSettingsTheme::textSecondary(), 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(ring, static_cast<int>(-angle_ * 16), 100 * 16);
}

}  // namespace mivo
