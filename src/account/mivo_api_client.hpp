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
        int64_t expiresIn = 0;  // seconds the access token stays valid
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

    // The development server, when MIVO_API_URL is absent.
    static constexpr const char* kDevelopmentBaseURL = "http://127.0.0.1:8787";
    // MIVO_API_URL exactly as set (even empty), else the development server.
    static std::string baseURLFromEnvironment();

    // `baseURL` goes unchanged in front of every path.
    MivoAPIClient(HttpTransport& transport, std::string baseURL);

    const std::string& baseURL() const { return baseURL_; }

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

    // Idle limit of every request: the session's 30 s, the stricter of its
    // limit and the request's own 60 s.
    static constexpr double kIdleTimeoutSeconds = 30;

  private:
    HttpTransport& transport_;
    std::string baseURL_;
};

}  // namespace mivo
