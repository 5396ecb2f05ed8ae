#pragma once

// The settings window's buttons: three filled styles (primary, secondary,
// destructive), the sidebar's tab and the plain text link. Their looks are
// computed on every paint from pressed, enabled, hover and focus.

#include <QAbstractButton>

#include "settings/settings_category.hpp"
#include "ui/painted_button.hpp"

namespace mivo {

// "Continue with Google", "Sign Out", "Request Account Deletion", ...: 14
// semibold, 38 high, padded 18, pressed 97 %, disabled at half opacity.
class SettingsButton : public ui::PaintedButton {
    Q_OBJECT

  public:
    enum class Style { primary, secondary, destructive };

    SettingsButton(const QString& title, Style style, QWidget* parent = nullptr);
    Style style() const { return style_; }

  private:
    Style style_;
};

// One category in the sidebar: symbol and title, 42 high, highlighted when
// selected, tinted while hovered, ringed while it has keyboard focus.
class SettingsTabButton : public QAbstractButton {
    Q_OBJECT

  public:
    explicit SettingsTabButton(SettingsCategory category, QWidget* parent = nullptr);
    SettingsCategory category() const { return category_; }
    void setSelected(bool selected);
    bool isSelected() const { return selected_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    SettingsCategory category_;
    bool keyboardFocus_ = false;
    bool selected_ = false;
    bool hovering_ = false;
};

// A borderless text button ("Reset to default"): 12 medium, primaryPressed,
// faded to 70 % while held.
class SettingsLinkButton : public ui::PaintedButton {
    Q_OBJECT

  public:
    explicit SettingsLinkButton(const QString& title, QWidget* parent = nullptr);
};

}  // namespace mivo
