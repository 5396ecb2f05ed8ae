#pragma once

// The rewrite service: send a text with its context and get the rewrite back
// (convert), send a rating of a rewrite (feedback), probe the service
// (ping). Every status and transport failure becomes one ToneAPIError; a
// rejected rewrite that is still usable is rescued.

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/cancel.hpp"
#include "platform/http_transport.hpp"
#include "platform/scheduler.hpp"
#include "platform/user_defaults.hpp"
#include "tone/tone_types.hpp"

namespace mivo {

class ToneAPIClient final {
  public:
    using RewriteAction = mivo::RewriteAction;
    using Register = mivo::Register;
    using FeedbackRating = mivo::FeedbackRating;

    struct ConvertResult {
        std::string requestId;
        std::string rewrittenText;
        RewriteAction action = RewriteAction::improve;
        std::string surfaceTag;
        std::optional<Register> targetRegister;
        int64_t latencyMs = 0;
        bool unchanged = false;
        bool operator==(const ConvertResult&) const = default;
    };

    struct FeedbackResult {
        std::string feedbackId;
        std::string submittedAt;
        bool operator==(const FeedbackResult&) const = default;
    };

    // No user-facing texts: the coordinator says what each case means.
    struct ToneAPIError {
        enum class Kind {
            outputInvalid,
            providerError,  // part of the type; this client never raises it
            serverError,
            offline,
            timeout,
            unauthorized,
            payloadTooLarge,
            serviceUnavailable,
            decodingFailed,
        };
        ToneAPIError() = default;
        explicit ToneAPIError(Kind k, std::optional<std::string> d = std::nullopt,
                              std::string m = {}, int c = 0)
            : kind(k), detail(std::move(d)), message(std::move(m)), code(c) {}

        Kind kind = Kind::serverError;
        std::optional<std::string> detail;  // outputInvalid
        // providerError; offline, timeout: the transport's words; serverError:
        // why nothing was sent, when the transport refused the address.
        std::string message;
        int code = 0;  // serverError
        bool operator==(const ToneAPIError&) const = default;
    };

    template <typename T>
    using Result = std::expected<T, ToneAPIError>;

    struct ConvertRequest {
        std::string targetText;
        RewriteAction action = RewriteAction::improve;
        std::optional<Register> targetRegister;
        std::string surfaceTag;  // the tag's raw value
        std::optional<std::string> precedingContext;
        std::optional<std::string> followingContext;
        std::optional<std::string> subjectOrTitle;
        std::string requestId;
        std::optional<std::string> accessToken;
    };

    struct FeedbackRequest {
        std::string sourceText;
        std::string convertedText;
        RewriteAction action = RewriteAction::improve;
        std::optional<Register> targetRegister;
        FeedbackRating rating = FeedbackRating::thumbsUp;
        std::optional<std::string> feedbackText;
        std::optional<std::string> requestId;
        std::optional<std::string> accessToken;
    };

    // The session's limits: 10 s without a byte, 12 s for a whole transfer.
    static constexpr double kIdleTimeoutSeconds = 10;
    static constexpr double kTotalTimeoutSeconds = 12;
    static constexpr double kHealthTimeoutSeconds = 1.5;
    static constexpr double healthCacheTTL = 30;

    // SHA-256, in lowercase hex, of the installation id under "tone.device_id",
    // which is made (an upper-case UUID) and stored on first use.
    static std::string loadDeviceIdHash(UserDefaults& defaults);

    // The device hash is computed here, once. `scheduler` dates health probes
    // and hands over cached ones. An empty `baseURL`: no service is
    // configured, and callers send nothing (see isConfigured()).
    ToneAPIClient(HttpTransport& transport, UserDefaults& defaults, Scheduler& scheduler,
                  std::string baseURL);

    const std::string& baseURL() const { return baseURL_; }
    bool isConfigured() const { return !baseURL_.empty(); }
    const std::string& deviceIdHash() const { return deviceIdHash_; }

    // Each call answers once, on the main loop; a call cancelled through its
    // handle never answers.
    Cancel convert(const ConvertRequest& request, std::function<void(Result<ConvertResult>)> done);
    Cancel submitConversionFeedback(const FeedbackRequest& request,
                                    std::function<void(Result<FeedbackResult>)> done);
    // Whether /v1/health answers 200; an answer younger than 30 s is reused
    // unless `force`.
    Cancel ping(bool force, std::function<void(bool)> done);

    // The 422 rescue: the refused rewrite in a sentence-count-mismatch body,
    // trimmed, when it is still a usable answer to `request`.
    static std::optional<ConvertResult> recoverSentenceMismatchRewrite(
        std::string_view body, const ConvertRequest& request);
    static bool isRecoverableSentenceMismatchOutput(std::string_view trimmed,
                                                    std::string_view targetText);
    // The status rules, for an answer outside 200-299.
    static Result<ConvertResult> convertFailure(const HttpResponse& response,
                                                const ConvertRequest& request);
    static ToneAPIError feedbackFailure(int status);
    // A transfer that ended without an answer (never `cancelled`).
    static ToneAPIError transportFailure(const HttpFailure& failure);

  private:
    struct HealthCache;

    HttpTransport& transport_;
    Scheduler& scheduler_;
    std::string baseURL_;
    std::string deviceIdHash_;
    std::shared_ptr<HealthCache> health_;
};

}  // namespace mivo
