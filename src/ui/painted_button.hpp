#pragma once

// The one text button of Mivo's views: a rounded fill with an optional
// outline, the label (or a spinner while busy), and the looks of held,
// disabled and keyboard focus. A window keeps its own look by handing its own
// ButtonStyle; the style is asked for at every paint and size hint, so a
// switch of light and dark, or of the window's own style, shows at once.

#include <QAbstractButton>
#include <QFont>
#include <functional>
#include <optional>

#include "ui/spinner.hpp"

namespace mivo::ui {

// Whether a focus change came from the keyboard (Tab, Shift+Tab, a
// mnemonic); only then does a control draw its focus ring.
bool isKeyboardFocusReason(Qt::FocusReason reason);

// The colours of one state; an invalid colour draws nothing.
struct ButtonColors {
    QColor fill;
    QColor ink;
    QColor outline;  // 1 pixel, inside the edge
};

struct ButtonStyle {
    ButtonColors normal;
    ButtonColors pressed;
    QFont font;
    double cornerRadius = 0;
    // Around the label: left and right, top and bottom.
    QSizeF padding;
    // A height of its own; otherwise the label's line and the padding.
    std::optional<int> height;
    // The label measured to fractions of a pixel and the size rounded up,
    // rather than measured in whole pixels.
    bool fractionalMetrics = false;
    double pressedScale = 1;  // about the centre, while held
    double pressedOpacity = 1;
    double disabledOpacity = 1;
    double opacity = 1;  // of the whole button
    QColor focusRing;    // 2 pixels; invalid: none
    // Drawn instead of the label while busy; the label's box is its side.
    SpinnerStyle busySpinner;
};

class PaintedButton : public QAbstractButton {
    Q_OBJECT

  public:
    using StyleSource = std::function<ButtonStyle()>;

    // `style` is first asked for when the button is sized or painted, so it
    // may read members of a subclass.
    PaintedButton(const QString& text, StyleSource style, QWidget* parent = nullptr);

    // A spinner instead of the label, turning until busy ends.
    void setBusy(bool busy);
    bool isBusy() const { return busy_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    StyleSource style_;
    bool keyboardFocus_ = false;
    bool busy_ = false;
    SpinnerClock spin_;
};

}  // namespace mivo::ui
