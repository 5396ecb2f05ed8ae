#include "shell/app_shell_controller.hpp"

#include <QAction>
#include <QCoreApplication>
#include <QFont>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>

#include "ui/appearance.hpp"
#include "ui/bundle_symbols.hpp"

namespace mivo {

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// The letter the tray shows when no logo can be drawn.
QIcon letterIcon(const QColor& color) {
    QImage image(QSize(36, 36), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(26);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("W"));
    return QIcon(QPixmap::fromImage(image));
}

}  // namespace

QImage tintedLogo(const QImage& logo, const QColor& color) {
    return ui::tinted(logo, color);
}

AppShellController::AppShellController() = default;
AppShellController::~AppShellController() = default;

std::optional<QImage> AppShellController::brandLogo(QSize size) {
    return ui::brandLogo(size);
}

bool AppShellController::launch() {
    buildMenu();
    tray_ = std::make_unique<QSystemTrayIcon>();
    refreshIcon();
    tray_->setContextMenu(menu_.get());
    // A left click opens the same menu: the tray icon has nothing else to do.
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && menu_ != nullptr) {
                    menu_->popup(QCursor::pos());
                }
            });
    connect(&ui::Appearance::shared(), &ui::Appearance::changed, this, [this] { refreshIcon(); });
    refreshToolTip();
    tray_->show();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

QAction* AppShellController::addCommand(const QString& title,
                                        std::function<void()> AppShellController::*callback) {
    QAction* action = menu_->addAction(title);
    connect(action, &QAction::triggered, this, [this, callback] {
        if (const auto& handler = this->*callback) {
            handler();
        }
    });
    return action;
}

void AppShellController::buildMenu() {
    menu_ = std::make_unique<QMenu>();
    menu_->setObjectName("statusMenu");

    header_ = menu_->addAction(QStringLiteral("Mivo"));
    header_->setObjectName("header");
    header_->setEnabled(false);
    menu_->addSeparator();

    authStatus_ = addCommand(QStringLiteral("Sign In with Google…"), &AppShellController::onSignIn);
    authStatus_->setObjectName("authStatus");
    signOut_ = addCommand(QStringLiteral("Sign Out"), &AppShellController::onSignOut);
    signOut_->setObjectName("signOut");
    signOut_->setVisible(false);
    menu_->addSeparator();

    addCommand(QStringLiteral("Settings…"), &AppShellController::onOpenSettings)
        ->setObjectName("settings");
    addCommand(QStringLiteral("Check for Updates…"), &AppShellController::onCheckForUpdates)
        ->setObjectName("checkForUpdates");
    rewrite_ = addCommand(q(rewriteItemTitle(rewriteShortcutDisplay_)),
                          &AppShellController::onTriggerTone);
    rewrite_->setObjectName("rewrite");
    // Qt honours the flag (no automatic enabling), so the rewrite command is
    // really unavailable while Mivo does not monitor.
    rewrite_->setEnabled(false);
    addCommand(QStringLiteral("Open Accessibility Settings…"),
               &AppShellController::onRequestPermission)
        ->setObjectName("openAccessibilitySettings");
    menu_->addSeparator();

    QAction* quit = menu_->addAction(QStringLiteral("Quit Mivo"));
    quit->setObjectName("quit");
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, [this] {
        if (onQuit) {
            onQuit();
        } else {
            QCoreApplication::quit();
        }
    });
    updateAuthState(email_, sessionEnded_);
}

void AppShellController::refreshIcon() {
    if (tray_ == nullptr) {
        return;
    }
    const QColor color =
        ui::Appearance::shared().isDark() ? QColor(236, 236, 236) : QColor(32, 32, 32);
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64}) {
        if (auto logo = brandLogo(QSize(side, side))) {
            icon.addPixmap(QPixmap::fromImage(tintedLogo(*logo, color)));
        }
    }
    tray_->setIcon(icon.isNull() ? letterIcon(color) : icon);
}

QString AppShellController::toolTip() const {
    return q(tooltipText(state_));
}

void AppShellController::refreshToolTip() {
    if (tray_ != nullptr) {
        tray_->setToolTip(toolTip());
    }
}

void AppShellController::setState(ShellState state, bool rewriteEnabled) {
    state_ = std::move(state);
    if (rewrite_ != nullptr) {
        rewrite_->setEnabled(rewriteEnabled);
    }
    refreshToolTip();
}

void AppShellController::setMonitoring(bool on) {
    setState({on ? ShellState::Kind::monitoring : ShellState::Kind::paused, {}}, on);
}

void AppShellController::setPermissionNeeded() {
    setState({ShellState::Kind::permissionNeeded, {}}, false);
}

void AppShellController::setError(const std::string& message) {
    setState({ShellState::Kind::error, message}, false);
}

void AppShellController::setRewriteShortcutDisplay(const std::string& display) {
    rewriteShortcutDisplay_ = display;
    if (rewrite_ != nullptr) {
        rewrite_->setText(q(rewriteItemTitle(display)));
    }
}

void AppShellController::updateAuthState(const AuthSessionState& state) {
    keyringLocked_ = state.kind == AuthSessionState::Kind::keyringLocked;
    updateAuthState(state.isSignedIn() ? std::optional(state.email) : std::nullopt,
                    state.sessionHasEnded());
}

void AppShellController::updateAuthState(const std::optional<std::string>& email,
                                         bool sessionEnded) {
    email_ = email;
    sessionEnded_ = sessionEnded;
    if (authStatus_ == nullptr) {
        return;
    }
    if (email) {
        // The line names the account and cannot be chosen.
        authStatus_->setText(q("Signed in as " + *email));
        authStatus_->setEnabled(false);
        if (signOut_ != nullptr) {
            signOut_->setVisible(true);
        }
    } else if (keyringLocked_) {
        authStatus_->setText(
            QStringLiteral("Sign-in kept in the locked keyring; back once it is unlocked"));
        authStatus_->setEnabled(false);
        if (signOut_ != nullptr) {
            signOut_->setVisible(false);
        }
    } else {
        authStatus_->setText(sessionEnded ? QStringLiteral("Session Ended — Sign In Again…")
                                          : QStringLiteral("Sign In with Google…"));
        authStatus_->setEnabled(true);
        if (signOut_ != nullptr) {
            signOut_->setVisible(false);
        }
        if (header_ != nullptr) {
            header_->setText(QStringLiteral("Mivo"));
        }
    }
}

}  // namespace mivo
