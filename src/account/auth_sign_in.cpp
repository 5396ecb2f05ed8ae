// The browser sign-in of the session manager: start → open the sign-in page
// → the browser comes back to the loopback port with a grant → exchange →
// read the user → store and sign in.

#include <algorithm>
#include <cerrno>
#include <utility>

#include "account/auth_session_guard.hpp"
#include "account/auth_session_manager.hpp"
#include "account/auth_url.hpp"
#include "shared/service_address.hpp"
#include "shared/uuid.hpp"

namespace mivo {
namespace {

using APIError = MivoAPIClient::APIError;

// A new random UUID in its canonical upper-case form, without the dashes:
// 32 hexadecimal digits.
std::string makeDeviceNonce() {
    std::string nonce = text::makeUuid();
    std::erase(nonce, '-');
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
        case State::Kind::keyringLocked:
            break;
    }
    signInRunning_ = true;
    signInCompletion_ = std::move(completion);
    setState(State::signingIn());
    if (!api_.isConfigured())
        return failSignIn(AuthError{AuthError::Kind::signInFailed, noServiceText()}, true);
    // The port is bound before the service hears of it, so the start request
    // names the port that really listens, and a busy one fails before the
    // browser is sent anywhere.
    auto listener = bindCallbackPort(options_.callbackPort);
    if (!listener)
        return failSignIn(AuthError{AuthError::Kind::signInFailed, listener.error().description()},
                          true);
    callbackListener_ = std::make_shared<DesktopCallbackServer::Listener>(std::move(*listener));
    const std::string nonce = makeDeviceNonce();
    signInRequest_ = api_.desktopStart(
        nonce, callbackListener_->port(),
        guarded([this, nonce](MivoAPIClient::Result<MivoAPIClient::DesktopStartResponse> start) {
            if (!start)
                return failSignIn(AuthError{AuthError::Kind::signInFailed,
                                            describeAPIError(start.error(), api_.baseURL())},
                                  true, &start.error());
            openSignInPage(nonce, start->authUrl);
        }));
}

// The preferred port, or, when another program holds it, any free loopback
// port: the start request carries whichever is bound.
std::expected<DesktopCallbackServer::Listener, DesktopCallbackServer::ServerError>
AuthSessionManager::bindCallbackPort(uint16_t preferred) {
    auto listener = DesktopCallbackServer::listenOnLoopback(preferred);
    if (!listener && preferred != 0 &&
        listener.error().kind == DesktopCallbackServer::ServerError::Kind::bindFailed &&
        listener.error().errnoValue == EADDRINUSE)
        return DesktopCallbackServer::listenOnLoopback(0);
    return listener;
}

void AuthSessionManager::openSignInPage(const std::string& nonce, const std::string& authUrl) {
    // Only a page the browser can show safely: https, or http on this machine.
    if (!isAcceptableAuthURL(authUrl))
        return failSignIn(AuthError{AuthError::Kind::invalidAuthURL, {}}, false);
    grantDeadline_ = scheduler_.now() + seconds(options_.grantWaitSeconds);
    waitForCallback(nonce);
    pendingAuthURL_ = authUrl;
    workspace_.openURL(authUrl);
}

// One round of waiting at the loopback port. Any local program can reach it,
// so a grant proves nothing until the service takes it: a refused one is
// answered and the wait goes on for the time that is left.
void AuthSessionManager::waitForCallback(const std::string& nonce) {
    const double left = std::chrono::duration<double>(grantDeadline_ - scheduler_.now()).count();
    grantWait_ = DesktopCallbackServer::waitForCallback(
        callbackListener_, std::max(left, 0.0), mainLoop_,
        guarded([this, nonce](DesktopCallbackServer::CallbackResult callback) {
            if (!callback)
                return failSignIn(
                    AuthError{AuthError::Kind::signInFailed, callback.error().description()}, true);
            exchangeGrant(nonce, std::move(*callback));
        }));
}

void AuthSessionManager::exchangeGrant(const std::string& nonce,
                                       DesktopCallbackServer::Callback callback) {
    auto reply = callback.reply;
    signInRequest_ = api_.desktopExchange(
        callback.grant, nonce,
        guarded([this, nonce, reply](MivoAPIClient::Result<MivoAPIClient::TokenResponse> tokens) {
            if (!tokens && tokens.error().kind == MivoAPIClient::APIError::Kind::badRequest) {
                // Not a grant of this sign-in: whoever sent it hears so, and
                // the browser may still come.
                if (reply)
                    reply->refuse();
                return waitForCallback(nonce);
            }
            if (!tokens) {
                if (reply)
                    reply->refuse();
                return failSignIn(AuthError{AuthError::Kind::signInFailed,
                                            describeAPIError(tokens.error(), api_.baseURL())},
                                  true, &tokens.error());
            }
            callbackListener_.reset();
            signInRequest_ = api_.me(
                tokens->accessToken,
                guarded([this, tokens = *tokens,
                         reply](MivoAPIClient::Result<MivoAPIClient::MeResponse> user) {
                    if (!user) {
                        if (reply)
                            reply->refuse();
                        return failSignIn(AuthError{AuthError::Kind::signInFailed,
                                                    describeAPIError(user.error(), api_.baseURL())},
                                          true, &user.error());
                    }
                    if (reply)
                        reply->accept();
                    completeSignIn(tokens, *user);
                }));
        }));
}

void AuthSessionManager::completeSignIn(const MivoAPIClient::TokenResponse& tokens,
                                        const MivoAPIClient::MeResponse& user) {
    const Date expiry = expiryAfter(tokens.expiresIn);
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
void AuthSessionManager::failSignIn(AuthError error, bool wrap,
                                    const MivoAPIClient::APIError* cause) {
    grantWait_.cancel();
    callbackListener_.reset();
    pendingAuthURL_.reset();
    signInRunning_ = false;
    State failed = State::error(wrap ? error.underlying : error.errorDescription());
    if (cause && isUnreachable(*cause))
        failed = unreachableState(*cause);
    setState(std::move(failed));
    if (auto completion = std::exchange(signInCompletion_, nullptr))
        completion(std::unexpected(std::move(error)));
}

}  // namespace mivo
