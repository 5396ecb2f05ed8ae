#include "account/mivo_api_client.hpp"

#include <cstdlib>
#include <utility>

#include "shared/json.hpp"

namespace mivo {

namespace {

using json::Json;
using APIError = MivoAPIClient::APIError;

std::string serialise(const Json& body) {
    // Text that is not UTF-8 is replaced, never a reason to stop.
    return body.dump(-1, ' ', false, Json::error_handler_t::replace);
}

HttpRequest request(const std::string& baseURL, std::string method, const std::string& path) {
    HttpRequest r;
    r.method = std::move(method);
    r.url = baseURL + path;
    r.idleTimeoutSeconds = MivoAPIClient::kIdleTimeoutSeconds;
    return r;
}

HttpRequest jsonPost(const std::string& baseURL, const std::string& path, const Json& body) {
    HttpRequest r = request(baseURL, "POST", path);
    r.headers.push_back({"Content-Type", "application/json"});
    r.body = serialise(body);
    return r;
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
    return {std::move(access), std::move(refresh), expiresIn};
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

std::string MivoAPIClient::baseURLFromEnvironment() {
    const char* value = std::getenv("MIVO_API_URL");
    return value != nullptr ? std::string(value) : std::string(kDevelopmentBaseURL);
}

MivoAPIClient::MivoAPIClient(HttpTransport& transport, std::string baseURL)
    : transport_(transport), baseURL_(std::move(baseURL)) {}

Cancel MivoAPIClient::me(const std::string& accessToken, Completion<MeResponse> completion) {
    return call(transport_, withBearer(request(baseURL_, "GET", "/v1/me"), accessToken), &decodeMe,
                std::move(completion));
}

Cancel MivoAPIClient::desktopStart(const std::string& deviceNonce, int callbackPort,
                                   Completion<DesktopStartResponse> completion) {
    const Json body{{"device_nonce", deviceNonce}, {"callback_port", callbackPort}};
    return call(transport_, jsonPost(baseURL_, "/v1/auth/desktop/start", body), &decodeStart,
                std::move(completion));
}

Cancel MivoAPIClient::desktopExchange(const std::string& grant, const std::string& deviceNonce,
                                      Completion<TokenResponse> completion) {
    const Json body{{"grant", grant}, {"device_nonce", deviceNonce}};
    return call(transport_, jsonPost(baseURL_, "/v1/auth/desktop/exchange", body), &decodeTokens,
                std::move(completion));
}

Cancel MivoAPIClient::refresh(const std::string& refreshToken,
                              Completion<TokenResponse> completion) {
    const Json body{{"refresh_token", refreshToken}};
    return call(transport_, jsonPost(baseURL_, "/v1/auth/refresh", body), &decodeTokens,
                std::move(completion));
}

Cancel MivoAPIClient::logout(const std::string& accessToken, Completion<void> completion) {
    // No body and no content type: the token says everything.
    return transport_.send(withBearer(request(baseURL_, "POST", "/v1/auth/logout"), accessToken),
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
