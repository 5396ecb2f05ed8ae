#include "app/account_tone_wiring.hpp"

#include <utility>

#include "settings/mivo_settings_store.hpp"
#include "shared/shortcut_text.hpp"

namespace mivo {

AccountToneWiring::AccountToneWiring(MivoSettingsStore& settings, Alerts& alerts, Log& log,
                                     Account account, Rewrite rewrite, Views views)
    : settings_(settings),
      alerts_(alerts),
      log_(log),
      account_(std::move(account)),
      rewrite_(std::move(rewrite)),
      views_(std::move(views)),
      lastGoodToneHotKey_(settings.toneHotKey()),
      self_(std::make_shared<AccountToneWiring*>(this)) {}

// --- The account -------------------------------------------------------------

void AccountToneWiring::restoreSession() {
    if (account_.restoreSession)
        account_.restoreSession();
}

void AccountToneWiring::beginSignIn() {
    if (!account_.startSignIn)
        return;
    account_.startSignIn([weak = std::weak_ptr(self_)](std::optional<std::string> failure) {
        auto self = weak.lock();
        if (!self || !failure)
            return;
        (*self)->alerts_.show({.title = "Sign In Failed",
                               .message = *failure,
                               .style = AlertRequest::Style::warning,
                               .buttons = {"OK"}});
    });
}

void AccountToneWiring::tellSignInNotRemembered() {
    log_.write("[Mivo][Auth] the keyring cannot keep the sign-in; it lasts until Mivo quits");
    alerts_.show({.title = "Sign-In Not Saved",
                  .message = "Mivo could not store your sign-in in the system keyring (no "
                             "keyring is set up, it is locked, or it does not answer). You stay "
                             "signed in until Mivo quits; next time you will need to sign in "
                             "again.",
                  .style = AlertRequest::Style::informational,
                  .buttons = {"OK"}});
}

void AccountToneWiring::signOut() {
    if (account_.signOut)
        account_.signOut();
}

void AccountToneWiring::handleAuthStateChanged(const AuthSessionState& state) {
    if (state.sessionHasEnded())
        log_.write("[Mivo][Auth] session ended: " + state.message +
                   "; the stored sign-in was removed");
    // What the account card and the sign-in alert tell the user, for the
    // log as well: a refused address or certificate shows nowhere else.
    if (state.kind == AuthSessionState::Kind::error)
        log_.write("[Mivo][Auth] sign-in: " + state.message);
    if (views_.settings)
        views_.settings(state);
    if (views_.onboarding)
        views_.onboarding(!isSignedOut());
    if (views_.onboardingSigningIn)
        views_.onboardingSigningIn(state.kind == AuthSessionState::Kind::signingIn);
    if (views_.tray)
        views_.tray(state);
}

void AccountToneWiring::refreshSettingsAccount() {
    if (views_.settings && account_.state)
        views_.settings(account_.state());
}

bool AccountToneWiring::isSignedOut() const {
    return !account_.state || !account_.state().isSignedIn();
}

std::optional<std::string> AccountToneWiring::accountFault() const {
    if (!account_.state)
        return std::nullopt;
    const AuthSessionState state = account_.state();
    if (state.kind != AuthSessionState::Kind::error || !state.unreachable)
        return std::nullopt;
    return state.message;
}

void AccountToneWiring::accessToken(std::function<void(std::optional<std::string>)> done) const {
    if (!account_.validAccessToken) {
        done(std::nullopt);
        return;
    }
    account_.validAccessToken(std::move(done));
}

// --- The rewrite engine --------------------------------------------------------

void AccountToneWiring::applyStoredHotKey() {
    const HotKeyConfig stored = settings_.toneHotKey();
    lastGoodToneHotKey_ = stored;
    rewrite_.configureShortcut(stored.keyCode, stored.carbonModifiers);
    showShortcut(shortcutText(stored));
}

void AccountToneWiring::handleToneHotKeyChanged(const HotKeyConfig& hotKey) {
    if (!rewrite_.configureShortcut(hotKey.keyCode, hotKey.carbonModifiers)) {
        refuse(hotKey);
        return;
    }
    // While paused a shortcut is only stored; the system has its say when
    // the engine starts.
    if (running_)
        lastGoodToneHotKey_ = hotKey;
    showShortcut(shortcutText(hotKey));
}

void AccountToneWiring::startRewriteEngine() {
    if (running_)
        return;
    running_ = true;
    if (rewrite_.start()) {
        lastGoodToneHotKey_ = settings_.toneHotKey();
        // Back in the tray after a start that found it taken.
        showShortcut(shortcutText(lastGoodToneHotKey_));
    } else {
        // Held by another application since it was stored (or recorded
        // while paused): the user hears of it as of any other refusal.
        refuse(settings_.toneHotKey());
    }
}

void AccountToneWiring::stopRewriteEngine() {
    running_ = false;
    rewrite_.stop();
}

void AccountToneWiring::showShortcut(const std::string& shortcut) {
    if (views_.trayShortcut)
        views_.trayShortcut(shortcut);
    if (views_.settingsShortcutActive)
        views_.settingsShortcutActive(!shortcut.empty());
}

void AccountToneWiring::refuse(const HotKeyConfig& refused) {
    // Only the keys count: a recorded ⇧⌘J is the same combination as ⌘⇧J,
    // and going back to it would be refused again.
    if (refused.keyCode == lastGoodToneHotKey_.keyCode &&
        refused.carbonModifiers == lastGoodToneHotKey_.carbonModifiers) {
        announceUnavailable(refused);
        return;
    }
    const std::string message = "\u201C" + shortcutText(refused) +
                                "\u201D is already in use by another app or the system. "
                                "Reverting to " +
                                shortcutText(lastGoodToneHotKey_) + ".";
    alerts_.show({.title = "Shortcut Unavailable",
                  .message = message,
                  .style = AlertRequest::Style::warning,
                  .buttons = {"OK"}},
                 [weak = std::weak_ptr(self_)](int) {
                     // Storing it runs the change handling again, which
                     // registers the previous shortcut and shows it.
                     if (auto self = weak.lock())
                         (*self)->settings_.setToneHotKey((*self)->lastGoodToneHotKey_);
                 });
}

void AccountToneWiring::announceUnavailable(const HotKeyConfig& refused) {
    showShortcut({});
    // Without a tray there is no Rewrite item to fall back on.
    const bool tray = !views_.hasTray || views_.hasTray();
    const std::string message =
        "\u201C" + shortcutText(refused) +
        "\u201D is already in use by another app or the system, so Mivo has no rewrite "
        "shortcut for now. Choose another one in Settings" +
        (tray ? "; the tray menu\u2019s Rewrite item still works." : ".");
    alerts_.show({.title = "Shortcut Unavailable",
                  .message = message,
                  .style = AlertRequest::Style::warning,
                  .buttons = {"Open Settings", "OK"}},
                 [weak = std::weak_ptr(self_)](int button) {
                     auto self = weak.lock();
                     if (self && button == 0 && (*self)->views_.openSettings)
                         (*self)->views_.openSettings();
                 });
}

void AccountToneWiring::triggerTone() {
    if (settings_.mivoEnabled() && rewrite_.trigger)
        rewrite_.trigger();
}

void AccountToneWiring::logTone(const std::string& message) {
    log_.write("[Mivo][Tone] " + message);
}

}  // namespace mivo
