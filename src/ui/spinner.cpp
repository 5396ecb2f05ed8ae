#include "ui/spinner.hpp"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "ui/appearance.hpp"

namespace mivo::ui {

namespace {

constexpr double arcWidth = 2;
constexpr int arcSpanDegrees = 100;
constexpr int spokeCount = 12;
// Each spoke behind the newest is this much fainter.
constexpr double spokeFade = 0.07;

void paintArc(QPainter& painter, const QRectF& ring, const SpinnerStyle& style, int step) {
    if (style.track.isValid()) {
        painter.setPen(QPen(style.track, arcWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(ring);
    }
    const double angle = 360.0 * step / std::max(style.steps, 1);
    painter.setPen(QPen(style.ink, arcWidth, Qt::SolidLine, Qt::RoundCap));
    // Qt counts sixteenths of a degree, counter-clockwise: minus turns it
    // clockwise.
    painter.drawArc(ring, static_cast<int>(-angle * 16), arcSpanDegrees * 16);
}

void paintSpokes(QPainter& painter, const QRectF& box, const SpinnerStyle& style, int step) {
    painter.translate(box.center());
    const double radius = std::min(box.width(), box.height()) / 2;
    // The spokes keep their own twelve places whatever the style's steps.
    const int newest = step % spokeCount;
    for (int i = 0; i < spokeCount; ++i) {
        const int age = (newest - i + spokeCount) % spokeCount;
        QColor colour = style.ink;
        colour.setAlphaF(static_cast<float>(colour.alphaF() * (1.0 - age * spokeFade)));
        painter.setPen(QPen(colour, std::max(1.5, radius / 4), Qt::SolidLine, Qt::RoundCap));
        const double angle = i * std::numbers::pi / 6;
        const QPointF along(std::sin(angle) * radius, -std::cos(angle) * radius);
        painter.drawLine(along * 0.45, along * 0.9);
    }
}

}  // namespace

void paintSpinner(QPainter& painter, const QRectF& square, const SpinnerStyle& style, int step) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = square.adjusted(style.inset, style.inset, -style.inset, -style.inset);
    if (style.shape == SpinnerStyle::Shape::arc) {
        paintArc(painter, box, style, step);
    } else {
        paintSpokes(painter, box, style, step);
    }
    painter.restore();
}

SpinnerClock::SpinnerClock(std::function<void()> onStep) : onStep_(std::move(onStep)) {
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { advance(); });
}

void SpinnerClock::start(const SpinnerStyle& style) {
    steps_ = std::max(style.steps, 1);
    step_ %= steps_;
    timer_.setInterval(std::max(style.stepMs, 1));
    timer_.start();
}

void SpinnerClock::stop() {
    timer_.stop();
}

void SpinnerClock::advance() {
    step_ = (step_ + 1) % steps_;
    if (onStep_) {
        onStep_();
    }
}

Spinner::Spinner(StyleSource style, QWidget* parent)
    : QWidget(parent), style_(std::move(style)), clock_([this] { update(); }) {
    setFixedSize(sizeHint());
    QObject::connect(&Appearance::shared(), &Appearance::changed, this, [this] { update(); });
}

QSize Spinner::sizeHint() const {
    const int side = static_cast<int>(std::ceil(style_().side));
    return {side, side};
}

void Spinner::showEvent(QShowEvent* event) {
    clock_.start(style_());
    QWidget::showEvent(event);
}

void Spinner::hideEvent(QHideEvent* event) {
    clock_.stop();
    QWidget::hideEvent(event);
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintSpinner(painter, rect(), style_(), clock_.step());
}

}  // namespace mivo::ui
