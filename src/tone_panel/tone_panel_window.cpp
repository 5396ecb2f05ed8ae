#include "tone_panel/tone_panel_window.hpp"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QVBoxLayout>

#include "tone_panel/tone_panel_view.hpp"
#include "ui/qt_edge.hpp"

namespace mivo {

TonePanelWindow::TonePanelWindow(TonePanelView* view) : QWidget(nullptr), view_(view) {
    setObjectName(QStringLiteral("tonePanelWindow"));
    // Managed by the window manager (so it can take the keyboard), without
    // a frame, above ordinary windows; never the main window of anything.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("Mivo Rewrite"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFixedSize(TonePanelView::hostedWidth, view_->height() > 0 ? view_->height() : 360);
    connect(view_, &TonePanelView::heightChanged, this,
            [this](int height) { contentHeightChanged(height); });
    // Keys reach the handler before the focused control: the application
    // filter sees them first.
    qApp->installEventFilter(this);
    applyMask();
}

TonePanelWindow::~TonePanelWindow() {
    qApp->removeEventFilter(this);
}

int TonePanelWindow::virtualKeyCode(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Return:
            return panel_keys::returnKey;
        case Qt::Key_Enter:
            return panel_keys::keypadEnter;
        case Qt::Key_Escape:
            return panel_keys::escape;
        case Qt::Key_Left:
            return panel_keys::leftArrow;
        case Qt::Key_Right:
            return panel_keys::rightArrow;
        case Qt::Key_Down:
            return panel_keys::downArrow;
        case Qt::Key_Up:
            return panel_keys::upArrow;
        default:
            return -1;
    }
}

bool TonePanelWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !onKeyDown) {
        return false;
    }
    // A declined press bubbles up through the parents and passes this filter
    // again each time: only its first receiver (the focused control, or the
    // window itself) asks the handler.
    QWidget* first = QApplication::focusWidget();
    if (first == nullptr || (first != this && !isAncestorOf(first))) {
        first = this;
    }
    if (watched != first) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (onKeyDown(PanelKeyEvent{virtualKeyCode(key->key()), key->text().toStdString()})) {
        key->accept();
        return true;
    }
    return false;
}

void TonePanelWindow::mousePressEvent(QMouseEvent* event) {
    dragMouseStart_ = event->globalPosition().toPoint();
    dragWindowOrigin_ = pos();
    QWidget::mousePressEvent(event);
}

void TonePanelWindow::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        move(dragWindowOrigin_ + (event->globalPosition().toPoint() - dragMouseStart_));
    }
}

void TonePanelWindow::position(const std::optional<Rect>& anchor, std::span<const Screen> screens) {
    // Laid out in Qt's pixels, placed in X pixels: on a scaled screen the
    // window covers more of them than its width and height say.
    placement_ = positionPanel(Size{qt_edge::toX11Length(width()), qt_edge::toX11Length(height())},
                               anchor, screens);
    moveToGlobal(placement_.frame);
}

void TonePanelWindow::moveToGlobal(const Rect& frame) {
    // Only the place: the size stays the one the content was laid out in.
    move(qt_edge::toQtTopLeft(frame));
}

Rect TonePanelWindow::globalFrame() const {
    return qt_edge::fromQt(geometry());
}

void TonePanelWindow::contentHeightChanged(int height) {
    // The window keeps its top edge; the edge next to the text goes back
    // where it was, and the panel stays inside the screen's visible area.
    setFixedSize(width(), height);
    if (const auto moved = resizedPanelFrame(globalFrame(), placement_)) {
        moveToGlobal(*moved);
    }
    applyMask();
}

void TonePanelWindow::applyMask() {
    // Without a compositor the translucent margin would paint black: cut the
    // window to the card instead (the shadows go).
    if (qt_edge::hasCompositor()) {
        clearMask();
        return;
    }
    QPainterPath card;
    card.addRoundedRect(QRectF(view_->cardRect()), 14, 14);
    setMask(QRegion(card.toFillPolygon().toPolygon()));
}

}  // namespace mivo
