#pragma once

// The one indeterminate progress indicator of Mivo's views, in either of two
// shapes: an arc turning over a faint ring, or twelve spokes whose brightness
// runs round. A window keeps its own look by handing its own SpinnerStyle.

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <functional>

class QPainter;

namespace mivo::ui {

struct SpinnerStyle {
    enum class Shape { arc, spokes };

    Shape shape = Shape::spokes;
    QColor ink;        // the arc, or the newest spoke
    QColor track;      // the ring behind the arc; invalid: none
    double side = 16;  // the square the spinner takes
    double inset = 0;  // between that square and what is drawn
    int steps = 12;    // positions in one turn
    int stepMs = 80;   // time on each position
};

// Draws the spinner at position `step` of its turn, inside `square`
// (the spinner's side) less the style's inset.
void paintSpinner(QPainter& painter, const QRectF& square, const SpinnerStyle& style, int step);

// Moves a spinner on by one position every `stepMs`, round through `steps`,
// and calls `onStep` after each move so its owner repaints.
class SpinnerClock {
  public:
    explicit SpinnerClock(std::function<void()> onStep);
    SpinnerClock(const SpinnerClock&) = delete;
    SpinnerClock& operator=(const SpinnerClock&) = delete;

    void start(const SpinnerStyle& style);
    void stop();
    bool isRunning() const { return timer_.isActive(); }
    int step() const { return step_; }
    // One position on; what the timer does at each tick.
    void advance();

  private:
    QTimer timer_;
    int step_ = 0;
    int steps_ = 12;
    std::function<void()> onStep_;
};

// A spinner on its own, `side` square, turning only while it is shown. The
// style is asked for once while the spinner is made (for its size), so it
// must not read members of a subclass, and again at every paint, so a switch
// of light and dark shows at once.
class Spinner : public QWidget {
    Q_OBJECT

  public:
    using StyleSource = std::function<SpinnerStyle()>;

    explicit Spinner(StyleSource style, QWidget* parent = nullptr);
    bool isSpinning() const { return clock_.isRunning(); }
    int step() const { return clock_.step(); }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    StyleSource style_;
    SpinnerClock clock_;
};

}  // namespace mivo::ui
