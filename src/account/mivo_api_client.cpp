#include "account/mivo_api_client.hpp"

#include <algorithm>
#include <utility>

#include "platform/answer_limits.hpp"
#include "shared/json.hpp"

namespace mivo {

namespace {

using json::Json;
using APIError = MivoAPIClient::APIError;

std::string serialise(const Json& body) {
    // Text that is not UTF-8 is replaced, never a reason to stop.
    return body.dump(-1, ' ', false, Json::error_handler_t::replace);
}

HttpRequest withBearer(HttpRequest r, const std::string& token) {
    r.headers.push_back({"Authorization", "Bearer " + token});
    return r;
}

// A 400's message: the "error" of a body that is an object of strings only.
std::string badRequestMessage(const std::string& body) {
    constexpr const char* fallback = "Bad request";
    try {
        const Json j = json::parse(body);
        if (!j.is_object())
            return fallback;
        for (const auto& [key, value] : j.items()) {
            if (!value.is_string())
                return fallback;
        }
        auto it = j.find("error");
        return it == j.end() ? fallback : it->get<std::string>();
    } catch (const json::DecodingError&) {
        return fallback;
    }
}

std::optional<APIError> statusFailure(const HttpResponse& response) {
    const int status = response.status;
    if (status >= 200 && status <= 299)
        return std::nullopt;
    if (status == 400)
        return APIError{APIError::Kind::badRequest, badRequestMessage(response.body), 0, {}};
    if (status == 401)
        return APIError{APIError::Kind::unauthorized, {}, 0, {}};
    return APIError{APIError::Kind::serverError, {}, status, {}};
}

APIError networkFailed(const HttpFailure& failure) {
    return APIError{APIError::Kind::networkFailed, failure.detail, 0, failure};
}

MivoAPIClient::MeResponse decodeMe(const Json& j) {
    auto userId = json::requireString(j, "user_id");
    auto email = json::requireString(j, "email");
    return {std::move(userId), std::move(email)};
}

MivoAPIClient::DesktopStartResponse decodeStart(const Json& j) {
    auto authUrl = json::requireString(j, "auth_url");
    auto requestId = json::requireString(j, "request_id");
    return {std::move(authUrl), std::move(requestId)};
}

MivoAPIClient::TokenResponse decodeTokens(const Json& j) {
    auto access = json::requireString(j, "access_token");
    auto refresh = json::requireString(j, "refresh_token");
    // Whole seconds only: a fraction or a string is a broken answer.
    const int64_t expiresIn = json::requireInteger(j, "expires_in");
    // A token that is dead on arrival would make every request refresh;
    // one beyond a year is capped before anything adds it to a date.
    if (expiresIn < 1)
        throw json::DecodingError("expires_in: " + std::to_string(expiresIn) +
                                  " is not a lifetime");
    return {std::move(access), std::move(refresh),
            std::min(expiresIn, MivoAPIClient::kMaxTokenLifetimeSeconds)};
}

// Sends, applies the status rule, decodes; a cancelled request never answers.
template <typename T>
Cancel call(HttpTransport& transport, HttpRequest r, T (*decode)(const Json&),
            MivoAPIClient::Completion<T> completion) {
    return transport.send(std::move(r), [decode,
                                         completion = std::move(completion)](HttpResult result) {
        if (!result) {
            if (result.error().kind != HttpFailureKind::cancelled)
                completion(std::unexpected(networkFailed(result.error())));
            return;
        }
        if (auto failure = statusFailure(*result))
            return completion(std::unexpected(*failure));
        try {
            completion(decode(json::parse(result->body)));
        } catch (const json::DecodingError& e) {
            completion(std::unexpected(APIError{APIError::Kind::decodingFailed, e.what(), 0, {}}));
        }
    });
}

}  // namespace

MivoAPIClient::MivoAPIClient(HttpTransport& transport, std::string baseURL)
    : MivoAPIClient(transport, std::move(baseURL), Limits{}) {}

MivoAPIClient::MivoAPIClient(HttpTransport& transport, std::string baseURL, Limits limits)
    : transport_(transport), baseURL_(std::move(baseURL)), limits_(limits) {}

HttpRequest MivoAPIClient::request(std::string method, const std::string& path) const {
    HttpRequest r;
    r.method = std::move(method);
    // Without a service the address is only the path, which the transport
    // refuses before anything is sent.
    r.url = baseURL_ + path;
    r.idleTimeoutSeconds = limits_.idleSeconds;
    r.totalTimeoutSeconds = limits_.totalSeconds;
    r.maxAnswerBytes = kMaxAnswerBytes.account;
    return r;
}

HttpRequest MivoAPIClient::jsonPost(const std::string& path, const Json& body) const {
    HttpRequest r = request("POST", path);
    r.headers.push_back({"Content-Type", "application/json"});
    r.body = serialise(body);
    return r;
}

Cancel MivoAPIClient::me(const std::string& accessToken, Completion<MeResponse> completion) {
    return call(transport_, withBearer(request("GET", "/v1/me"), accessToken), &decodeMe,
                std::move(completion));
}

Cancel MivoAPIClient::desktopStart(const std::string& deviceNonce, int callbackPort,
                                   Completion<DesktopStartResponse> completion) {
    const Json body{{"device_nonce", deviceNonce}, {"callback_port", callbackPort}};
    return call(transport_, jsonPost("/v1/auth/desktop/start", body), &decodeStart,
                std::move(completion));
}

Cancel MivoAPIClient::desktopExchange(const std::string& grant, const std::string& deviceNonce,
                                      Completion<TokenResponse> completion) {
    const Json body{{"grant", grant}, {"device_nonce", deviceNonce}};
    return call(transport_, jsonPost("/v1/auth/desktop/exchange", body), &decodeTokens,
                std::move(completion));
}

Cancel MivoAPIClient::refresh(const std::string& refreshToken,
                              Completion<TokenResponse> completion) {
    const Json body{{"refresh_token", refreshToken}};
    return call(transport_, jsonPost("/v1/auth/refresh", body), &decodeTokens,
                std::move(completion));
}

Cancel MivoAPIClient::logout(const std::string& accessToken, Completion<void> completion) {
    // No body and no content type: the token says everything.
    return transport_.send(withBearer(request("POST", "/v1/auth/logout"), accessToken),
                           [completion = std::move(completion)](HttpResult result) {
                               if (!result) {
                                   if (result.error().kind != HttpFailureKind::cancelled)
                                       completion(std::unexpected(networkFailed(result.error())));
                                   return;
                               }
                               completion({});
                           });
}

}  // namespace mivo
