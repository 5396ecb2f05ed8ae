#include "settings/settings_window_controller.hpp"

#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>
#include <charconv>
#include <sstream>

#include "settings/settings_screen.hpp"
#include "settings/settings_theme.hpp"

namespace mivo {

namespace {

using Theme = MivoSettingsTheme;

// Whether some part of `frame` lies on a screen that exists now.
bool onSomeScreen(const QRect& frame) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(frame)) {
            return true;
        }
    }
    return false;
}

}  // namespace

SettingsWindow::SettingsWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("settingsWindow");
    setWindowTitle(tr("Settings"));
    // Closing hides the window; it must never end the program with it.
    setAttribute(Qt::WA_QuitOnClose, false);
    applyBackground();
    connect(&ui::Appearance::shared(), &ui::Appearance::changed, this,
            [this] { applyBackground(); });
}

void SettingsWindow::applyBackground() {
    QPalette p = palette();
    p.setColor(QPalette::Window, Theme::windowBackground());
    setPalette(p);
    setAutoFillBackground(true);
}

void SettingsWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (isVisible() && onFrameChanged) {
        onFrameChanged();
    }
}

void SettingsWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isVisible() && onFrameChanged) {
        onFrameChanged();
    }
}

void SettingsWindow::hideEvent(QHideEvent* event) {
    if (onFrameChanged) {
        onFrameChanged();
    }
    QWidget::hideEvent(event);
}

SettingsWindowController::SettingsWindowController(MivoSettingsStore& settingsStore,
                                                   UpdatePreferences& updates,
                                                   UserDefaults& defaults, AppVersion version,
                                                   Alerts& alerts)
    : defaults_(defaults),
      model_(std::make_unique<SettingsViewModel>(updates)),
      window_(std::make_unique<SettingsWindow>()) {
    auto* layout = new QVBoxLayout(window_.get());
    layout->setContentsMargins(0, 0, 0, 0);
    screen_ = new SettingsScreen(*model_, settingsStore, version, alerts, window_.get());
    layout->addWidget(screen_);
    // The minimum belongs to the content, not to the frame around it.
    window_->setMinimumSize(Theme::minimumContentWidth, Theme::minimumContentHeight);
    window_->resize(Theme::contentWidth, Theme::contentHeight);
    if (auto frame = savedFrame()) {
        window_->setGeometry(*frame);
        lastSaved_ = formatFrame(*frame);
    }
    window_->onFrameChanged = [this] { saveFrame(); };
}

SettingsWindowController::~SettingsWindowController() {
    window_->onFrameChanged = nullptr;
    // The screen observes the model; it goes first.
    window_.reset();
}

void SettingsWindowController::present() {
    // Centred when the user never placed it, or placed it on a screen that
    // is gone.
    if (!window_->isVisible() && !savedFrame()) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            QRect frame(QPoint(), window_->size());
            frame.moveCenter(screen->availableGeometry().center());
            window_->setGeometry(frame);
        }
    }
    // A minimised window (Hide Mivo, Minimize) comes back from the task bar.
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void SettingsWindowController::setMenuBar(QMenuBar* bar) {
    if (bar == nullptr || menuBar_ != nullptr) {
        return;
    }
    menuBar_ = bar;
    window_->layout()->setMenuBar(bar);
    const int height = bar->sizeHint().height();
    window_->setMinimumSize(Theme::minimumContentWidth, Theme::minimumContentHeight + height);
    // A saved frame already is the window the user made, bar and all.
    if (!savedFrame()) {
        window_->resize(Theme::contentWidth, Theme::contentHeight + height);
    }
    styleMenuBar();
    QObject::connect(&ui::Appearance::shared(), &ui::Appearance::changed, bar,
                     [this] { styleMenuBar(); });
}

void SettingsWindowController::styleMenuBar() {
    // The bar and its menus (windows of their own, which take no colours
    // from the window) in the window's colours, light or dark.
    QPalette p = menuBar_->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, Theme::windowBackground());
        p.setColor(group, QPalette::Base, Theme::surface());
        p.setColor(group, QPalette::Button, Theme::windowBackground());
        p.setColor(group, QPalette::WindowText, Theme::textPrimary());
        p.setColor(group, QPalette::ButtonText, Theme::textPrimary());
        p.setColor(group, QPalette::Text, Theme::textPrimary());
        p.setColor(group, QPalette::Highlight, Theme::primary());
        p.setColor(group, QPalette::HighlightedText, QColor(Qt::white));
    }
    p.setColor(QPalette::Disabled, QPalette::WindowText, Theme::textMuted());
    p.setColor(QPalette::Disabled, QPalette::ButtonText, Theme::textMuted());
    p.setColor(QPalette::Disabled, QPalette::Text, Theme::textMuted());
    p.setColor(QPalette::Disabled, QPalette::Window, Theme::windowBackground());
    menuBar_->setPalette(p);
    for (QAction* action : menuBar_->actions()) {
        if (QMenu* menu = action->menu()) {
            QPalette mp = p;
            for (const QPalette::ColorGroup group :
                 {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                mp.setColor(group, QPalette::Window, Theme::surface());
            }
            menu->setPalette(mp);
        }
    }
}

std::optional<QRect> SettingsWindowController::savedFrame() const {
    const auto text = defaults_.string(frameKey);
    if (!text) {
        return std::nullopt;
    }
    auto frame = parseFrame(*text);
    // A frame on a screen that is gone would open the window out of reach.
    if (!frame || !onSomeScreen(*frame)) {
        return std::nullopt;
    }
    frame->setWidth(std::max(frame->width(), Theme::minimumContentWidth));
    frame->setHeight(std::max(frame->height(), Theme::minimumContentHeight));
    return frame;
}

void SettingsWindowController::saveFrame() {
    const std::string text = formatFrame(window_->geometry());
    if (text == lastSaved_) {
        return;
    }
    lastSaved_ = text;
    defaults_.set(frameKey, text);
}

std::optional<QRect> SettingsWindowController::parseFrame(const std::string& text) {
    std::istringstream in(text);
    long long x = 0;
    long long y = 0;
    long long width = 0;
    long long height = 0;
    if (!(in >> x >> y >> width >> height)) {
        return std::nullopt;
    }
    std::string rest;
    if (in >> rest) {
        return std::nullopt;
    }
    constexpr long long limit = 1 << 20;
    if (width <= 0 || height <= 0 || width > limit || height > limit || x < -limit || x > limit ||
        y < -limit || y > limit) {
        return std::nullopt;
    }
    return QRect(static_cast<int>(x), static_cast<int>(y), static_cast<int>(width),
                 static_cast<int>(height));
}

std::string SettingsWindowController::formatFrame(const QRect& frame) {
    return std::to_string(frame.x()) + " " + std::to_string(frame.y()) + " " +
           std::to_string(frame.width()) + " " + std::to_string(frame.height());
}

}  // namespace mivo
