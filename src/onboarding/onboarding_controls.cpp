#include "onboarding/onboarding_controls.hpp"

#include <QPainter>
#include <QPainterPath>

#include "ui/bundle_symbols.hpp"

namespace mivo {

namespace {

QPixmap symbolOrEmpty(const std::string& name, int pixelSize, OnboardingColor ink,
                      const QWidget& widget) {
    return onboardingSymbol(name, pixelSize, OnboardingTheme::color(ink),
                            widget.devicePixelRatioF());
}

ui::ButtonStyle lookOf(OnboardingButton::Style style) {
    using Theme = OnboardingTheme;
    const bool primary = style == OnboardingButton::Style::primary;
    ui::ButtonStyle look;
    look.font = Theme::font(14, QFont::DemiBold);
    look.cornerRadius = Theme::buttonRadius;
    look.padding = QSizeF(primary ? Theme::primaryButtonPadding : Theme::secondaryButtonPadding, 0);
    look.height = Theme::buttonHeight;
    look.pressedScale = Theme::pressedScale;
    look.disabledOpacity = Theme::disabledOpacity;
    if (style == OnboardingButton::Style::waiting) {
        look.padding = QSizeF(Theme::secondaryButtonPadding, 0);
        look.disabledOpacity = 1;
        look.normal = {
            .fill = Theme::primarySurface(), .ink = Theme::textSecondary(), .outline = {}};
        look.pressed = look.normal;
    } else if (primary) {
        look.normal = {.fill = Theme::primary(), .ink = Qt::white, .outline = {}};
        look.pressed = {.fill = Theme::primaryPressed(), .ink = Qt::white, .outline = {}};
    } else {
        look.normal = {.fill = Theme::withOpacity(Theme::primary(), 0.08),
                       .ink = Theme::primaryText(),
                       .outline = {}};
        look.pressed = look.normal;
        look.pressed.fill = Theme::withOpacity(Theme::primary(), 0.14);
    }
    return look;
}

}  // namespace

QEasingCurve onboardingEaseInOut() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return curve;
}

bool hasOnboardingSymbol(std::string_view name) {
    return ui::hasBundleSymbol("Mivo_Onboarding", name);
}

QPixmap onboardingSymbol(std::string_view name, int pixelSize, const QColor& color,
                         qreal devicePixelRatio) {
    return ui::bundleSymbol("Mivo_Onboarding", name, pixelSize, color, devicePixelRatio);
}

std::optional<QImage> onboardingBrandLogo(QSize size) {
    return ui::brandLogo(size);
}

// MARK: - OnboardingButton

OnboardingButton::OnboardingButton(const QString& title, Style style, QWidget* parent)
    : ui::PaintedButton(
          title, [this] { return lookOf(style_); }, parent),
      style_(style) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void OnboardingButton::setStyle(Style style) {
    if (style == style_) {
        return;
    }
    style_ = style;
    updateGeometry();
    update();
}

// MARK: - OnboardingLabel

OnboardingLabel::OnboardingLabel(const QString& text, OnboardingColor color, const QFont& font,
                                 QWidget* parent)
    : QLabel(text, parent), color_(color) {
    setFont(font);
    setTextFormat(Qt::PlainText);
    applyColor();
    connect(&ui::Appearance::shared(), &ui::Appearance::changed, this, [this] { applyColor(); });
}

void OnboardingLabel::setColorRole(OnboardingColor color) {
    color_ = color;
    applyColor();
}

void OnboardingLabel::applyColor() {
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, OnboardingTheme::color(color_));
    setPalette(palette);
}

// MARK: - DiscView

DiscView::DiscView(std::string symbol, QString text, Look look, QWidget* parent)
    : QWidget(parent), symbol_(std::move(symbol)), text_(std::move(text)), look_(look) {
    setFixedSize(look_.diameter, look_.diameter);
}

void DiscView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(OnboardingTheme::color(look_.fill));
    painter.drawEllipse(QRectF(rect()));
    if (!symbol_.empty()) {
        const QPixmap glyph = symbolOrEmpty(symbol_, look_.glyphSize, look_.ink, *this);
        const QPointF at((width() - look_.glyphSize) / 2.0, (height() - look_.glyphSize) / 2.0);
        painter.drawPixmap(at, glyph);
        return;
    }
    painter.setPen(OnboardingTheme::color(look_.ink));
    painter.setFont(OnboardingTheme::font(look_.glyphSize, look_.weight));
    painter.drawText(rect(), Qt::AlignCenter, text_);
}

