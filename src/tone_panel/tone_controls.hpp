#pragma once

// The rewrite panel's painted controls. Each paints itself from ToneTheme at
// the moment of drawing; hover flags are set on enter and leave, at once.

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFont>
#include <QTimer>
#include <QWidget>

#include "tone/tone_types.hpp"
#include "ui/painted_button.hpp"
#include "ui/spinner.hpp"

class QPainter;

namespace mivo {

// The system face at a pixel size and weight.
QFont toneFont(double pixelSize, QFont::Weight weight, double tracking = 0);

// Draws `text` on one line in `rect`: shrinks it down to `minScale` of its
// size when it is too wide, then cuts it with an ellipsis. Returns the scale
// used.
double drawFittedText(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                      double minScale, Qt::Alignment alignment);
// The scale drawFittedText would use.
double fittedTextScale(const QString& text, const QFont& font, double width, double minScale);

// A button that tracks the pointer for its looks.
class HoverButton : public QAbstractButton {
  public:
    explicit HoverButton(QWidget* parent = nullptr);
    bool isHovered() const { return hover_; }
    void setHovered(bool hover);

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    bool hover_ = false;
};

// A tiny capsule label.
class PillBadge : public QWidget {
  public:
    PillBadge(QString text, QColor foreground, QColor background, QWidget* parent = nullptr);
    const QString& text() const { return text_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    QColor foreground_;
    QColor background_;
};

// Google's four-colour mark, drawn from path data in a 48-unit box, scaled
// uniformly from the top-left corner.
class GoogleGLogo : public QWidget {
  public:
    explicit GoogleGLogo(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

class GoogleSignInButton : public HoverButton {
  public:
    explicit GoogleSignInButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    GoogleGLogo* logo_;
};

// A large command row: icon well, title, arrow well.
class RewriteCommandButton : public HoverButton {
  public:
    RewriteCommandButton(QString title, QString iconName, bool isDisabled,
                         QWidget* parent = nullptr);
    QSize sizeHint() const override;
    // The scale of the title at the button's current width (1, or down to 0.82).
    double titleScale() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRectF titleRect() const;
    QString iconName_;
};

class RewriteActionTab : public HoverButton {
  public:
    RewriteActionTab(RewriteAction action, bool isActive, QWidget* parent = nullptr);
    RewriteAction action() const { return action_; }
    bool isActive() const { return active_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    RewriteAction action_;
    bool active_;
};

class RegisterChip : public HoverButton {
  public:
    RegisterChip(Register value, bool isActive, QWidget* parent = nullptr);
    Register value() const { return value_; }
    bool isActive() const { return active_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Register value_;
    bool active_;
};

// The loading bar: a band of light sweeping across, 1.4 s a sweep.
class ShimmerLine : public QWidget {
  public:
    explicit ShimmerLine(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QTimer frames_;
    QElapsedTimer clock_;
};

class FeedbackIconButton : public HoverButton {
  public:
    FeedbackIconButton(FeedbackRating rating, bool isSelected, bool isDisabled,
                       QWidget* parent = nullptr);
    bool isSelected() const { return selected_; }
    // The glyph's name and colour as drawn now.
    QString glyphName() const;
    QColor foreground() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    FeedbackRating rating_;
    bool selected_;
};

// The panel's two text buttons: primary (white on blue) and ghost (text only).
// While busy, a spinner in the label's colour stands in for the title.
class ToneTextButton : public ui::PaintedButton {
  public:
    enum class Style { primary, ghost };
    ToneTextButton(QString title, Style style, QWidget* parent = nullptr);
    Style style() const { return style_; }
    // The whole button drawn at this opacity.
    void setDrawOpacity(double opacity);
    double drawOpacity() const { return opacity_; }

  private:
    Style style_;
    double opacity_ = 1;
};

// A small indeterminate progress indicator: twelve spokes in `colour`.
class ToneSpinner : public ui::Spinner {
  public:
    ToneSpinner(QColor colour, double side, QWidget* parent = nullptr);
};

// A horizontal rule in borderSubtle.
class ToneDivider : public QWidget {
  public:
    explicit ToneDivider(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// A rounded box with a fill and an optional 1-point border drawn inside its
// edge; children are laid out inside by the caller.
class RoundedBox : public QWidget {
  public:
    RoundedBox(double radius, QColor fill, std::optional<QColor> border, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double radius_;
    QColor fill_;
    std::optional<QColor> border_;
};

}  // namespace mivo
