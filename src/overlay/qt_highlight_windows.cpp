#include "overlay/qt_highlight_windows.hpp"
#include "ui/qt_edge.hpp"

#include <QGuiApplication>
#include <vector>

#include "overlay/highlight_view.hpp"
#include "overlay/qt_style.hpp"
#include "overlay/x11_floating_stack.hpp"
#include "overlay/x11_overlay_support.hpp"

namespace mivo {
namespace {

class QtHighlightWindow : public HighlightWindow {
  public:
    QtHighlightWindow(const Rect& frame, CorrectionIssue::Severity severity,
                      std::function<void(bool)> onHoverChanged)
        : view_(new HighlightView(severity, qt_edge::hasCompositor())) {
        // The frame is in X pixels: Qt places the window in its own
        // device-independent ones, the input window goes straight to X.
        const QRect rect = qt_edge::toQt(frame);
        const bool x11 = qt_edge::onX11();
        // Flags before the first show: changing them later hides the window.
        Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint;
        if (x11)
            flags |= Qt::WindowTransparentForInput;
        view_->setWindowFlags(flags);
        view_->setAttribute(Qt::WA_ShowWithoutActivating);
        view_->onHoverChanged = std::move(onHoverChanged);
        view_->setGeometry(rect);
        view_->show();
        if (x11) {
            // Mapped after the drawing window, the input window lies above it.
            HighlightView* view = view_.get();
            catcher_ = overlay_qt::X11HoverCatcher::create(
                qt_edge::toX11(frame), [view](bool inside) { view->pointerCrossed(inside); });
            stacked_ = {static_cast<uint32_t>(view_->winId())};
            if (catcher_ != nullptr)
                stacked_.push_back(catcher_->window());
            // Below Mivo's own windows that stand in front, the panel first.
            overlay_qt::FloatingStack::shared().add(stacked_);
        }
    }

    ~QtHighlightWindow() override {
        overlay_qt::FloatingStack::shared().remove(stacked_);
        catcher_.reset();
    }

    void setHovered(bool hovered) override { view_->setHovered(hovered); }

    void setFrame(const Rect& frame) override {
        view_->setGeometry(qt_edge::toQt(frame));
        if (catcher_ != nullptr)
            catcher_->setGeometry(qt_edge::toX11(frame));
    }

  private:
    // The window may go from inside its own event handler: it is hidden at
    // once and deleted when the loop comes back.
    struct Retire {
        void operator()(HighlightView* view) const {
            view->onHoverChanged = nullptr;
            view->hide();
            view->deleteLater();
        }
    };
    std::unique_ptr<HighlightView, Retire> view_;
    std::unique_ptr<overlay_qt::X11HoverCatcher> catcher_;
    // The windows kept in place in the stacking order, lowest first.
    std::vector<uint32_t> stacked_;
};

}  // namespace

std::unique_ptr<HighlightWindow> QtHighlightWindows::create(
    const Rect& frame, CorrectionIssue::Severity severity,
    std::function<void(bool)> onHoverChanged) {
    return std::make_unique<QtHighlightWindow>(frame, severity, std::move(onHoverChanged));
}

void QtHighlightWindows::setOnViewChanged(std::function<void()> handler) {
    if (qt_edge::onX11())
        overlay_qt::FloatingStack::shared().onTitleChanged = std::move(handler);
}

std::optional<Point> QtHighlightWindows::pointerLocation() {
    if (QGuiApplication::primaryScreen() == nullptr)
        return std::nullopt;
    return qt_edge::pointerLocation();
}

}  // namespace mivo
