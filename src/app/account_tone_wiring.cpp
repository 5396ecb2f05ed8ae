#include "app/account_tone_wiring.hpp"

#include <utility>

#include "app/mivo_settings_store.hpp"

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
    if (views_.settings)
        views_.settings(state);
    if (views_.onboarding)
        views_.onboarding(!isSignedOut());
    if (views_.tray)
        views_.tray(state.isSignedIn() ? std::optional(state.email) : std::nullopt);
}

void AccountToneWiring::refreshSettingsAccount() {
    if (views_.settings && account_.state)
        views_.settings(account_.state());
}

bool AccountToneWiring::isSignedOut() const {
    return !account_.state || !account_.state().isSignedIn();
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
    views_.trayShortcut(stored.display);
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
    views_.trayShortcut(hotKey.display);
}

void AccountToneWiring::startRewriteEngine() {
    if (running_)
        return;
    running_ = true;
    if (rewrite_.start()) {
        lastGoodToneHotKey_ = settings_.toneHotKey();
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

void AccountToneWiring::refuse(const HotKeyConfig& refused) {
    const std::string message = "\u201C" + refused.display +
                                "\u201D is already in use by another app or the system. "
                                "Reverting to " +
                                lastGoodToneHotKey_.display + ".";
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

void AccountToneWiring::triggerTone() {
    if (settings_.mivoEnabled() && rewrite_.trigger)
        rewrite_.trigger();
}

void AccountToneWiring::logTone(const std::string& message) {
    log_.write("[Mivo][Tone] " + message);
}

}  // namespace mivo
