#include "settings/settings_buttons.hpp"

#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QPainter>

#include "settings/settings_symbols.hpp"
#include "settings/settings_theme.hpp"
#include "ui/appearance.hpp"

namespace mivo {

namespace {

using Theme = MivoSettingsTheme;

void repaintOnAppearance(QWidget* widget) {
    QObject::connect(&ui::Appearance::shared(), &ui::Appearance::changed, widget,
                     [widget] { widget->update(); });
}

ui::ButtonStyle filledStyle(SettingsButton::Style style) {
    ui::ButtonStyle look;
    look.font = Theme::font(14, QFont::DemiBold);
    look.cornerRadius = Theme::buttonRadius;
    look.padding = QSizeF(Theme::buttonPadding, 0);
    look.height = Theme::buttonHeight;
    look.pressedScale = 0.97;
    look.disabledOpacity = 0.5;
    look.focusRing = Theme::primary();
    switch (style) {
        case SettingsButton::Style::primary:
            look.normal = {.fill = Theme::primary(), .ink = Qt::white, .outline = {}};
            look.pressed = {.fill = Theme::primaryPressed(), .ink = Qt::white, .outline = {}};
            break;
        case SettingsButton::Style::secondary:
            look.normal = {.fill = Theme::withOpacity(Theme::primary(), 0.08),
                           .ink = Theme::primary(),
                           .outline = Theme::borderDefault()};
            look.pressed = look.normal;
            look.pressed.fill = Theme::withOpacity(Theme::primary(), 0.14);
            break;
        case SettingsButton::Style::destructive:
            look.normal = {.fill = Theme::withOpacity(Theme::error(), 0.08),
                           .ink = Theme::error(),
                           .outline = Theme::withOpacity(Theme::error(), 0.2)};
            look.pressed = look.normal;
            look.pressed.fill = Theme::withOpacity(Theme::error(), 0.14);
            break;
    }
    return look;
}

// No chrome: the text alone, 1 pixel of room on each side.
ui::ButtonStyle linkStyle() {
    ui::ButtonStyle look;
    look.font = Theme::font(12, QFont::Medium);
    look.padding = QSizeF(1, 0);
    look.normal.ink = Theme::primaryPressed();
    look.pressed = look.normal;
    look.pressedOpacity = 0.7;
    return look;
}

}  // namespace

void SettingsTabButton::focusInEvent(QFocusEvent* event) {
    keyboardFocus_ = ui::isKeyboardFocusReason(event->reason());
    QAbstractButton::focusInEvent(event);
}

SettingsTabButton::SettingsTabButton(SettingsCategory category, QWidget* parent)
    : QAbstractButton(parent), category_(category) {
    setText(QString::fromUtf8(title(category).data(), static_cast<int>(title(category).size())));
    setFont(Theme::font(14, QFont::DemiBold));
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(Theme::tabHeight);
    repaintOnAppearance(this);
}

void SettingsTabButton::setSelected(bool selected) {
    if (selected != selected_) {
        selected_ = selected;
        update();
    }
}

QSize SettingsTabButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {12 + 18 + 10 + metrics.horizontalAdvance(text()) + 12, Theme::tabHeight};
}

void SettingsTabButton::enterEvent(QEnterEvent* event) {
    hovering_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SettingsTabButton::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void SettingsTabButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape = rect();
    QColor background = Qt::transparent;
    if (selected_) {
        background = Theme::primarySurface();
    } else if (hovering_) {
        background = Theme::altBackground();
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(shape, 8, 8);

    const QColor foreground = selected_ ? Theme::primaryPressed() : Theme::textSecondary();
    const int symbolSize = 16;  // a 14-pixel glyph's symbol reads at about 16
    const QPixmap symbol =
        settingsSymbol(symbolName(category_), symbolSize, foreground, devicePixelRatioF());
    const int symbolX = 12 + (18 - symbolSize) / 2;
    painter.drawPixmap(symbolX, (height() - symbolSize) / 2, symbol);
    painter.setPen(foreground);
    painter.setFont(font());
    painter.drawText(QRect(12 + 18 + 10, 0, width() - 40 - 12, height()),
                     Qt::AlignVCenter | Qt::AlignLeft, text());

    if (hasFocus() && keyboardFocus_) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Theme::primary(), 2));
        painter.drawRoundedRect(shape.adjusted(1, 1, -1, -1), 7, 7);
    }
}

SettingsButton::SettingsButton(const QString& title, Style style, QWidget* parent)
    : ui::PaintedButton(
          title, [style] { return filledStyle(style); }, parent),
      style_(style) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

SettingsLinkButton::SettingsLinkButton(const QString& title, QWidget* parent)
    : ui::PaintedButton(title, linkStyle, parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

}  // namespace mivo
