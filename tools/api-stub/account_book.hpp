#pragma once

// The stand-in server's accounts: one demo user, browser sign-ins waiting for
// their grant, grants bound to the device nonce that started them, access
// tokens with an expiry, refresh tokens that rotate on use, and sign-out that
// revokes both.

#include <chrono>
#include <cstdint>
#include <expected>
#include <map>
#include <mutex>
#include <optional>
#include <string>

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
    using Clock = std::chrono::steady_clock;

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

  private:
    struct PendingSignIn {
        std::string deviceNonce;
        int callbackPort = 0;
    };
    struct Session {
        std::string refreshToken;
        Clock::time_point expiresAt;
    };

    Tokens issue();

    mutable std::mutex mutex_;
    int64_t expiresIn_;
    std::map<std::string, PendingSignIn> pending_;
    std::map<std::string, std::string> grants_;         // grant -> device nonce
    std::map<std::string, Session> sessions_;           // access token -> session
    std::map<std::string, std::string> refreshTokens_;  // refresh -> access token
};

}  // namespace mivo::stub
