#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

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

namespace {

ui::ButtonStyle lookOf(ToneTextButton::Style style, double opacity) {
    const bool primaryStyle = style == ToneTextButton::Style::primary;
    const QColor ink = primaryStyle ? QColor(Qt::white) : textSecondary();
    ui::ButtonStyle look;
    look.font = toneFont(12, primaryStyle ? QFont::DemiBold : QFont::Medium);
    look.padding = QSizeF(primaryStyle ? 14 : 12, 7);
    look.fractionalMetrics = true;
    look.pressedScale = 0.97;
    look.opacity = opacity;
    look.normal.ink = ink;
    look.pressed.ink = ink;
    if (primaryStyle) {
        look.cornerRadius = 6;
        look.normal.fill = primaryButton();
        look.pressed.fill = primaryButtonPressed();
    }
    // A 14-pixel spinner in a 16-pixel box.
    look.busySpinner.ink = ink;
    look.busySpinner.side = 16;
    look.busySpinner.inset = 1;
    return look;
}

}  // namespace

ToneTextButton::ToneTextButton(QString title, Style style, QWidget* parent)
    : ui::PaintedButton(
          title, [this] { return lookOf(style_, opacity_); }, parent),
      style_(style) {
    setFocusPolicy(Qt::NoFocus);
}

void ToneTextButton::setDrawOpacity(double opacity) {
    opacity_ = opacity;
    update();
}

// ---- Spinner

ToneSpinner::ToneSpinner(QColor colour, double side, QWidget* parent)
    : ui::Spinner(
          [colour, side] {
              ui::SpinnerStyle spokes;
              spokes.ink = colour;
              spokes.side = side;
              return spokes;
          },
          parent) {
    setObjectName(QStringLiteral("spinner"));
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
