#pragma once

// The composition root's connections of the account session and the rewrite
// engine: sign-in from every place with its failure alert, the account shown
// in the tray, settings and onboarding, the session restored at start, the
// rewrite engine started and stopped with monitoring, its log lines, and the
// rewrite hotkey with its fallback to the last one that worked (or, when
// that one is taken too, no hotkey and a pointer to Settings).
//
// Plain C++ over functions of the root, so that every path runs on the
// simulated desktop. Main loop only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "account/auth_session_state.hpp"
#include "platform/alerts.hpp"
#include "platform/log.hpp"
#include "shared/hotkey_config.hpp"

namespace mivo {

class MivoSettingsStore;

class AccountToneWiring {
  public:
    // The account session.
    struct Account {
        std::function<AuthSessionState()> state;
        // Completes with the failure's text for the user, or nothing once
        // signed in.
        std::function<void(std::function<void(std::optional<std::string> failure)>)> startSignIn;
        std::function<void()> signOut;
        std::function<void()> restoreSession;
        // The access token for a request; nothing when there is none.
        std::function<void(std::function<void(std::optional<std::string>)>)> validAccessToken;
    };
    // The rewrite engine: the tone coordinator and the warm buffer.
    struct Rewrite {
        // Stored only while stopped (true); registered at once while running.
        std::function<bool(uint32_t keyCode, uint32_t modifiers)> configureShortcut;
        // The coordinator, then the warm buffer; whether the hotkey was taken.
        std::function<bool()> start;
        std::function<void()> stop;
        std::function<void()> trigger;
    };
    // Where the account and the shortcut are shown.
    struct Views {
        std::function<void(const AuthSessionState&)> settings;
        std::function<void(bool signedIn)> onboarding;
        std::function<void(const AuthSessionState&)> tray;
        // The shortcut as the user reads it ("Shift+Super+J"); empty while
        // no shortcut is registered.
        std::function<void(const std::string& shortcut)> trayShortcut;
        // Whether the shortcut Settings shows works: false while another
        // program holds it and Mivo has none.
        std::function<void(bool active)> settingsShortcutActive;
        // Where a new shortcut is chosen.
        std::function<void()> openSettings;
        // Whether a browser sign-in is under way: onboarding's "Continue
        // with Google" shows it and takes no second press meanwhile.
        std::function<void(bool signingIn)> onboardingSigningIn;
        // Whether the desktop shows Mivo's tray icon and its menu; unset:
        // it does.
        std::function<bool()> hasTray = {};
    };

    // `settings`, `alerts` and `log` must outlive the wiring.
    AccountToneWiring(MivoSettingsStore& settings, Alerts& alerts, Log& log, Account account,
                      Rewrite rewrite, Views views);

    // Start-up: the stored hotkey goes to the coordinator (registered when
    // it starts) and into the tray's rewrite item.
    void applyStoredHotKey();
    // The settings store's onToneHotKeyChanged.
    void handleToneHotKeyChanged(const HotKeyConfig& hotKey);
    // The account session's onStateChanged.
    void handleAuthStateChanged(const AuthSessionState& state);
    // Before the settings window is shown.
    void refreshSettingsAccount();
    void restoreSession();
    // Sign-in from the tray, settings, onboarding or the rewrite panel.
    void beginSignIn();
    // The keyring could not keep the sign-in: it lasts until Mivo quits.
    void tellSignInNotRemembered();
    void signOut();

    // With the monitor: start after it, stop after it.
    void startRewriteEngine();
    void stopRewriteEngine();
    // The tray's rewrite item; nothing while Mivo is switched off.
    void triggerTone();
    // The coordinator's and the warm buffer's log lines.
    void logTone(const std::string& message);

    // For the tone coordinator.
    bool isSignedOut() const;
    // What the account card says of a service that could not be reached;
    // nothing otherwise.
    std::optional<std::string> accountFault() const;
    void accessToken(std::function<void(std::optional<std::string>)> done) const;

    // The last hotkey known to work: the system took it, or it was stored
    // before this run began.
    const HotKeyConfig& lastGoodToneHotKey() const { return lastGoodToneHotKey_; }

  private:
    // The shortcut in the tray, and in Settings whether it works; empty
    // while Mivo has none.
    void showShortcut(const std::string& shortcut);
    void refuse(const HotKeyConfig& refused);
    // The refused shortcut is the last good one: nothing to go back to.
    void announceUnavailable(const HotKeyConfig& refused);

    MivoSettingsStore& settings_;
    Alerts& alerts_;
    Log& log_;
    Account account_;
    Rewrite rewrite_;
    Views views_;
    HotKeyConfig lastGoodToneHotKey_;
    bool running_ = false;
    // Lets an alert that closes after the wiring is gone find it gone.
    std::shared_ptr<AccountToneWiring*> self_;
};

}  // namespace mivo
