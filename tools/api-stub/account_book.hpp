#pragma once

// The stand-in server's accounts: one demo user, browser sign-ins waiting for
// their grant, grants bound to the device nonce that started them, access
// tokens with an expiry, refresh tokens that rotate on use, and sign-out that
// revokes both. Tokens are kept as their digests only. The signed-in
// sessions (the book) can be written out and read back, so that a sign-in
// outlives a restart of the stand-in.

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
    // Sessions kept at most; the oldest go first.
    static constexpr std::size_t kMaxSessions = 256;

    explicit AccountBook(int64_t expiresInSeconds) : expiresIn_(expiresInSeconds) {}

    // Validity of the access tokens handed out from now on.
    void setExpiresIn(int64_t seconds);
    int64_t expiresIn() const;

    // A sign-in waiting for the browser; returns its request id.
    std::string start(const std::string& deviceNonce, int callbackPort);
    // The browser finished signing in: a one-time grant for that request.
    std::optional<Grant> approve(const std::string& requestId);
    // The grant for the nonce that started its sign-in; each grant once.
    std::expected<Tokens, std::string> exchange(const std::string& grant,
                                                const std::string& deviceNonce);
    // New tokens for a refresh token not used before; the old one is spent.
    std::optional<Tokens> refresh(const std::string& refreshToken);
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
    };
    struct Session {
        std::string refreshDigest;
        Clock::time_point expiresAt;
        uint64_t serial = 0;  // order of issue, to let the oldest go
    };

    Tokens issue();
    std::string bookJsonLocked() const;
    void changed();

    mutable std::mutex mutex_;
    int64_t expiresIn_;
    std::map<std::string, PendingSignIn> pending_;
    std::map<std::string, std::string> grants_;         // grant -> device nonce
    std::map<std::string, Session> sessions_;           // access digest -> session
    std::map<std::string, std::string> refreshTokens_;  // refresh digest -> access digest
    uint64_t nextSerial_ = 0;
    std::function<void(const std::string&)> persist_;
};

}  // namespace mivo::stub
