// The rewrite client's failure rules: statuses, transport endings, and the
// rescue of a rewrite refused for a sentence-count mismatch.

#include <array>

#include "shared/json.hpp"
#include "shared/text.hpp"
#include "tone/tone_api_client.hpp"

namespace mivo {

namespace {

using json::Json;
using ToneAPIError = ToneAPIClient::ToneAPIError;
using Kind = ToneAPIError::Kind;

// The error body of the convert endpoint; one field of the wrong type spoils
// the whole body, which then counts as having no fields at all.
struct ErrorResponse {
    std::optional<std::string> error;
    std::optional<std::string> failure;
    std::optional<std::string> detail;
    std::optional<std::string> message;
    std::optional<std::string> rewrittenTextDebug;
};

ErrorResponse decodeErrorResponse(std::string_view body) {
    try {
        const Json j = json::parse(body);
        json::requireObject(j, "error body");
        auto field = [&j](std::string_view key) -> std::optional<std::string> {
            auto it = j.find(key);
            if (it == j.end() || it->is_null())
                return std::nullopt;
            return json::asString(*it, key);
        };
        return {field("error"), field("failure"), field("detail"), field("message"),
                field("rewritten_text_debug")};
    } catch (const json::DecodingError&) {
        return {};
    }
}

bool containsJapanese(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        if (text::isJapaneseScalar(text::decodeNext(s, i)))
            return true;
    }
    return false;
}

bool isProviderOutage(const std::optional<std::string>& error) {
    return error == "ToneServiceUnavailableError" || error == "ProviderError" ||
           error == "ProviderUnavailable";
}

}  // namespace

bool ToneAPIClient::isRecoverableSentenceMismatchOutput(std::string_view trimmed,
                                                        std::string_view targetText) {
    if (trimmed.empty())
        return false;
    // Openings of a model talking about its answer instead of giving it.
    static constexpr std::array<std::string_view, 4> banned{"以下", "rewritten",
                                                            "Output:", "出力:"};
    for (auto opening : banned) {
        if (trimmed.starts_with(opening))
            return false;
    }
    // A Japanese text must come back Japanese; the same notion of a Japanese
    // character as the sentence detector's (shared/text), extension A included.
    return !containsJapanese(targetText) || containsJapanese(trimmed);
}

std::optional<ToneAPIClient::ConvertResult> ToneAPIClient::recoverSentenceMismatchRewrite(
    std::string_view body, const ConvertRequest& request) {
    const ErrorResponse error = decodeErrorResponse(body);
    if (error.failure != "sentence_count_mismatch" || !error.rewrittenTextDebug)
        return std::nullopt;
    std::string trimmed = text::trimWhitespaceAndNewlines(*error.rewrittenTextDebug);
    if (!isRecoverableSentenceMismatchOutput(trimmed, request.targetText))
        return std::nullopt;
    const bool unchanged = trimmed == request.targetText;
    return ConvertResult{request.requestId,  std::move(trimmed),     request.action,
                         request.surfaceTag, request.targetRegister, 0,
                         unchanged};
}

ToneAPIClient::Result<ToneAPIClient::ConvertResult> ToneAPIClient::convertFailure(
    const HttpResponse& response, const ConvertRequest& request) {
    const int status = response.status;
    switch (status) {
        case 401:
            return std::unexpected(ToneAPIError{Kind::unauthorized});
        case 413:
            return std::unexpected(ToneAPIError{Kind::payloadTooLarge});
        case 422: {
            if (auto rescued = recoverSentenceMismatchRewrite(response.body, request))
                return *rescued;
            return std::unexpected(
                ToneAPIError{Kind::outputInvalid, decodeErrorResponse(response.body).detail});
        }
        case 429:
            return std::unexpected(ToneAPIError{Kind::serviceUnavailable});
        case 500:
        case 502:
        case 503:
            if (isProviderOutage(decodeErrorResponse(response.body).error))
                return std::unexpected(ToneAPIError{Kind::serviceUnavailable});
            return std::unexpected(ToneAPIError{Kind::serverError, std::nullopt, {}, status});
        default:
            return std::unexpected(ToneAPIError{Kind::serverError, std::nullopt, {}, status});
    }
}

ToneAPIClient::ToneAPIError ToneAPIClient::feedbackFailure(int status) {
    switch (status) {
        case 401:
            return ToneAPIError(Kind::unauthorized);
        case 413:
            return ToneAPIError(Kind::payloadTooLarge);
        case 500:
        case 502:
        case 503:
            return ToneAPIError(Kind::serviceUnavailable);
        default:
            return ToneAPIError(Kind::serverError, std::nullopt, {}, status);
    }
}

ToneAPIClient::ToneAPIError ToneAPIClient::transportFailure(const HttpFailure& failure) {
    switch (failure.kind) {
        // The transport's words go along for the log: a refused connection
        // (a stopped service) reads differently from a lost network.
        case HttpFailureKind::timeout:
            return ToneAPIError(Kind::timeout, std::nullopt, failure.detail);
        case HttpFailureKind::offline:
            return ToneAPIError(Kind::offline, std::nullopt, failure.detail);
        // Nothing was sent: the words say to whom it would have gone.
        case HttpFailureKind::foreignListener:
            return ToneAPIError(Kind::serverError, std::nullopt, failure.detail);
        case HttpFailureKind::cancelled:
        case HttpFailureKind::untrustedCertificate:
        case HttpFailureKind::other:
            break;
    }
    return ToneAPIError(Kind::serverError, std::nullopt, {}, failure.code);
}

}  // namespace mivo
