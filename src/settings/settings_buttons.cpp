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

}  // namespace

bool isKeyboardFocusReason(Qt::FocusReason reason) {
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::ShortcutFocusReason;
}

void SettingsButton::focusInEvent(QFocusEvent* event) {
    keyboardFocus_ = isKeyboardFocusReason(event->reason());
    QAbstractButton::focusInEvent(event);
}

void SettingsTabButton::focusInEvent(QFocusEvent* event) {
    keyboardFocus_ = isKeyboardFocusReason(event->reason());
    QAbstractButton::focusInEvent(event);
}

SettingsButton::SettingsButton(const QString& title, Style style, QWidget* parent)
    : QAbstractButton(parent), style_(style) {
    setText(title);
    setFont(Theme::font(14, QFont::DemiBold));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    repaintOnAppearance(this);
}

QSize SettingsButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 2 * Theme::buttonPadding, Theme::buttonHeight};
}

void SettingsButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool pressed = isDown();
    painter.setOpacity(isEnabled() ? 1.0 : 0.5);
    if (pressed) {
        const QPointF centre = QRectF(rect()).center();
        painter.translate(centre);
        painter.scale(0.97, 0.97);
        painter.translate(-centre);
    }
    QColor fill;
    QColor text;
    QColor outline;  // invalid: none
    switch (style_) {
        case Style::primary:
            fill = pressed ? Theme::primaryPressed() : Theme::primary();
            text = Qt::white;
            break;
        case Style::secondary:
            fill = Theme::withOpacity(Theme::primary(), pressed ? 0.14 : 0.08);
            text = Theme::primary();
            outline = Theme::borderDefault();
            break;
        case Style::destructive:
            fill = Theme::withOpacity(Theme::error(), pressed ? 0.14 : 0.08);
            text = Theme::error();
            outline = Theme::withOpacity(Theme::error(), 0.2);
            break;
    }
    const QRectF shape = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setBrush(fill);
    painter.setPen(outline.isValid() ? QPen(outline, 1) : Qt::NoPen);
    painter.drawRoundedRect(shape, Theme::buttonRadius, Theme::buttonRadius);
    painter.setPen(text);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, this->text());
    if (hasFocus() && keyboardFocus_) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Theme::primary(), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), Theme::buttonRadius,
                                Theme::buttonRadius);
    }
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

SettingsLinkButton::SettingsLinkButton(const QString& title, QWidget* parent)
    : QAbstractButton(parent) {
    setText(title);
    setFont(Theme::font(12, QFont::Medium));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    repaintOnAppearance(this);
}

QSize SettingsLinkButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 2, metrics.height()};
}

void SettingsLinkButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isDown() ? 0.7 : 1.0);
    painter.setPen(Theme::primaryPressed());
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

}  // namespace mivo
