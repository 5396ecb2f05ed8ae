#pragma once

// The trigger icon's window: a 22-point "W" mark that never takes the focus
// (the window manager is bypassed, the window refuses focus and is shown
// without activation), grows a little under the pointer and reports clicks.

#include <QVariantAnimation>
#include <QWidget>
#include <functional>
#include <memory>

#include "tone_panel/tone_trigger_icon.hpp"

namespace mivo {

// The mark itself.
class TriggerIconView : public QWidget {
  public:
    TriggerIconView(double size, std::function<void()> onClick, QWidget* parent = nullptr);
    bool isHovered() const { return hover_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void animateHover(bool hover);

    double size_;
    std::function<void()> onClick_;
    bool hover_ = false;
    double progress_ = 0;
    QVariantAnimation animation_;
};

class ToneTriggerIconWindow : public TriggerIconWindow {
  public:
    explicit ToneTriggerIconWindow(std::function<void()> onClick);
    ~ToneTriggerIconWindow() override;

    void setFrameOrigin(Point origin) override;
    double pixelsPerPoint() const override;
    bool isVisible() const override;
    void orderFront() override;
    void orderOut() override;
    double alpha() const override;
    void setAlpha(double alpha) override;

    QWidget* widget() const { return window_.get(); }
    TriggerIconView* view() const { return view_; }

    // The factory ToneTriggerIcon takes.
    static TriggerIconWindowFactory factory();

  private:
    std::unique_ptr<QWidget> window_;
    TriggerIconView* view_;
    double alpha_ = 0;
};

}  // namespace mivo
