// The browser sign-in of the session manager: start → open the sign-in page
// → the browser comes back to the loopback port with a grant → exchange →
// read the user → store and sign in.

#include <random>
#include <utility>

#include "account/auth_session_guard.hpp"
#include "account/auth_session_manager.hpp"
#include "account/auth_url.hpp"

namespace mivo {
namespace {

using APIError = MivoAPIClient::APIError;

// A new random UUID in its canonical upper-case form, without the dashes:
// 32 hexadecimal digits.
std::string makeDeviceNonce() {
    std::random_device device;
    std::uniform_int_distribution<int> nibble(0, 15);
    constexpr const char* kDigits = "0123456789ABCDEF";
    std::string nonce(32, '0');
    for (auto& c : nonce)
        c = kDigits[nibble(device)];
    nonce[12] = '4';                              // version 4
    nonce[16] = kDigits[8 + nibble(device) % 4];  // the variant bits 10xx
    return nonce;
}

}  // namespace

void AuthSessionManager::startSignIn(std::function<void(SignInResult)> completion) {
    if (!completion)
        completion = [](SignInResult) {};
    if (state_.kind == State::Kind::signedIn || state_.kind == State::Kind::signingIn ||
        (!restorePending_ && !restoreRunning_))
        return beginSignIn(std::move(completion));
    // The stored session could not be checked at start: it may still be good,
    // and then no browser is needed.
    restoreSession(guarded([this, completion = std::move(completion)]() mutable {
        beginSignIn(std::move(completion));
    }));
}

void AuthSessionManager::beginSignIn(std::function<void(SignInResult)> completion) {
    switch (state_.kind) {
        case State::Kind::signedIn:
            return completion({});
        case State::Kind::signingIn:
            // One attempt at a time: bring its page to the front again.
            if (pendingAuthURL_)
                workspace_.openURL(*pendingAuthURL_);
            return completion({});
        case State::Kind::signedOut:
        case State::Kind::error:
            break;
    }
    signInRunning_ = true;
    signInCompletion_ = std::move(completion);
    setState(State::signingIn());
    const std::string nonce = makeDeviceNonce();
    signInRequest_ = api_.desktopStart(
        nonce, options_.callbackPort,
        guarded([this, nonce](MivoAPIClient::Result<MivoAPIClient::DesktopStartResponse> start) {
            if (!start)
                return failSignIn(
                    AuthError{AuthError::Kind::signInFailed, describeAPIError(start.error())},
                    true);
            openSignInPage(nonce, start->authUrl);
        }));
}

void AuthSessionManager::openSignInPage(const std::string& nonce, const std::string& authUrl) {
    // Only a page the browser can show safely: https, or http on this machine.
    if (!isAcceptableAuthURL(authUrl))
        return failSignIn(AuthError{AuthError::Kind::invalidAuthURL, {}}, false);
    // The port is bound before the browser is sent there, so a busy port fails
    // here instead of leaving a page that leads nowhere.
    auto listener = DesktopCallbackServer::listenOnLoopback(options_.callbackPort);
    if (!listener)
        return failSignIn(AuthError{AuthError::Kind::signInFailed, listener.error().description()},
                          true);
    grantWait_ = DesktopCallbackServer::waitForGrant(
        std::move(*listener), options_.grantWaitSeconds, mainLoop_,
        guarded([this, nonce](DesktopCallbackServer::Result grant) {
            if (!grant)
                return failSignIn(
                    AuthError{AuthError::Kind::signInFailed, grant.error().description()}, true);
            exchangeGrant(nonce, *grant);
        }));
    pendingAuthURL_ = authUrl;
    workspace_.openURL(authUrl);
}

void AuthSessionManager::exchangeGrant(const std::string& nonce, const std::string& grant) {
    signInRequest_ = api_.desktopExchange(
        grant, nonce, guarded([this](MivoAPIClient::Result<MivoAPIClient::TokenResponse> tokens) {
            if (!tokens)
                return failSignIn(
                    AuthError{AuthError::Kind::signInFailed, describeAPIError(tokens.error())},
                    true);
            signInRequest_ =
                api_.me(tokens->accessToken,
                        guarded([this, tokens = *tokens](
                                    MivoAPIClient::Result<MivoAPIClient::MeResponse> user) {
                            if (!user)
                                return failSignIn(AuthError{AuthError::Kind::signInFailed,
                                                            describeAPIError(user.error())},
                                                  true);
                            completeSignIn(tokens, *user);
                        }));
        }));
}

void AuthSessionManager::completeSignIn(const MivoAPIClient::TokenResponse& tokens,
                                        const MivoAPIClient::MeResponse& user) {
    const TimePoint expiry = scheduler_.now() + seconds(static_cast<double>(tokens.expiresIn));
    keychain_.set("access_token", tokens.accessToken);
    keychain_.set("refresh_token", tokens.refreshToken);
    keychain_.set("access_token_expires_at", KeychainStore::formatExpiry(expiry));
    keychain_.set("user_id", user.userId);
    keychain_.set("user_email", user.email);
    accessToken_ = tokens.accessToken;
    accessTokenExpiresAt_ = expiry;
    pendingAuthURL_.reset();
    restorePending_ = false;
    signInRunning_ = false;
    setState(State::signedIn(user.userId, user.email));
    if (auto completion = std::exchange(signInCompletion_, nullptr))
        completion({});
}

// `wrap`: the state shows the bare text, the caller gets it after "Sign in
// failed: "; an AuthError of the flow's own is shown as it is.
void AuthSessionManager::failSignIn(AuthError error, bool wrap) {
    grantWait_.cancel();
    pendingAuthURL_.reset();
    signInRunning_ = false;
    setState(State::error(wrap ? error.underlying : error.errorDescription()));
    if (auto completion = std::exchange(signInCompletion_, nullptr))
        completion(std::unexpected(std::move(error)));
}

}  // namespace mivo
