#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "tone_panel/tone_controls.hpp"
#include "tone_panel/tone_panel_texts.hpp"
#include "tone_panel/tone_symbols.hpp"
#include "tone_panel/tone_theme.hpp"

namespace mivo {

using namespace ToneTheme;

namespace {

constexpr int frameMs = 33;

}  // namespace

// ---- ShimmerLine

ShimmerLine::ShimmerLine(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("shimmer"));
    setFixedHeight(10);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    frames_.setInterval(frameMs);
    QObject::connect(&frames_, &QTimer::timeout, this, [this] { update(); });
}

void ShimmerLine::showEvent(QShowEvent*) {
    clock_.start();
    frames_.start();
}

void ShimmerLine::hideEvent(QHideEvent*) {
    frames_.stop();
}

void ShimmerLine::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(rect(), 4, 4);
    p.setClipPath(clip);
    p.fillRect(rect(), shimmerBase());
    const double w = width();
    const double phase = shimmerPhase(clock_.isValid() ? clock_.elapsed() / 1000.0 : 0);
    // The band is centred on the bar and moved by phase x width.
    const double bandWidth = 0.55 * w;
    const double left = (w - bandWidth) / 2 + phase * w;
    QLinearGradient gradient(left, 0, left + bandWidth, 0);
    gradient.setColorAt(0, Qt::transparent);
    gradient.setColorAt(0.5, shimmerHighlight());
    gradient.setColorAt(1, Qt::transparent);
    p.fillRect(QRectF(left, 0, bandWidth, height()), gradient);
}

// ---- FeedbackIconButton

FeedbackIconButton::FeedbackIconButton(FeedbackRating rating, bool isSelected, bool isDisabled,
                                       QWidget* parent)
    : HoverButton(parent), rating_(rating), selected_(isSelected) {
    setObjectName(rating == FeedbackRating::thumbsUp ? QStringLiteral("thumbsUp")
                                                     : QStringLiteral("thumbsDown"));
    setToolTip(rating == FeedbackRating::thumbsUp ? QObject::tr("Good rewrite")
                                                  : QObject::tr("Poor rewrite"));
    setEnabled(!isDisabled);
    setFixedSize(24, 24);
}

QString FeedbackIconButton::glyphName() const {
    const QString base = rating_ == FeedbackRating::thumbsUp ? QStringLiteral("hand.thumbsup")
                                                             : QStringLiteral("hand.thumbsdown");
    return selected_ ? base + QStringLiteral(".fill") : base;
}

QColor FeedbackIconButton::foreground() const {
    if (selected_) {
        return primary();
    }
    if (!isEnabled()) {
        return withOpacity(textMuted(), 0.65);
    }
    return isHovered() ? primary() : textSecondary();
}

void FeedbackIconButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = Qt::transparent;
    if (selected_) {
        fill = primarySurface();
    } else if (isHovered() && isEnabled()) {
        fill = withOpacity(primary(), 0.08);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(rect(), 6, 6);
    const double side = symbolSide(13);
    paintSymbol(p, QRectF((width() - side) / 2, (height() - side) / 2, side, side), glyphName(),
                foreground());
}

// ---- ToneTextButton

ToneTextButton::ToneTextButton(QString title, Style style, QWidget* parent)
    : QAbstractButton(parent), style_(style) {
    setText(title);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    spin_.setInterval(80);
    QObject::connect(&spin_, &QTimer::timeout, this, [this] {
        spinStep_ = (spinStep_ + 1) % 12;
        update();
    });
}

void ToneTextButton::setBusy(bool busy) {
    busy_ = busy;
    if (busy) {
        spin_.start();
    } else {
        spin_.stop();
    }
    updateGeometry();
    update();
}

void ToneTextButton::setDrawOpacity(double opacity) {
    opacity_ = opacity;
    update();
}

QSize ToneTextButton::sizeHint() const {
    const bool primaryStyle = style_ == Style::primary;
    const QFont font = toneFont(12, primaryStyle ? QFont::DemiBold : QFont::Medium);
    const QFontMetricsF m(font);
    const double horizontal = primaryStyle ? 14 : 12;
    const double labelWidth = busy_ ? 16 : m.horizontalAdvance(text());
    const double labelHeight = busy_ ? std::max(16.0, m.height()) : m.height();
    return QSize(static_cast<int>(std::ceil(labelWidth + 2 * horizontal)),
                 static_cast<int>(std::ceil(labelHeight + 14)));
}

void ToneTextButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(opacity_);
    const bool pressed = isDown();
    if (pressed) {
        p.translate(width() / 2.0, height() / 2.0);
        p.scale(0.97, 0.97);
        p.translate(-width() / 2.0, -height() / 2.0);
    }
    const bool primaryStyle = style_ == Style::primary;
    if (primaryStyle) {
        p.setPen(Qt::NoPen);
        p.setBrush(pressed ? primaryButtonPressed() : primaryButton());
        p.drawRoundedRect(rect(), 6, 6);
    }
    if (busy_) {
        const double side = 14;
        paintSpinner(p, QRectF((width() - side) / 2, (height() - side) / 2, side, side),
                     primaryStyle ? QColor(Qt::white) : textSecondary(), spinStep_);
        return;
    }
    p.setPen(primaryStyle ? QColor(Qt::white) : textSecondary());
    p.setFont(toneFont(12, primaryStyle ? QFont::DemiBold : QFont::Medium));
    p.drawText(rect(), Qt::AlignCenter, text());
}

// ---- Spinner

void paintSpinner(QPainter& painter, const QRectF& rect, const QColor& colour, int step) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.center());
    const double radius = std::min(rect.width(), rect.height()) / 2;
    for (int i = 0; i < 12; ++i) {
        const int age = (step - i + 12) % 12;
        painter.setPen(QPen(withOpacity(colour, 1.0 - age * 0.07), std::max(1.5, radius / 4),
                            Qt::SolidLine, Qt::RoundCap));
        const double angle = i * M_PI / 6;
        painter.drawLine(QPointF(std::sin(angle) * radius * 0.45, -std::cos(angle) * radius * 0.45),
                         QPointF(std::sin(angle) * radius * 0.9, -std::cos(angle) * radius * 0.9));
    }
    painter.restore();
}

ToneSpinner::ToneSpinner(QColor colour, double side, QWidget* parent)
    : QWidget(parent), colour_(colour) {
    setObjectName(QStringLiteral("spinner"));
    const int s = static_cast<int>(std::ceil(side));
    setFixedSize(s, s);
    frames_.setInterval(80);
    QObject::connect(&frames_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % 12;
        update();
    });
}

void ToneSpinner::showEvent(QShowEvent*) {
    frames_.start();
}

void ToneSpinner::hideEvent(QHideEvent*) {
    frames_.stop();
}

void ToneSpinner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintSpinner(p, rect(), colour_, step_);
}

// ---- Divider and rounded box

ToneDivider::ToneDivider(QWidget* parent) : QWidget(parent) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ToneDivider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), borderSubtle());
}

RoundedBox::RoundedBox(double radius, QColor fill, std::optional<QColor> border, QWidget* parent)
    : QWidget(parent), radius_(radius), fill_(fill), border_(border) {}

void RoundedBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill_);
    p.drawRoundedRect(rect(), radius_, radius_);
    if (border_) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(*border_, 1));
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius_ - 0.5,
                          radius_ - 0.5);
    }
}

}  // namespace mivo
