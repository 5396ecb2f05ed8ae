#include "onboarding/onboarding_window_controller.hpp"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "onboarding/onboarding_carousel.hpp"
#include "onboarding/onboarding_store.hpp"
#include "onboarding/onboarding_theme.hpp"

namespace mivo {

OnboardingWindow::OnboardingWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("onboardingWindow"));
    setWindowTitle(QStringLiteral("Welcome to Mivo"));
    // Closable, but neither minimisable nor maximisable; fixed in size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(OnboardingTheme::windowWidth, OnboardingTheme::windowHeight);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);
}

void OnboardingWindow::closeEvent(QCloseEvent* event) {
    // Every close hides the same window; it lives as long as the controller.
    event->accept();
    if (onClose) {
        onClose();
    }
}

void OnboardingWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The window says it cannot be minimised, and most window managers
    // honour that; some (openbox) keep the button regardless. A minimised
    // onboarding would leave Mivo waiting with nothing on the screen, so it
    // comes straight back.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                setWindowState(windowState() & ~Qt::WindowMinimized);
                show();
                raise();
                activateWindow();
            },
            Qt::QueuedConnection);
    }
}

void OnboardingWindow::mousePressEvent(QMouseEvent* event) {
    // A press that no control took lands here: drag the window by it.
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

OnboardingWindowController::OnboardingWindowController(OnboardingStore& store, Scheduler& scheduler)
    : model_(std::make_unique<OnboardingViewModel>()),
      completion_(store),
      window_(std::make_unique<OnboardingWindow>()) {
    carousel_ = new OnboardingCarousel(*model_, scheduler);
    auto* layout = new QVBoxLayout(window_.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(carousel_);

    completion_.onFinish = [this] {
        if (onFinish) {
            onFinish();
        }
    };
    window_->onClose = [this] { completion_.windowWillClose(); };
    model_->onComplete = [this] { window_->close(); };
}

OnboardingWindowController::~OnboardingWindowController() {
    window_->onClose = nullptr;
    model_->onComplete = nullptr;
}

void OnboardingWindow::fitTo(const QRect& available, const QMargins& frame) {
    const QSize room = available.size().shrunkBy(frame);
    setFixedSize(std::min(OnboardingTheme::windowWidth, room.width()),
                 std::min(OnboardingTheme::windowHeight, room.height()));
    // The window with its frame centred in the area; a window's position is
    // its frame's, so the title bar stays on the screen too.
    QRect framed(QPoint(), size().grownBy(frame));
    framed.moveCenter(available.center());
    move(framed.topLeft());
}

void OnboardingWindowController::showCentered() {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        // The window manager's frame once it is known, else room for a
        // title bar of common themes.
        QMargins frame(4, 32, 4, 4);
        if (const QWindow* handle = window_->windowHandle(); handle != nullptr) {
            const QMargins known = handle->frameMargins();
            if (!known.isNull()) {
                frame = known;
            }
        }
        window_->fitTo(screen->availableGeometry(), frame);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace mivo
