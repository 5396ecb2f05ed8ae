#pragma once

// The user's session with the account web API: the state the tray, settings
// and onboarding show, the tokens, and the access token's expiry. Restores
// the stored session at start, refreshes the access token shortly before it
// expires (one refresh at a time, shared by every caller), hands a valid
// token to the rewrite engine, signs in through the browser and signs out.
//
// Everything runs on the main loop; network answers arrive there too. Each
// completion runs once, on the main loop — at once, inside the call, when
// nothing has to go over the network. Sign-out starts a new session
// generation: whatever an older one still had under way (a refresh, a
// restore, a sign-in waiting for the browser) is cancelled, and an answer
// that still arrives is dropped, so nobody is signed back in behind the
// user's back.

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "account/auth_session_state.hpp"
#include "account/desktop_callback_server.hpp"
#include "account/keychain_store.hpp"
#include "account/mivo_api_client.hpp"
#include "platform/cancel.hpp"
#include "platform/main_loop.hpp"
#include "platform/scheduler.hpp"
#include "platform/workspace.hpp"

namespace mivo {

class AuthSessionManager {
  public:
    using State = AuthSessionState;

    struct AuthError {
        enum class Kind { callbackFailed, signInFailed, invalidAuthURL, notAuthenticated };
        Kind kind = Kind::notAuthenticated;
        // callbackFailed, signInFailed: the wrapped failure's own text.
        std::string underlying;

        // "Sign in failed: …", "Invalid OAuth URL received from server", …
        std::string errorDescription() const;
        bool operator==(const AuthError&) const = default;
    };
    using TokenResult = std::expected<std::string, AuthError>;
    using SignInResult = std::expected<void, AuthError>;

    struct Options {
        // The loopback port that the browser comes back to; when another
        // program holds it, a free one (0: always a free one).
        uint16_t callbackPort = DesktopCallbackServer::kDefaultPort;
        double grantWaitSeconds = 300;
    };

    // The keychain is the store for the service "com.mivo.auth". `mainLoop`
    // brings the callback server's result back from its worker thread.
    AuthSessionManager(MivoAPIClient& api, KeychainStore& keychain, Scheduler& scheduler,
                       Workspace& workspace, MainLoopPost mainLoop, Options options);
    AuthSessionManager(MivoAPIClient& api, KeychainStore& keychain, Scheduler& scheduler,
                       Workspace& workspace, MainLoopPost mainLoop);
    ~AuthSessionManager();
    AuthSessionManager(const AuthSessionManager&) = delete;
    AuthSessionManager& operator=(const AuthSessionManager&) = delete;

    // Called with every assignment of the state, also when it does not change.
    std::function<void(const State&)> onStateChanged;

    const State& state() const { return state_; }
    bool isAuthenticated() const { return state_.isSignedIn(); }
    std::optional<std::string> currentUserId() const;
    const std::optional<std::string>& accessToken() const { return accessToken_; }

    // Takes the stored session back at start. When the service cannot be
    // reached, the stored keys stay and the next token request or sign-in
    // tries again.
    void restoreSession(std::function<void()> done = {});

    // The browser sign-in: asks the service for a sign-in page, opens it,
    // waits up to five minutes for the browser to come back to the loopback
    // port with a grant, exchanges it for tokens, reads the user, stores
    // everything and ends `signedIn`. Signed in already: succeeds at once.
    // A sign-in already under way: opens its page again and succeeds at once.
    // A failure leaves the state `error(text)` and completes with the error;
    // a sign-in ended by signOut() never completes.
    void startSignIn(std::function<void(SignInResult)> completion = {});

    // Ends the session at once (memory, keychain, `signedOut`), cancels what
    // the session had under way, then tells the service; `done` runs after
    // the service answered or could not be reached.
    void signOut(std::function<void()> done = {});

    // The access token for a request, refreshed first when it has less than
    // 60 seconds left; `notAuthenticated` when nobody is signed in.
    void validAccessToken(std::function<void(TokenResult)> completion);

    // Less than this much time left counts as about to expire.
    static constexpr double kRefreshMarginSeconds = 60;

  private:
    enum class RefreshOutcome { signedIn, signedOut, unchanged };
    struct Life {};

    template <typename F>
    auto guarded(F f);

    void setState(State s);
    bool aboutToExpire(Date expiry) const;
    // Now on the calendar clock plus the token's lifetime.
    Date expiryAfter(int64_t lifetimeSeconds) const;
    void wipeStoredSession();
    // `why`: the service ended the session (the user is told), not the user.
    void endSession(std::string why = {});

    void runRestore();
    void restoreFromStore();
    void finishRestore();
    void tryRefreshSilently(std::function<void(RefreshOutcome)> done);
    void sharedRefresh(std::function<void()> done);
    void finishRefresh();
    void afterRestoreForToken(std::function<void(TokenResult)> completion);
    void handOutToken(std::function<void(TokenResult)> completion);

    void beginSignIn(std::function<void(SignInResult)> completion);
    std::expected<DesktopCallbackServer::Listener, DesktopCallbackServer::ServerError>
    bindCallbackPort(uint16_t preferred);
    void openSignInPage(const std::string& nonce, const std::string& authUrl);
    void waitForCallback(const std::string& nonce);
    void exchangeGrant(const std::string& nonce, DesktopCallbackServer::Callback callback);
    void completeSignIn(const MivoAPIClient::TokenResponse& tokens,
                        const MivoAPIClient::MeResponse& user);
    // `cause`: the account API's failure, when one ended the attempt (the
    // state tells whether nothing answered and whether the address is at
    // fault).
    void failSignIn(AuthError error, bool wrap, const MivoAPIClient::APIError* cause = nullptr);
    // The state for a failure to reach the service, by its words.
    State unreachableState(const MivoAPIClient::APIError& error) const;
    // Tells an address that cannot work, or a service on this machine that
    // does not answer, which a restore or refresh met, on the account card:
    // it would otherwise show a sign-out that never happened.
    void tellAddressFault(const MivoAPIClient::APIError& error);
    void cancelUnderway();

    MivoAPIClient& api_;
    KeychainStore& keychain_;
    Scheduler& scheduler_;
    Workspace& workspace_;
    MainLoopPost mainLoop_;
    Options options_;

    State state_ = State::signedOut();
    std::optional<std::string> accessToken_;
    // On the calendar clock, as stored: an expiry must mean the same after a
    // reboot or a long suspend, which uptime does not.
    std::optional<Date> accessTokenExpiresAt_;
    std::optional<std::string> pendingAuthURL_;
    // The sign-in's loopback port, bound from before the start request until
    // the attempt ends; the wait for the browser ends at the deadline, over
    // as many rounds as refused grants make it take.
    std::shared_ptr<DesktopCallbackServer::Listener> callbackListener_;
    TimePoint grantDeadline_;

    // Bumped by sign-out; answers of an older generation are dropped.
    uint64_t generation_ = 0;
    // The stored session could not be checked (service unreachable): try again
    // on the next token request or sign-in.
    bool restorePending_ = false;
    bool restoreRunning_ = false;
    std::vector<std::function<void()>> restoreWaiters_;
    bool refreshRunning_ = false;
    std::vector<std::function<void()>> refreshWaiters_;
    bool signInRunning_ = false;
    std::function<void(SignInResult)> signInCompletion_;

    // What is under way, cancelled by sign-out.
    Cancel restoreRequest_;
    Cancel refreshRequest_;
    Cancel signInRequest_;
    Cancel grantWait_;

    std::shared_ptr<Life> life_ = std::make_shared<Life>();
};

}  // namespace mivo
