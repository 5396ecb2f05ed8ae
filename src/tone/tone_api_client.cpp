#include "tone/tone_api_client.hpp"

#include <openssl/sha.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/answer_limits.hpp"
#include "shared/json.hpp"
#include "shared/text.hpp"

namespace mivo {

namespace {

using json::Json;
using ToneAPIError = ToneAPIClient::ToneAPIError;

std::string serialise(const Json& body) {
    // Text that is not UTF-8 is replaced, never a reason to stop.
    return body.dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool present(const std::optional<std::string>& value) {
    return value && !value->empty();
}

HttpRequest jsonPost(const std::string& url, const Json& body,
                     const std::optional<std::string>& accessToken, std::size_t maxAnswerBytes) {
    HttpRequest r;
    r.method = "POST";
    r.url = url;
    r.headers.push_back({"Content-Type", "application/json"});
    if (accessToken)
        r.headers.push_back({"Authorization", "Bearer " + *accessToken});
    r.body = serialise(body);
    r.idleTimeoutSeconds = ToneAPIClient::kIdleTimeoutSeconds;
    r.totalTimeoutSeconds = ToneAPIClient::kTotalTimeoutSeconds;
    r.maxAnswerBytes = maxAnswerBytes;
    return r;
}

// A key that may be absent or null, else must be a string.
std::optional<std::string> optionalString(const Json& object, std::string_view key) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return std::nullopt;
    return json::asString(*it, key);
}

ToneAPIClient::ConvertResult decodeConvert(const Json& j,
                                           const ToneAPIClient::ConvertRequest& request) {
    json::requireObject(j, "convert answer");
    auto requestId = optionalString(j, "request_id");
    auto rewritten = json::requireString(j, "rewritten_text");
    auto action = optionalString(j, "rewrite_action");
    auto surfaceTag = json::requireString(j, "surface_tag");
    auto targetRegister = optionalString(j, "target_register");
    const int64_t latency = json::requireInteger(j, "latency_ms");
    const bool unchanged = json::requireBool(j, "unchanged");
    const auto knownAction = action ? rewriteActionFromRaw(*action) : std::nullopt;
    const auto knownRegister = targetRegister ? registerFromRaw(*targetRegister) : std::nullopt;
    return {requestId.value_or(request.requestId),
            std::move(rewritten),
            knownAction.value_or(request.action),
            std::move(surfaceTag),
            knownRegister ? knownRegister : request.targetRegister,
            latency,
            unchanged};
}

template <typename T>
void answer(const std::function<void(ToneAPIClient::Result<T>)>& done,
            ToneAPIClient::Result<T> result) {
    if (done)
        done(std::move(result));
}

}  // namespace

struct ToneAPIClient::HealthCache {
    std::optional<bool> reachable;
    TimePoint checkedAt;
};

std::string ToneAPIClient::loadDeviceIdHash(UserDefaults& defaults) {
    auto id = defaults.string("tone.device_id");
    if (!id || id->empty()) {
        id = text::makeUuid();
        defaults.set("tone.device_id", *id);
    }
    std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
    SHA256(reinterpret_cast<const unsigned char*>(id->data()), id->size(), digest.data());
    std::string hex;
    hex.reserve(digest.size() * 2);
    for (unsigned char byte : digest) {
        std::array<char, 3> pair{};
        std::snprintf(pair.data(), pair.size(), "%02x", byte);
        hex += pair.data();
    }
    return hex;
}

ToneAPIClient::ToneAPIClient(HttpTransport& transport, UserDefaults& defaults, Scheduler& scheduler,
                             std::string baseURL)
    : transport_(transport),
      scheduler_(scheduler),
      baseURL_(std::move(baseURL)),
      deviceIdHash_(loadDeviceIdHash(defaults)),
      health_(std::make_shared<HealthCache>()) {}

Cancel ToneAPIClient::convert(const ConvertRequest& request,
                              std::function<void(Result<ConvertResult>)> done) {
    Json body{{"rewrite_action", rawValue(request.action)},
              {"target_text", request.targetText},
              {"surface_tag", request.surfaceTag},
              {"request_id", request.requestId}};
    if (request.action == RewriteAction::tone)
        body["target_register"] = rawValue(request.targetRegister.value_or(Register::polite));
    if (present(request.precedingContext))
        body["preceding_context"] = *request.precedingContext;
    if (present(request.followingContext))
        body["following_context"] = *request.followingContext;
    if (present(request.subjectOrTitle))
        body["subject_or_title"] = *request.subjectOrTitle;
    HttpRequest http = jsonPost(baseURL_ + "/v1/rewrite/convert", body, request.accessToken,
                                kMaxAnswerBytes.rewrite);
    http.headers.push_back({"X-Mivo-Device-Id", deviceIdHash_});

    return transport_.send(std::move(http), [request, done = std::move(done)](HttpResult result) {
        if (!result) {
            if (result.error().kind != HttpFailureKind::cancelled)
                answer<ConvertResult>(done, std::unexpected(transportFailure(result.error())));
            return;
        }
        if (result->status < 200 || result->status > 299)
            return answer(done, convertFailure(*result, request));
        try {
            answer<ConvertResult>(done, decodeConvert(json::parse(result->body), request));
        } catch (const json::DecodingError&) {
            answer<ConvertResult>(
                done, std::unexpected(ToneAPIError{ToneAPIError::Kind::decodingFailed}));
        }
    });
}

Cancel ToneAPIClient::submitConversionFeedback(const FeedbackRequest& request,
                                               std::function<void(Result<FeedbackResult>)> done) {
    Json body{{"rewrite_action", rawValue(request.action)},
              {"rating", rawValue(request.rating)},
              {"source_text", request.sourceText},
              {"converted_text", request.convertedText}};
    if (request.targetRegister)
        body["target_register"] = rawValue(*request.targetRegister);
    if (present(request.requestId))
        body["request_id"] = *request.requestId;
    if (present(request.feedbackText))
        body["feedback_text"] = *request.feedbackText;
    HttpRequest http = jsonPost(baseURL_ + "/v1/feedback/conversion", body, request.accessToken,
                                kMaxAnswerBytes.feedback);

    return transport_.send(std::move(http), [done = std::move(done)](HttpResult result) {
        if (!result) {
            if (result.error().kind != HttpFailureKind::cancelled)
                answer<FeedbackResult>(done, std::unexpected(transportFailure(result.error())));
            return;
        }
        if (result->status < 200 || result->status > 299)
            return answer<FeedbackResult>(done, std::unexpected(feedbackFailure(result->status)));
        try {
            const Json j = json::parse(result->body);
            auto id = json::requireString(j, "feedback_id");
            auto at = json::requireString(j, "submitted_at");
            answer<FeedbackResult>(done, FeedbackResult{std::move(id), std::move(at)});
        } catch (const json::DecodingError&) {
            answer<FeedbackResult>(
                done, std::unexpected(ToneAPIError{ToneAPIError::Kind::decodingFailed}));
        }
    });
}

Cancel ToneAPIClient::ping(bool force, std::function<void(bool)> done) {
    const TimePoint now = scheduler_.now();
    if (!force && health_->reachable && now - health_->checkedAt < seconds(healthCacheTTL)) {
        // Answered on the loop like every other answer, never inside the call.
        return scheduler_.after(
            0, [done = std::move(done), reachable = *health_->reachable] { done(reachable); });
    }
    HttpRequest http;
    http.method = "HEAD";
    http.url = baseURL_ + "/v1/health";
    http.idleTimeoutSeconds = kHealthTimeoutSeconds;
    http.totalTimeoutSeconds = kHealthTimeoutSeconds;
    http.maxAnswerBytes = kMaxAnswerBytes.account;
    return transport_.send(std::move(http), [health = health_, &clock = scheduler_,
                                             done = std::move(done)](HttpResult result) {
        if (!result && result.error().kind == HttpFailureKind::cancelled)
            return;
        const bool reachable = result && result->status == 200;
        health->reachable = reachable;
        health->checkedAt = clock.now();
        done(reachable);
    });
}

}  // namespace mivo
