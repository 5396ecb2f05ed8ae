#pragma once

// The tray icon and its menu: Mivo's only permanent piece of interface. It
// knows nothing of the other components; each command calls one callback
// that the composition root sets, and the root pushes state in.

#include <QImage>
#include <QObject>
#include <QSize>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "account/auth_session_state.hpp"
#include "shared/shortcut_text.hpp"
#include "shell/shell_state.hpp"

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace mivo {

class AppShellController : public QObject {
    Q_OBJECT

  public:
    AppShellController();
    ~AppShellController() override;

    std::function<void()> onRequestPermission;
    std::function<void()> onSignIn;
    std::function<void()> onSignOut;
    std::function<void()> onOpenSettings;
    std::function<void()> onTriggerTone;
    std::function<void()> onCheckForUpdates;
    std::function<void()> onQuit;

    // Builds the menu and shows the tray icon. Answers whether the desktop
    // has a tray to show it in; without one the menu still exists.
    bool launch();

    void setMonitoring(bool on);
    void setPermissionNeeded();
    void setError(const std::string& message);
    // The shortcut as the user reads it ("Shift+Super+J"); empty while no
    // shortcut is registered, which leaves the item titled "Rewrite".
    void setRewriteShortcutDisplay(const std::string& display);
    // With an e-mail: "Signed in as …", not choosable, and "Sign Out" shown.
    // Without one: "Sign In with Google…", or "Session Ended — Sign In
    // Again…" when the service ended the session.
    void updateAuthState(const std::optional<std::string>& email, bool sessionEnded = false);
    // The same from the session's state; a sign-in kept in the locked
    // keyring is said, not choosable.
    void updateAuthState(const AuthSessionState& state);

    const ShellState& state() const { return state_; }
    QString toolTip() const;
    QMenu* menu() const { return menu_.get(); }

    // The logo in one colour (black with alpha) at `size`, for other
    // windows to tint; nothing when the file cannot be loaded.
    static std::optional<QImage> brandLogo(QSize size);

  private:
    void buildMenu();
    void refreshToolTip();
    void refreshIcon();
    void setState(ShellState state, bool rewriteEnabled);
    QAction* addCommand(const QString& title, std::function<void()> AppShellController::*callback);

    ShellState state_;
    std::string rewriteShortcutDisplay_ = shortcutText(HotKeyConfig::defaultConfig());
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    QAction* header_ = nullptr;
    QAction* authStatus_ = nullptr;
    QAction* signOut_ = nullptr;
    QAction* rewrite_ = nullptr;
    std::optional<std::string> email_;
    bool keyringLocked_ = false;
    bool sessionEnded_ = false;
};

// Paints the single-colour `logo` in `color`, keeping its alpha.
QImage tintedLogo(const QImage& logo, const QColor& color);

}  // namespace mivo
