#include "tone_panel/tone_trigger_icon_window.hpp"

#include <QEasingCurve>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "shared/shortcut_text.hpp"
#include "tone_panel/tone_controls.hpp"
#include "ui/qt_edge.hpp"

namespace mivo {

namespace {

constexpr int windowSide = 24;
const QColor markBlue = QColor::fromRgbF(0.259f, 0.522f, 0.957f);

}  // namespace

TriggerIconView::TriggerIconView(double size, std::function<void()> onClick, QWidget* parent)
    : QWidget(parent), size_(size), onClick_(std::move(onClick)) {
    setObjectName(QStringLiteral("triggerIcon"));
    // The default shortcut, whatever is configured: the icon's tooltip is a
    // fixed text.
    setToolTip(QObject::tr("Mivo — Rewrite (%1)")
                   .arg(QString::fromStdString(shortcutText(HotKeyConfig::defaultConfig()))));
    setAccessibleName(QObject::tr("Mivo — Rewrite"));
    setAccessibleDescription(QObject::tr("Opens the rewrite panel for the focused field."));
    setMouseTracking(true);
    animation_.setDuration(120);
    animation_.setEasingCurve(QEasingCurve::InOutCubic);
    QObject::connect(&animation_, &QVariantAnimation::valueChanged, this,
                     [this](const QVariant& value) {
                         progress_ = value.toDouble();
                         update();
                     });
}

void TriggerIconView::animateHover(bool hover) {
    hover_ = hover;
    animation_.stop();
    animation_.setStartValue(progress_);
    animation_.setEndValue(hover ? 1.0 : 0.0);
    animation_.start();
}

void TriggerIconView::enterEvent(QEnterEvent*) {
    animateHover(true);
}

void TriggerIconView::leaveEvent(QEvent*) {
    animateHover(false);
}

void TriggerIconView::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void TriggerIconView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        onClick_) {
        onClick_();
    }
}

void TriggerIconView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // 1.0 -> 1.05 and 0.92 -> 1.0 under the pointer.
    const double scale = 1.0 + 0.05 * progress_;
    p.setOpacity(0.92 + 0.08 * progress_);
    p.translate(width() / 2.0, height() / 2.0);
    p.scale(scale, scale);
    const QRectF mark(-size_ / 2, -size_ / 2, size_, size_);
    const double radius = size_ * 0.22;
    // A small shadow: black at 0.18, one point down.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgbF(0, 0, 0, 0.18f));
    p.drawRoundedRect(mark.translated(0, 1).adjusted(-0.5, -0.5, 0.5, 0.5), radius + 0.5,
                      radius + 0.5);
    p.setBrush(markBlue);
    p.drawRoundedRect(mark, radius, radius);
    QFont font = toneFont(size_ * 0.6, QFont::Black);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(mark, Qt::AlignCenter, QStringLiteral("W"));
}

ToneTriggerIconWindow::ToneTriggerIconWindow(std::function<void()> onClick)
    : window_(std::make_unique<QWidget>()) {
    window_->setObjectName(QStringLiteral("triggerIconWindow"));
    // Flags before the first show: never focused, never managed.
    window_->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                            Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint);
    window_->setAttribute(Qt::WA_ShowWithoutActivating);
    window_->setAttribute(Qt::WA_TranslucentBackground);
    window_->setFocusPolicy(Qt::NoFocus);
    window_->setFixedSize(windowSide, windowSide);
    view_ = new TriggerIconView(ToneTriggerIcon::iconSize, std::move(onClick), window_.get());
    view_->setGeometry(0, 0, windowSide, windowSide);
    if (!qt_edge::hasCompositor()) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(1, 1, 22, 22), 4.84, 4.84);
        window_->setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
    window_->setWindowOpacity(0);
}

ToneTriggerIconWindow::~ToneTriggerIconWindow() = default;

void ToneTriggerIconWindow::setFrameOrigin(Point origin) {
    // The window's top-left corner is its side above the bottom-left one,
    // in the X pixels the side takes on the screen.
    const double side = windowSide * pixelsPerPoint();
    window_->move(qt_edge::toQtTopLeft(Rect{origin.x, origin.y, side, side}));
}

double ToneTriggerIconWindow::pixelsPerPoint() const {
    return qt_edge::toX11Length(1.0);
}

bool ToneTriggerIconWindow::isVisible() const {
    return window_->isVisible();
}

void ToneTriggerIconWindow::orderFront() {
    window_->show();
    window_->raise();
}

void ToneTriggerIconWindow::orderOut() {
    window_->hide();
}

double ToneTriggerIconWindow::alpha() const {
    return alpha_;
}

void ToneTriggerIconWindow::setAlpha(double alpha) {
    alpha_ = alpha;
    window_->setWindowOpacity(alpha);
}

TriggerIconWindowFactory ToneTriggerIconWindow::factory() {
    return [](std::function<void()> onClick) -> std::unique_ptr<TriggerIconWindow> {
        return std::make_unique<ToneTriggerIconWindow>(std::move(onClick));
    };
}

}  // namespace mivo
