#include "overlay/qt_correction_panel_window.hpp"
#include "ui/qt_edge.hpp"

#include <QAccessible>
#include <QCursor>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QVBoxLayout>
#include <QWidget>

#include "overlay/correction_panel_view.hpp"
#include "overlay/qt_style.hpp"
#include "overlay/x11_floating_stack.hpp"
#include "overlay/x11_overlay_support.hpp"

namespace mivo {

// The panel's window; a press on its background starts a drag.
class FreePanel : public QWidget {
  public:
    FreePanel() {
        setObjectName("correctionPanelWindow");
        // Flags before the first show: changing them later hides the window.
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                       Qt::WindowDoesNotAcceptFocus);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TranslucentBackground);
        setFocusPolicy(Qt::NoFocus);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetNoConstraint);
        // The window manager keeps it (it stacks it and lets it move), but a
        // click on it must never look like a request of the keyboard.
        if (qt_edge::onX11())
            overlay_qt::offerNoFocus(winId());
    }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        dragMouseStart_ = QCursor::pos();
        dragWindowOrigin_ = pos();
        QWidget::mousePressEvent(event);
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        if ((event->buttons() & Qt::LeftButton) == 0)
            return;
        move(dragWindowOrigin_ + (QCursor::pos() - dragMouseStart_));
    }

    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        // Without a compositor the shadow margin cannot be transparent: the
        // window keeps only the card.
        if (!qt_edge::hasCompositor()) {
            const int m = CorrectionPanelView::shadowMargin;
            QPainterPath card;
            card.addRoundedRect(QRectF(rect()).adjusted(m, m, -m, -m), 10, 10);
            setMask(QRegion(card.toFillPolygon().toPolygon()));
        }
    }

  private:
    QPoint dragMouseStart_;
    QPoint dragWindowOrigin_;
};

QtCorrectionPanelWindow::QtCorrectionPanelWindow() = default;

QtCorrectionPanelWindow::~QtCorrectionPanelWindow() = default;

QWidget* QtCorrectionPanelWindow::window() const {
    return panel_.get();
}

Size QtCorrectionPanelWindow::setContent(std::shared_ptr<CorrectionPanelModel> model,
                                         double width) {
    if (panel_ == nullptr)
        panel_ = std::make_unique<FreePanel>();
    if (view_ != nullptr) {
        // The old view may be inside one of its own button handlers: it is
        // deleted later, but leaves the panel (and its accessibility tree,
        // where its hidden Apply would stand beside the new one) now. Only
        // its ties to the panel are cut: Qt's accessibility cache lets go
        // of a widget's interface on its destroyed signal, and an interface
        // kept past the widget is handed to the next widget made at that
        // address, typically the next view, whose Apply then never reaches
        // the accessibility bus.
        view_->hide();
        QObject::disconnect(view_, nullptr, panel_.get(), nullptr);
        panel_->layout()->removeWidget(view_);
        view_->setParent(nullptr);
        view_->deleteLater();
    }
    auto* view = new CorrectionPanelView(std::move(model), panel_.get());
    view_ = view;
    panel_->layout()->addWidget(view);
    // Added to a panel already on screen, a widget is shown only on the
    // next turn of the event loop: until then the panel shows the view's
    // buttons while screen readers find none.
    view->show();
    QAccessibleEvent reordered(panel_.get(), QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&reordered);
    QObject::connect(view, &CorrectionPanelView::fittingHeightChanged, panel_.get(),
                     [this](int height) { contentHeightChanged(height); });
    const int height = view->fittingHeight();
    view->setFixedHeight(height);
    contentHeight_ = height;
    panel_->resize(static_cast<int>(width), height);
    // The panel is laid out in Qt's pixels and placed in X pixels.
    return Size{qt_edge::toX11Length(width), qt_edge::toX11Length(height)};
}

void QtCorrectionPanelWindow::contentHeightChanged(int height) {
    if (panel_ == nullptr || view_ == nullptr || height == contentHeight_)
        return;
    contentHeight_ = height;
    view_->setFixedHeight(height);
    // The top edge stays where it is; the coordinator then decides.
    QRect geometry = panel_->geometry();
    geometry.setHeight(height);
    panel_->setGeometry(geometry);
    if (onResize_)
        onResize_(qt_edge::fromQt(geometry));
}

void QtCorrectionPanelWindow::setFrame(const Rect& frame) {
    if (panel_ == nullptr)
        return;
    // Only the place: the panel keeps the size its content was laid out in,
    // which on a scaled screen is not the frame's X pixels.
    panel_->move(qt_edge::toQtTopLeft(frame));
}

std::optional<Rect> QtCorrectionPanelWindow::frame() const {
    if (panel_ == nullptr)
        return std::nullopt;
    return qt_edge::fromQt(panel_->geometry());
}

void QtCorrectionPanelWindow::orderFront() {
    if (panel_ == nullptr)
        return;
    panel_->show();
    panel_->raise();
    // The highlights bypass the window manager, which stacks them above the
    // panel whatever it raises: they go below it.
    if (qt_edge::onX11())
        overlay_qt::FloatingStack::shared().restack();
}

void QtCorrectionPanelWindow::orderOut() {
    if (panel_ != nullptr)
        panel_->hide();
}

void QtCorrectionPanelWindow::setOnResize(std::function<void(const Rect&)> handler) {
    onResize_ = std::move(handler);
}

}  // namespace mivo