// MARK: - OnboardingSymbolView

OnboardingSymbolView::OnboardingSymbolView(std::string symbol, int pixelSize, OnboardingColor ink,
                                           QWidget* parent)
    : QWidget(parent), symbol_(std::move(symbol)), pixelSize_(pixelSize), ink_(ink) {
    setFixedSize(pixelSize_, pixelSize_);
}

void OnboardingSymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, symbolOrEmpty(symbol_, pixelSize_, ink_, *this));
}

// MARK: - BrandLogo

BrandLogo::BrandLogo(int size, QWidget* parent)
    : QWidget(parent), size_(size), logo_(onboardingBrandLogo(QSize(size * 2, size * 2))) {
    setFixedSize(size_, size_);
}

void BrandLogo::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (logo_) {
        painter.drawImage(QRectF(rect()), ui::tinted(*logo_, OnboardingTheme::logoInk()));
        return;
    }
    const int glyph = size_ / 2;
    painter.drawPixmap((size_ - glyph) / 2, (size_ - glyph) / 2,
                       onboardingSymbol("character.cursor.ibeam", glyph, OnboardingTheme::logoInk(),
                                        devicePixelRatioF()));
}

// MARK: - PageDots

namespace {

constexpr int dotSpacing = 8;
constexpr double currentDot = 9.0;
constexpr double plainDot = 7.0;
constexpr double plainOpacity = 0.22;

}  // namespace

PageDots::PageDots(int count, int index, QWidget* parent)
    : QWidget(parent),
      count_(std::max(count, 0)),
      index_(index),
      previous_(index),
      animation_(new QVariantAnimation(this)) {
    animation_->setObjectName(QStringLiteral("pageDotsAnimation"));
    animation_->setDuration(OnboardingTheme::pageDotsAnimationMs);
    animation_->setEasingCurve(onboardingEaseInOut());
    animation_->setStartValue(0.0);
    animation_->setEndValue(1.0);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    setFixedSize(sizeHint());
}

QSize PageDots::sizeHint() const {
    if (count_ == 0) {
        return {0, static_cast<int>(currentDot)};
    }
    const double width = (count_ - 1) * (plainDot + dotSpacing) + currentDot;
    return {static_cast<int>(std::ceil(width)), static_cast<int>(currentDot)};
}

void PageDots::setIndex(int index) {
    if (index == index_) {
        return;
    }
    previous_ = index_;
    index_ = index;
    animation_->stop();
    animation_->start();
    update();
}

double PageDots::emphasis(int i) const {
    const double progress = animation_->state() == QAbstractAnimation::Running
                                ? animation_->currentValue().toDouble()
                                : 1.0;
    if (i == index_) {
        return i == previous_ ? 1.0 : progress;
    }
    if (i == previous_) {
        return 1.0 - progress;
    }
    return 0.0;
}

void PageDots::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // Laid out as the stack lays them out now: each dot takes its current
    // size, 8 apart, centred as a group.
    std::vector<double> sizes;
    double total = 0;
    for (int i = 0; i < count_; ++i) {
        const double e = emphasis(i);
        sizes.push_back(plainDot + (currentDot - plainDot) * e);
        total += sizes.back();
    }
    total += dotSpacing * std::max(count_ - 1, 0);
    double x = (width() - total) / 2.0;
    const double midY = height() / 2.0;
    for (int i = 0; i < count_; ++i) {
        const double e = emphasis(i);
        painter.setBrush(OnboardingTheme::withOpacity(OnboardingTheme::primary(),
                                                      plainOpacity + (1.0 - plainOpacity) * e));
        painter.drawEllipse(QRectF(x, midY - sizes[i] / 2, sizes[i], sizes[i]));
        x += sizes[i] + dotSpacing;
    }
}

// MARK: - RoundedCard

RoundedCard::RoundedCard(int radius, QWidget* parent) : QWidget(parent), radius_(radius) {}

void RoundedCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), radius_, radius_);
    painter.fillPath(shape, OnboardingTheme::surface());
    // A 1-pixel edge inside the shape.
    painter.setPen(QPen(OnboardingTheme::borderSubtle(), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius_ - 0.5,
                            radius_ - 0.5);
}

}  // namespace mivo
