// The account session: sign-in and sign-out from the tray, the settings
// window and the onboarding, the keyring's warnings, and every place the
// account is shown.

#include "app/root.hpp"

namespace mivo {

// The development file when asked for; otherwise the keyring, called off
// the main loop so that a stuck Secret Service freezes nothing.
KeychainStore Root::makeKeychain(std::shared_ptr<SecretStore> secrets, Log& log,
                                 Scheduler& scheduler) {
    if (auto devFile = KeychainStore::devFileFromEnvironment())
        return KeychainStore("com.mivo.auth", *secrets, log, devFile);
    return KeychainStore(
        "com.mivo.auth", secrets, log,
        KeychainStore::Offload{.post = linux_desktop::qtMainLoopPost(), .scheduler = &scheduler});
}

void Root::wireAccount() {
    shell_.onSignIn = [this] { accountTone_.beginSignIn(); };
    shell_.onSignOut = [this] { accountTone_.signOut(); };
    onboardingWindow_.model().onSignIn = [this] { accountTone_.beginSignIn(); };
    settingsWindow_.model().onSignIn = [this] { accountTone_.beginSignIn(); };
    settingsWindow_.model().onSignOut = [this] { accountTone_.signOut(); };
    keychain_.onNotRemembered = [this] { accountTone_.tellSignInNotRemembered(); };
    // The sign-in a locked keyring kept back comes back once it is unlocked.
    keychain_.onUnlocked = [this] { accountTone_.restoreSession(); };
    authSession_.onStateChanged = [this](const AuthSessionState& state) {
        accountTone_.handleAuthStateChanged(state);
    };
}

AccountToneWiring::Account Root::accountHooks() {
    return {
        .state = [this] { return authSession_.state(); },
        .startSignIn =
            [this](std::function<void(std::optional<std::string>)> done) {
                authSession_.startSignIn([done = std::move(done)](
                                             AuthSessionManager::SignInResult result) {
                    done(result ? std::nullopt : std::optional(result.error().errorDescription()));
                });
            },
        .signOut = [this] { authSession_.signOut(); },
        .restoreSession = [this] { authSession_.restoreSession(); },
        .validAccessToken =
            [this](std::function<void(std::optional<std::string>)> done) {
                authSession_.validAccessToken(
                    [done = std::move(done)](AuthSessionManager::TokenResult token) {
                        done(token ? std::optional(*token) : std::nullopt);
                    });
            },
    };
}

AccountToneWiring::Views Root::accountViews() {
    return {
        .settings =
            [this](const AuthSessionState& state) { settingsWindow_.model().update(state); },
        .onboarding = [this](bool signedIn) { onboardingWindow_.model().setSignedIn(signedIn); },
        .tray = [this](const AuthSessionState& state) { shell_.updateAuthState(state); },
        .trayShortcut =
            [this](const std::string& shortcut) {
                shell_.setRewriteShortcutDisplay(shortcut);
                // The ready slide keeps naming the configured shortcut
                // while it is taken: it is the one to press once freed.
                if (!shortcut.empty())
                    onboardingWindow_.model().setRewriteShortcutDisplay(shortcut);
            },
        .settingsShortcutActive =
            [this](bool active) { settingsWindow_.model().setToneHotKeyActive(active); },
        .openSettings = [this] { openSettingsWindow(); },
        .onboardingSigningIn =
            [this](bool signingIn) { onboardingWindow_.model().setSigningIn(signingIn); },
        .hasTray = [this] { return trayAvailable_; },
    };
}

}  // namespace mivo
