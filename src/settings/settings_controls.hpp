#pragma once

// The small kit the settings cards are built from: labels in a theme
// colour, the capsule pill, the card, the divider, the caption-and-value
// pair and the switch row. Each repaints when light and dark change.

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>

#include "settings/settings_theme.hpp"

namespace mivo {

class MivoSettingsToggle;

// A label in one of the palette's colours, following light and dark.
class ThemedLabel : public QLabel {
    Q_OBJECT

  public:
    ThemedLabel(const QString& text, int pixelSize, QFont::Weight weight, SettingsColor color,
                QWidget* parent = nullptr, double tracking = 0.0);
    void setColorRole(SettingsColor color);
    SettingsColor colorRole() const { return color_; }

  private:
    void applyColor();
    SettingsColor color_;
};

// A title on a capsule: 12 semibold, padded 10 by 4.
class SettingsPill : public QWidget {
    Q_OBJECT

  public:
    SettingsPill(const QString& title, SettingsColor background, SettingsColor foreground,
                 QWidget* parent = nullptr);
    void setTitle(const QString& title);
    void setColors(SettingsColor background, SettingsColor foreground);
    QString title() const { return title_; }
    SettingsColor backgroundRole() const { return background_; }
    SettingsColor foregroundRole() const { return foreground_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString title_;
    SettingsColor background_;
    SettingsColor foreground_;
};

// The white (or dark) rounded card with its subtle border; its content is
// a vertical stack padded by 24. The page behind it paints its shadow.
class SettingsCard : public QWidget {
    Q_OBJECT

  public:
    explicit SettingsCard(int spacing, QWidget* parent = nullptr);
    QVBoxLayout* stack() const { return stack_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QVBoxLayout* stack_;
};

// A one-pixel line in `borderSubtle`.
class SettingsDivider : public QWidget {
    Q_OBJECT

  public:
    explicit SettingsDivider(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// A caption over a value the user can select and copy.
class SettingsValue : public QWidget {
    Q_OBJECT

  public:
    SettingsValue(const QString& label, const QString& value, QWidget* parent = nullptr);
    void setValue(const QString& value);
    QLabel* valueLabel() const { return value_; }

  private:
    ThemedLabel* value_;
};

// A title and its detail on the left, the switch at the top right, at
// least 24 apart. The switch writes through `onToggled`.
class SettingsToggleRow : public QWidget {
    Q_OBJECT

  public:
    SettingsToggleRow(const QString& title, const QString& detail, QWidget* parent = nullptr);
    MivoSettingsToggle* toggle() const { return toggle_; }
    // Shows a value that changed elsewhere; the knob slides.
    void setOn(bool on);
    void setDetail(const QString& detail);
    QLabel* detailLabel() const { return detail_; }

    std::function<void(bool)> onToggled;

  private:
    MivoSettingsToggle* toggle_;
    QLabel* detail_;
};

// Paints the soft shadows of a card (the primary blue at 6 %, 18 wide,
// 4 down; black at 4 %, 8 wide, 2 down) behind it, on its parent.
void paintCardShadow(class QPainter& painter, const QRect& cardRect);

}  // namespace mivo
