#pragma once

// The floating correction panel on a Qt desktop: a frameless tool window
// that stays on top and takes clicks without becoming the active window
// (X11: WM_HINTS input false and no WM_TAKE_FOCUS, mapped without
// activation; the window manager still manages it, so it can be moved and
// stacked). The user drags it by
// its background. Made on first use, then only shown and hidden; its content
// view is replaced at every show.

#include <QPointer>
#include <functional>
#include <memory>

#include "overlay/correction_panel_window.hpp"

class QWidget;

namespace mivo {

class CorrectionPanelView;
class FreePanel;

class QtCorrectionPanelWindow : public CorrectionPanelWindow {
  public:
    QtCorrectionPanelWindow();
    ~QtCorrectionPanelWindow() override;

    Size setContent(std::shared_ptr<CorrectionPanelModel> model, double width) override;
    void setFrame(const Rect& frame) override;
    std::optional<Rect> frame() const override;
    void orderFront() override;
    void orderOut() override;
    void setOnResize(std::function<void(const Rect&)> handler) override;

    // The window and its current view, for tests; null before the first show.
    QWidget* window() const;
    CorrectionPanelView* view() const { return view_; }

  private:
    void contentHeightChanged(int height);

    std::unique_ptr<FreePanel> panel_;
    QPointer<CorrectionPanelView> view_;
    std::function<void(const Rect&)> onResize_;
    int contentHeight_ = 0;
};

}  // namespace mivo
