#pragma once

// The account web API: start a browser sign-in, exchange its grant for
// tokens, refresh them, read the signed-in user, sign out. Builds each
// request, checks the status, decodes the answer strictly; keeps no session
// state of its own.

#include <cstdint>
#include <expected>
#include <functional>
#include <string>

#include "platform/cancel.hpp"
#include "platform/http_transport.hpp"
#include "shared/json_fwd.hpp"

namespace mivo {

class MivoAPIClient final {
  public:
    struct MeResponse {
        std::string userId;
        std::string email;
        bool operator==(const MeResponse&) const = default;
    };
    struct DesktopStartResponse {
        std::string authUrl;
        std::string requestId;
        bool operator==(const DesktopStartResponse&) const = default;
    };
    struct TokenResponse {
        std::string accessToken;
        std::string refreshToken;
        // Seconds the access token stays valid: at least 1, at most
        // kMaxTokenLifetimeSeconds.
        int64_t expiresIn = 0;
        bool operator==(const TokenResponse&) const = default;
    };

    // No user-facing texts here: callers say what a failure means.
    struct APIError {
        enum class Kind { badRequest, serverError, decodingFailed, networkFailed, unauthorized };
        Kind kind = Kind::serverError;
        // badRequest: the server's "error" or "Bad request"; decodingFailed:
        // what the decoder found wrong; networkFailed: the transport's detail.
        std::string message;
        // serverError: the HTTP status.
        int statusCode = 0;
        // networkFailed: how the transport failed.
        HttpFailure transportFailure;
    };

    template <typename T>
    using Result = std::expected<T, APIError>;
    template <typename T>
    using Completion = std::function<void(Result<T>)>;

    // Idle limit of every request: the session's 30 s, the stricter of its
    // limit and the request's own 60 s.
    static constexpr double kIdleTimeoutSeconds = 30;
    // Limit of a whole request, as for the rewrite service: a server that
    // trickles bytes, or sends interim answers or trailers without end,
    // never holds a sign-in or a token request longer than this.
    static constexpr double kTotalTimeoutSeconds = 12;
    struct Limits {
        double idleSeconds = kIdleTimeoutSeconds;
        double totalSeconds = kTotalTimeoutSeconds;
    };

    // `baseURL` goes unchanged in front of every path; empty: no service is
    // configured, and the caller must not send (see isConfigured()).
    MivoAPIClient(HttpTransport& transport, std::string baseURL);
    MivoAPIClient(HttpTransport& transport, std::string baseURL, Limits limits);

    const std::string& baseURL() const { return baseURL_; }
    bool isConfigured() const { return !baseURL_.empty(); }

    // Each operation answers once, on the main loop, unless cancelled through
    // the returned handle: a cancelled call never answers.
    Cancel me(const std::string& accessToken, Completion<MeResponse> completion);
    Cancel desktopStart(const std::string& deviceNonce, int callbackPort,
                        Completion<DesktopStartResponse> completion);
    Cancel desktopExchange(const std::string& grant, const std::string& deviceNonce,
                           Completion<TokenResponse> completion);
    Cancel refresh(const std::string& refreshToken, Completion<TokenResponse> completion);
    // Any HTTP status counts as signed out; only a failed transfer is an error.
    Cancel logout(const std::string& accessToken, Completion<void> completion);

    // A longer lifetime is taken as this long: nobody issues tokens for
    // longer, and a year keeps every sum with the calendar clock far from
    // overflowing.
    static constexpr int64_t kMaxTokenLifetimeSeconds = 365LL * 24 * 3600;

  private:
    HttpRequest request(std::string method, const std::string& path) const;
    HttpRequest jsonPost(const std::string& path, const json::Json& body) const;

    HttpTransport& transport_;
    std::string baseURL_;
    Limits limits_;
};

}  // namespace mivo
