#pragma once

// The stand-in server's accounts: one demo user, browser sign-ins waiting for
// their grant, grants bound to the device nonce that started them, access
// tokens with an expiry, refresh tokens that rotate on use, and sign-out that
// revokes both. Tokens are kept as their digests only. The signed-in
// sessions (the book) can be written out and read back, so that a sign-in
// outlives a restart of the stand-in.
//
// Other users of the machine are turned away before they reach the book
// (own_user_server.hpp), but the user's own programs share it, so nothing
// one of them does may end or spoil the user's sign-in: unfinished sign-ins
// expire and are capped, and past a cap new ones are refused rather than old
// ones pushed out.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace mivo::stub {

struct Tokens {
    std::string accessToken;
    std::string refreshToken;
    int64_t expiresIn = 0;
};

struct User {
    std::string userId;
    std::string email;
};

struct Grant {
    std::string grant;
    int callbackPort = 0;
};

class AccountBook {
  public:
    // The calendar clock: an expiry must mean the same after a restart.
    using Clock = std::chrono::system_clock;
    // Sessions kept at most; past it new sign-ins are refused until a
    // session ends or can no longer be renewed.
    static constexpr std::size_t kMaxSessions = 256;
    // Sign-ins waiting for the browser or for their exchange; each lasts
    // twice as long as Mivo waits for the browser.
    static constexpr std::size_t kMaxPendingSignIns = 256;
    static constexpr std::chrono::minutes kSignInLifetime{10};
    // A refresh token works this long after its access token expired.
    static constexpr std::chrono::days kRefreshLifetime{30};
    // A refresh token just replaced works once more for this long: the
    // answer that carried its successor may have been lost on the way, and
    // the client still holds only the old one.
    static constexpr std::chrono::seconds kReuseGrace{30};
    // Mivo gives up on a refresh after this long. A request that waited
    // longer is not served: its answer would reach nobody, and the client
    // would try again with the token that serving it spent.
    static constexpr std::chrono::seconds kClientPatience{12};

    // Refusals of start() and exchange() for a full book.
    static constexpr const char* kTooManySignIns = "too_many_sign_ins";
    static constexpr const char* kTooManySessions = "too_many_sessions";
    // Refusals of refresh().
    static constexpr const char* kInvalidRefreshToken = "invalid_refresh_token";
    static constexpr const char* kTooLate = "request_timeout";

    explicit AccountBook(int64_t expiresInSeconds,
                         std::function<Clock::time_point()> now = Clock::now)
        : now_(std::move(now)), expiresIn_(expiresInSeconds) {}

    // Validity of the access tokens handed out from now on.
    void setExpiresIn(int64_t seconds);
    int64_t expiresIn() const;

    // A sign-in waiting for the browser: its request id, or kTooManySignIns.
    std::expected<std::string, std::string> start(const std::string& deviceNonce, int callbackPort);
    // The browser finished signing in: the sign-in's one grant, the same
    // however often it is asked for until it is exchanged or expires. Who
    // else saw the request id gets nothing the device's nonce does not
    // unlock, and the user's browser still gets the grant Mivo can use.
    std::optional<Grant> approve(const std::string& requestId);
    // The grant for the nonce that started its sign-in; each grant once.
    // "invalid_grant", "nonce_mismatch" (the grant stays good) or
    // kTooManySessions (likewise).
    std::expected<Tokens, std::string> exchange(const std::string& grant,
                                                const std::string& deviceNonce);
    // New tokens for a refresh token not used before, or used once within
    // kReuseGrace of its replacement (whose tokens it then replaces in
    // turn); the old one is spent. kInvalidRefreshToken, or kTooLate (and
    // nothing changed) for a request received more than kClientPatience ago.
    std::expected<Tokens, std::string> refresh(const std::string& refreshToken,
                                               Clock::time_point receivedAt);
    void logout(const std::string& accessToken);
    // The user of an access token that is known, not revoked and not expired.
    std::optional<User> userFor(const std::string& accessToken) const;

    static User demoUser();

    // The signed-in sessions as a JSON document.
    std::string bookJson() const;
    // Replaces the sessions with those of a document from bookJson(); a
    // complaint (and nothing changed) when it does not fit.
    std::optional<std::string> loadBook(std::string_view document);
    // Called with bookJson() after every change to the sessions, in order.
    void onBookChanged(std::function<void(const std::string&)> persist);

  private:
    struct PendingSignIn {
        std::string deviceNonce;
        int callbackPort = 0;
        Clock::time_point startedAt;
        std::string grant;  // once approved
    };
    struct Session {
        std::string refreshDigest;
        Clock::time_point expiresAt;
        uint64_t serial = 0;  // order of issue, to let the oldest go
        // The refresh token this session's replaced, good once more until
        // replacedUntil; not kept in the book, as it lasts only seconds.
        std::string replacedDigest;
        Clock::time_point replacedUntil;
    };
    using Sessions = std::map<std::string, Session>;

    // A new session; `replaced` (a refresh digest) stays good for the grace.
    Tokens issue(const std::string& replaced = {});
    void erase(Sessions::iterator session);
    bool renewable(const Session& session) const;
    void dropExpiredSignIns();
    // Whether a dead session went.
    bool dropDeadSessions();
    std::string bookJsonLocked() const;
    void changed();

    std::function<Clock::time_point()> now_;
    mutable std::mutex mutex_;
    int64_t expiresIn_;
    std::map<std::string, PendingSignIn> pending_;       // request id -> sign-in
    std::map<std::string, std::string> grants_;          // grant digest -> request id
    Sessions sessions_;                                  // access digest -> session
    std::map<std::string, std::string> refreshTokens_;   // refresh digest -> access digest
    std::map<std::string, std::string> replacedTokens_;  // replaced refresh digest -> access
    uint64_t nextSerial_ = 0;
    std::function<void(const std::string&)> persist_;
};

}  // namespace mivo::stub
