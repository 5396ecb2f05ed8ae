#include "settings/settings_controls.hpp"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include "settings/settings_toggle.hpp"
#include "ui/appearance.hpp"

namespace mivo {

namespace {

using Theme = MivoSettingsTheme;

// Repaints `widget` whenever light and dark change.
void repaintOnAppearance(QWidget* widget) {
    QObject::connect(&ui::Appearance::shared(), &ui::Appearance::changed, widget,
                     [widget] { widget->update(); });
}

QFont pillFont() {
    return Theme::font(12, QFont::DemiBold, 0.2);
}

// A blur approximated by rings of falling alpha around the shape.
void paintBlurredRect(QPainter& painter, const QRectF& rect, qreal radius, QColor color, int blur) {
    const int steps = std::max(1, blur / 2);
    const double alpha = color.alphaF();
    painter.setPen(Qt::NoPen);
    for (int i = steps; i >= 1; --i) {
        const qreal grow = blur * static_cast<qreal>(i) / steps;
        QColor ring = color;
        ring.setAlphaF(static_cast<float>(alpha * 2.0 / (steps + 1) * (steps - i + 1) / steps));
        painter.setBrush(ring);
        painter.drawRoundedRect(rect.adjusted(-grow / 2, -grow / 2, grow / 2, grow / 2),
                                radius + grow / 2, radius + grow / 2);
    }
}

}  // namespace

ThemedLabel::ThemedLabel(const QString& text, int pixelSize, QFont::Weight weight,
                         SettingsColor color, QWidget* parent, double tracking)
    : QLabel(text, parent), color_(color) {
    setFont(Theme::font(pixelSize, weight, tracking));
    setTextFormat(Qt::PlainText);
    applyColor();
    connect(&ui::Appearance::shared(), &ui::Appearance::changed, this, [this] { applyColor(); });
}

void ThemedLabel::setColorRole(SettingsColor color) {
    color_ = color;
    applyColor();
}

void ThemedLabel::applyColor() {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Theme::color(color_));
    p.setColor(QPalette::Text, Theme::color(color_));
    p.setColor(QPalette::Highlight, Theme::withOpacity(Theme::primary(), 0.35));
    p.setColor(QPalette::HighlightedText, Theme::color(color_));
    setPalette(p);
}

SettingsPill::SettingsPill(const QString& title, SettingsColor background, SettingsColor foreground,
                           QWidget* parent)
    : QWidget(parent), title_(title), background_(background), foreground_(foreground) {
    setFont(pillFont());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    repaintOnAppearance(this);
}

void SettingsPill::setTitle(const QString& title) {
    if (title == title_) {
        return;
    }
    title_ = title;
    updateGeometry();
    update();
}

void SettingsPill::setColors(SettingsColor background, SettingsColor foreground) {
    background_ = background;
    foreground_ = foreground;
    update();
}

QSize SettingsPill::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(title_) + 20, metrics.height() + 8};
}

void SettingsPill::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::color(background_));
    painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    painter.setPen(Theme::color(foreground_));
    painter.setFont(font());
    painter.drawText(r, Qt::AlignCenter, title_);
}

SettingsCard::SettingsCard(int spacing, QWidget* parent) : QWidget(parent) {
    stack_ = new QVBoxLayout(this);
    stack_->setContentsMargins(Theme::cardPadding, Theme::cardPadding, Theme::cardPadding,
                               Theme::cardPadding);
    stack_->setSpacing(spacing);
    repaintOnAppearance(this);
}

void SettingsCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setBrush(Theme::surface());
    painter.setPen(QPen(Theme::borderSubtle(), 1));
    painter.drawRoundedRect(r, Theme::cardRadius, Theme::cardRadius);
}

void paintCardShadow(QPainter& painter, const QRect& cardRect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintBlurredRect(painter, QRectF(cardRect).translated(0, 4), Theme::cardRadius,
                     Theme::withOpacity(Theme::primary(), 0.06), 18);
    paintBlurredRect(painter, QRectF(cardRect).translated(0, 2), Theme::cardRadius,
                     QColor::fromRgbF(0, 0, 0, 0.04f), 8);
    painter.restore();
}

SettingsDivider::SettingsDivider(QWidget* parent) : QWidget(parent) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    repaintOnAppearance(this);
}

void SettingsDivider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::borderSubtle());
}

SettingsValue::SettingsValue(const QString& label, const QString& value, QWidget* parent)
    : QWidget(parent) {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(6);
    auto* caption =
        new ThemedLabel(label, 11, QFont::DemiBold, SettingsColor::textMuted, this, 0.2);
    value_ = new ThemedLabel(value, 14, QFont::Medium, SettingsColor::textPrimary, this);
    value_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    value_->setCursor(Qt::IBeamCursor);
    stack->addWidget(caption);
    stack->addWidget(value_);
}

void SettingsValue::setValue(const QString& value) {
    value_->setText(value);
}

SettingsToggleRow::SettingsToggleRow(const QString& title, const QString& detail, QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    // At least 24 between the text and the switch, which stays at the top
    // right however far the detail wraps.
    row->setSpacing(0);
    auto* texts = new QVBoxLayout();
    texts->setSpacing(6);
    auto* titleLabel =
        new ThemedLabel(title, 15, QFont::DemiBold, SettingsColor::textPrimary, this);
    detail_ = new ThemedLabel(detail, 13, QFont::Normal, SettingsColor::textSecondary, this);
    detail_->setWordWrap(true);
    texts->addWidget(titleLabel);
    texts->addWidget(detail_);
    texts->addStretch(1);
    row->addLayout(texts, 1);
    row->addSpacing(24);
    toggle_ = new MivoSettingsToggle(title, this);
    row->addWidget(toggle_, 0, Qt::AlignTop);
    connect(toggle_, &MivoSettingsToggle::toggledByUser, this, [this](bool on) {
        if (onToggled) {
            onToggled(on);
        }
    });
}

void SettingsToggleRow::setOn(bool on) {
    toggle_->setOn(on);
}

void SettingsToggleRow::setDetail(const QString& detail) {
    detail_->setText(detail);
}

}  // namespace mivo
