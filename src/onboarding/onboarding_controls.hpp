#pragma once

// The painted parts the onboarding slides are made of: its two button
// styles, themed texts, symbol discs, the brand logo, the page dots and the
// rounded cards. Each reads OnboardingTheme when it paints, so a switch of
// light and dark shows at once.

#include <QAbstractButton>
#include <QLabel>
#include <QVariantAnimation>
#include <QWidget>
#include <optional>
#include <string>
#include <string_view>

#include "onboarding/onboarding_theme.hpp"
#include "ui/painted_button.hpp"

namespace mivo {

// Our own one-colour SVG symbol `name` (bundle "Mivo_Onboarding",
// Symbols/<name>.svg) drawn `pixelSize` square in `color`; empty when the
// symbol is missing.
QPixmap onboardingSymbol(std::string_view name, int pixelSize, const QColor& color,
                         qreal devicePixelRatio = 1.0);
bool hasOnboardingSymbol(std::string_view name);

// The shell's one-colour logo (black with alpha) at `size`, when its file
// can be read.
std::optional<QImage> onboardingBrandLogo(QSize size);

// A button in one of the two onboarding styles: primary (filled blue, white
// text) or secondary (lightly tinted blue, blue text). 14 semibold, 40 high,
// pressed at 97 % scale, disabled at 40 % opacity; no border, no shadow.
// A third look, waiting, is for a disabled button whose label the user must
// still read (the next step is in another window): a pale fill and the
// secondary text colour, not dimmed, so the label keeps a contrast of at
// least 4.5:1 where white on a dimmed blue has 1.2:1.
class OnboardingButton : public ui::PaintedButton {
    Q_OBJECT

  public:
    enum class Style { primary, secondary, waiting };

    OnboardingButton(const QString& title, Style style, QWidget* parent = nullptr);
    Style style() const { return style_; }
    void setStyle(Style style);

  private:
    Style style_;
};

// A text in one of the theme's colours, re-coloured when the appearance
// changes.
class OnboardingLabel : public QLabel {
    Q_OBJECT

  public:
    OnboardingLabel(const QString& text, OnboardingColor color, const QFont& font,
                    QWidget* parent = nullptr);
    void setColorRole(OnboardingColor color);
    OnboardingColor colorRole() const { return color_; }

  private:
    void applyColor();

    OnboardingColor color_;
};

// A filled circle with a symbol or a short text centred on it.
class DiscView : public QWidget {
    Q_OBJECT

  public:
    struct Look {
        int diameter;
        OnboardingColor fill;
        OnboardingColor ink;
        int glyphSize;  // symbol side or text pixel size
        QFont::Weight weight;
    };

    DiscView(std::string symbol, QString text, Look look, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {look_.diameter, look_.diameter}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::string symbol_;
    QString text_;
    Look look_;
};

// A symbol alone, `pixelSize` square, in a theme colour.
class OnboardingSymbolView : public QWidget {
    Q_OBJECT

  public:
    OnboardingSymbolView(std::string symbol, int pixelSize, OnboardingColor ink,
                         QWidget* parent = nullptr);
    QSize sizeHint() const override { return {pixelSize_, pixelSize_}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::string symbol_;
    int pixelSize_;
    OnboardingColor ink_;
};

// The application's logo in `logoInk`, fitted into a square; the I-beam
// symbol at half the size when the logo cannot be read.
class BrandLogo : public QWidget {
    Q_OBJECT

  public:
    explicit BrandLogo(int size, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {size_, size_}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int size_;
    std::optional<QImage> logo_;
};

// One dot per slide; the current one 9 across in `primary`, the others 7
// across at 22 %. A change of the current dot animates over 0.2 s.
class PageDots : public QWidget {
    Q_OBJECT

  public:
    PageDots(int count, int index, QWidget* parent = nullptr);
    void setIndex(int index);
    int index() const { return index_; }
    int count() const { return count_; }
    // Where dot `i` is now, 0 (plain) to 1 (current); follows the animation.
    double emphasis(int i) const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int count_;
    int index_;
    int previous_;
    QVariantAnimation* animation_;
};

// A rounded card: `surface` behind, a 1-pixel `borderSubtle` edge.
class RoundedCard : public QWidget {
    Q_OBJECT

  public:
    explicit RoundedCard(int radius, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int radius_;
};

// The ease-in-out curve of every onboarding animation.
QEasingCurve onboardingEaseInOut();

}  // namespace mivo
