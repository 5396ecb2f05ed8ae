#include "account/auth_session_manager.hpp"

#include "account/auth_url.hpp"
#include "shared/service_address.hpp"

#include <algorithm>
#include <utility>

#include "account/auth_session_guard.hpp"

namespace mivo {
namespace {

using APIKind = MivoAPIClient::APIError::Kind;

constexpr const char* kAccessToken = "access_token";
constexpr const char* kRefreshToken = "refresh_token";
constexpr const char* kExpiresAt = "access_token_expires_at";
constexpr const char* kUserId = "user_id";
constexpr const char* kUserEmail = "user_email";

// Why a session ends without the user signing out.
constexpr const char* kRefreshRefused = "the service refused the refresh token (401)";
constexpr const char* kRenewedTokenRefused = "the service refused the renewed access token (401)";

void runAll(std::vector<std::function<void()>> callbacks) {
    for (auto& callback : callbacks)
        if (callback)
            callback();
}

}  // namespace

std::string AuthSessionManager::AuthError::errorDescription() const {
    switch (kind) {
        case Kind::callbackFailed:
            return "OAuth callback failed: " + underlying;
        case Kind::signInFailed:
            return "Sign in failed: " + underlying;
        case Kind::invalidAuthURL:
            return "Invalid OAuth URL received from server";
        case Kind::notAuthenticated:
            return "Not authenticated";
    }
    return {};
}

AuthSessionManager::AuthSessionManager(MivoAPIClient& api, KeychainStore& keychain,
                                       Scheduler& scheduler, Workspace& workspace,
                                       MainLoopPost mainLoop, Options options)
    : api_(api),
      keychain_(keychain),
      scheduler_(scheduler),
      workspace_(workspace),
      mainLoop_(std::move(mainLoop)),
      options_(options) {}

AuthSessionManager::AuthSessionManager(MivoAPIClient& api, KeychainStore& keychain,
                                       Scheduler& scheduler, Workspace& workspace,
                                       MainLoopPost mainLoop)
    : AuthSessionManager(api, keychain, scheduler, workspace, std::move(mainLoop), Options{}) {}

AuthSessionManager::~AuthSessionManager() {
    cancelUnderway();
}

std::optional<std::string> AuthSessionManager::currentUserId() const {
    if (!state_.isSignedIn())
        return std::nullopt;
    return state_.userId;
}

void AuthSessionManager::setState(State s) {
    state_ = std::move(s);
    if (onStateChanged)
        onStateChanged(state_);
}

// Compared, never subtracted: a stored expiry may lie at the far edge of
// what the clock holds, where a difference would overflow.
bool AuthSessionManager::aboutToExpire(Date expiry) const {
    const auto margin = std::chrono::duration_cast<WallClock::duration>(
        std::chrono::duration<double>(kRefreshMarginSeconds));
    return expiry < scheduler_.wallClockNow() + margin;
}

Date AuthSessionManager::expiryAfter(int64_t lifetimeSeconds) const {
    // The client has already refused or capped a lifetime the clock cannot
    // hold; the cap again here keeps this sum safe whoever calls it.
    const int64_t lifetime =
        std::clamp<int64_t>(lifetimeSeconds, 0, MivoAPIClient::kMaxTokenLifetimeSeconds);
    return scheduler_.wallClockNow() + std::chrono::seconds(lifetime);
}

void AuthSessionManager::wipeStoredSession() {
    for (const char* key : {kAccessToken, kExpiresAt, kRefreshToken, kUserId, kUserEmail})
        keychain_.remove(key);
}

// The end of a session: nothing of it may stay in memory, or it would be
// handed out after the keys are gone.
void AuthSessionManager::endSession(std::string why) {
    wipeStoredSession();
    accessToken_.reset();
    accessTokenExpiresAt_.reset();
    restorePending_ = false;
    setState(why.empty() ? State::signedOut() : State::sessionEnded(std::move(why)));
}

void AuthSessionManager::cancelUnderway() {
    restoreRequest_.cancel();
    refreshRequest_.cancel();
    signInRequest_.cancel();
    grantWait_.cancel();
    callbackListener_.reset();
}

// --- Restore ---------------------------------------------------------------

void AuthSessionManager::restoreSession(std::function<void()> done) {
    restoreWaiters_.push_back(std::move(done));
    if (restoreRunning_)
        return;  // the restore under way answers every caller
    restoreRunning_ = true;
    runRestore();
}

void AuthSessionManager::finishRestore() {
    restoreRunning_ = false;
    runAll(std::exchange(restoreWaiters_, {}));
}

// The store may have to ask a slow keyring first; the loop runs meanwhile.
void AuthSessionManager::runRestore() {
    keychain_.whenLoaded(guarded([this] { restoreFromStore(); }));
}

void AuthSessionManager::restoreFromStore() {
    const auto token = keychain_.get(kAccessToken);
    // A locked keyring keeps the session until it is unlocked; once it is,
    // the restore runs again and finds what it holds, or nothing.
    if (!token && keychain_.isLocked() && state_.kind == State::Kind::signedOut)
        setState(State::keyringLocked());
    else if (!token && state_.kind == State::Kind::keyringLocked)
        setState(State::signedOut());
    // Without a service nothing is sent; the stored keys stay for a run that
    // has one. An address that was set but refused is told at once: the
    // account card would otherwise show a plain sign-out.
    if (!api_.isConfigured() && state_.kind == State::Kind::signedOut) {
        if (const std::string why = noServiceText(); why != kNoServiceConfigured)
            setState(State::error(why));
    }
    if (!token || !api_.isConfigured()) {
        restorePending_ = false;
        return finishRestore();
    }
    auto afterRefresh = [this](RefreshOutcome outcome) {
        restorePending_ = outcome == RefreshOutcome::unchanged;
        finishRestore();
    };
    const auto expiry = keychain_.loadAccessTokenExpiresAt();
    if (expiry && aboutToExpire(*expiry))
        return tryRefreshSilently(afterRefresh);

    restoreRequest_ = api_.me(
        *token,
        guarded([this, token, afterRefresh](MivoAPIClient::Result<MivoAPIClient::MeResponse> user) {
            if (user) {
                accessToken_ = token;
                accessTokenExpiresAt_ = keychain_.loadAccessTokenExpiresAt();
                restorePending_ = false;
                setState(State::signedIn(user->userId, user->email));
                return finishRestore();
            }
            if (user.error().kind == APIKind::unauthorized)
                return tryRefreshSilently(afterRefresh);
            // Offline or the service failed: nothing changes, the keys stay.
            tellAddressFault(user.error());
            restorePending_ = true;
            finishRestore();
        }));
}

AuthSessionManager::State AuthSessionManager::unreachableState(
    const MivoAPIClient::APIError& error) const {
    return State::error(describeAPIError(error, api_.baseURL()), true,
                        isAddressFault(error, api_.baseURL()));
}

void AuthSessionManager::tellAddressFault(const MivoAPIClient::APIError& error) {
    // Only while nobody is signed in: a session that works keeps working
    // with the token it has. A service on this machine that does not
    // answer is told too: no network can be down between the two, and the
    // card would show a sign-out while the session waits in the keyring.
    if (!state_.isSignedIn() && (isAddressFault(error, api_.baseURL()) ||
                                 nothingListensOnThisMachine(error, api_.baseURL())))
        setState(unreachableState(error));
}

// --- Refresh ---------------------------------------------------------------

void AuthSessionManager::tryRefreshSilently(std::function<void(RefreshOutcome)> done) {
    const auto refreshToken = keychain_.get(kRefreshToken);
    if (!refreshToken) {
        endSession();
        return done(RefreshOutcome::signedOut);
    }
    refreshRequest_ = api_.refresh(
        *refreshToken,
        guarded([this, done](MivoAPIClient::Result<MivoAPIClient::TokenResponse> tokens) {
            if (!tokens) {
                if (tokens.error().kind == APIKind::unauthorized) {
                    endSession(kRefreshRefused);
                    return done(RefreshOutcome::signedOut);
                }
                // A stored session of an earlier day meets the address here
                // first: its access token has expired.
                tellAddressFault(tokens.error());
                return done(RefreshOutcome::unchanged);
            }
            const Date expiry = expiryAfter(tokens->expiresIn);
            keychain_.set(kAccessToken, tokens->accessToken);
            keychain_.set(kRefreshToken, tokens->refreshToken);
            keychain_.set(kExpiresAt, KeychainStore::formatExpiry(expiry));
            // The old token is spent: hand out the new one from now on, even if
            // reading the user fails below.
            accessToken_ = tokens->accessToken;
            accessTokenExpiresAt_ = expiry;
            refreshRequest_ = api_.me(
                tokens->accessToken,
                guarded([this, done](MivoAPIClient::Result<MivoAPIClient::MeResponse> user) {
                    if (user) {
                        setState(State::signedIn(user->userId, user->email));
                        return done(RefreshOutcome::signedIn);
                    }
                    if (user.error().kind == APIKind::unauthorized) {
                        endSession(kRenewedTokenRefused);
                        return done(RefreshOutcome::signedOut);
                    }
                    tellAddressFault(user.error());
                    done(RefreshOutcome::unchanged);
                }));
        }));
}

void AuthSessionManager::sharedRefresh(std::function<void()> done) {
    refreshWaiters_.push_back(std::move(done));
    if (refreshRunning_)
        return;
    refreshRunning_ = true;
    tryRefreshSilently([this](RefreshOutcome) { finishRefresh(); });
}

void AuthSessionManager::finishRefresh() {
    refreshRunning_ = false;
    runAll(std::exchange(refreshWaiters_, {}));
}

// --- Tokens ----------------------------------------------------------------

void AuthSessionManager::validAccessToken(std::function<void(TokenResult)> completion) {
    if (!state_.isSignedIn()) {
        if (!restorePending_ && !restoreRunning_)
            return completion(std::unexpected(AuthError{AuthError::Kind::notAuthenticated, {}}));
        // A start-up that found the service unreachable gets its second try now.
        return restoreSession(
            [this, completion = std::move(completion)] { afterRestoreForToken(completion); });
    }
    if (accessTokenExpiresAt_ && aboutToExpire(*accessTokenExpiresAt_))
        return sharedRefresh(
            [this, completion = std::move(completion)] { handOutToken(completion); });
    handOutToken(std::move(completion));
}

void AuthSessionManager::afterRestoreForToken(std::function<void(TokenResult)> completion) {
    if (!state_.isSignedIn())
        return completion(std::unexpected(AuthError{AuthError::Kind::notAuthenticated, {}}));
    if (accessTokenExpiresAt_ && aboutToExpire(*accessTokenExpiresAt_))
        return sharedRefresh(
            [this, completion = std::move(completion)] { handOutToken(completion); });
    handOutToken(std::move(completion));
}

// The state is not looked at again: a refresh that failed offline leaves
// the old token, which is still the best there is.
void AuthSessionManager::handOutToken(std::function<void(TokenResult)> completion) {
    if (accessToken_)
        return completion(*accessToken_);
    completion(std::unexpected(AuthError{AuthError::Kind::notAuthenticated, {}}));
}

// --- Sign-out --------------------------------------------------------------

void AuthSessionManager::signOut(std::function<void()> done) {
    ++generation_;
    cancelUnderway();
    const auto token = std::exchange(accessToken_, std::nullopt);
    pendingAuthURL_.reset();
    signInRunning_ = false;
    signInCompletion_ = nullptr;  // a sign-in ended by sign-out reports nothing
    endSession();
    // Whoever waited for the cancelled refresh or restore learns the outcome:
    // nobody is signed in.
    refreshRunning_ = false;
    runAll(std::exchange(refreshWaiters_, {}));
    restoreRunning_ = false;
    runAll(std::exchange(restoreWaiters_, {}));

    if (!token) {
        if (done)
            done();
        return;
    }
    // The service's answer changes nothing here: the session has ended.
    api_.logout(*token, [life = std::weak_ptr<Life>(life_),
                         done = std::move(done)](MivoAPIClient::Result<void>) {
        if (!life.expired() && done)
            done();
    });
}

}  // namespace mivo
