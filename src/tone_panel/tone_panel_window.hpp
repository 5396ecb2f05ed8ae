#pragma once

// The rewrite panel's floating window: frameless, above ordinary windows,
// takes the keyboard, dragged by its background. Every key press goes first
// to `onKeyDown` (before any control inside, the composer's editor
// included); what it declines goes on as usual. Made anew for each opening.

#include <QPoint>
#include <QWidget>
#include <optional>
#include <span>

#include "platform/screens.hpp"
#include "tone/tone_panel_callbacks.hpp"
#include "tone_panel/tone_panel_placement.hpp"

namespace mivo {

class TonePanelView;

class TonePanelWindow : public QWidget {
  public:
    // Takes the panel view as its content.
    explicit TonePanelWindow(TonePanelView* view);
    ~TonePanelWindow() override;

    PanelKeyHandler onKeyDown;

    // Places the window next to `anchor` (global coordinates, y up) on the
    // screens given (global too), or centres it on the main screen without
    // one, through the one Qt/X11 edge.
    void position(const std::optional<Rect>& anchor, std::span<const Screen> screens);
    // The frame in global coordinates (X pixels, y up).
    Rect globalFrame() const;
    PanelSide side() const { return placement_.side; }
    TonePanelView* view() const { return view_; }

    // The window system's virtual key code of a Qt key, as the handler sees it.
    static int virtualKeyCode(int qtKey);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    void contentHeightChanged(int height);
    void moveToGlobal(const Rect& frame);
    void applyMask();

    TonePanelView* view_;
    QPoint dragMouseStart_;
    QPoint dragWindowOrigin_;
    TonePanelPlacement placement_;
};

}  // namespace mivo
