#pragma once

// One highlight as the user sees it: a window laid over another
// application's text, tinted in the issue's severity colour with a bar of
// the same colour along its bottom edge; hovered, the tint deepens, an
// outline appears and the bar thickens. Without a compositor the window
// cannot be translucent, so it keeps only its outline and bar (a window
// mask) and leaves the text beneath visible.

#include <QWidget>
#include <functional>

#include "shared/records.hpp"

namespace mivo {

class HighlightView : public QWidget {
    Q_OBJECT

  public:
    // `translucent`: whether the tint can blend with what lies beneath.
    HighlightView(CorrectionIssue::Severity severity, bool translucent);

    CorrectionIssue::Severity severity() const { return severity_; }
    // Changes the drawing; reports nothing.
    void setHovered(bool hovered);
    // Called with true on entering and false on leaving when the window
    // takes the pointer itself.
    std::function<void(bool)> onHoverChanged;

    // The pointer crossed the highlight's edge (from this window's own
    // events or from the input window laid over it).
    void pointerCrossed(bool inside);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void updateMask();

    CorrectionIssue::Severity severity_;
    bool translucent_;
    bool hovered_ = false;
};

}  // namespace mivo
