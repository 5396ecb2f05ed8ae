#include "tone/tone_coordinator_messages.hpp"

namespace mivo::tone_messages {

namespace {

using Kind = ToneAPIClient::ToneAPIError::Kind;

constexpr const char* kServiceUnavailable =
    "AI rewrite service is temporarily unavailable. Please try again later.";
constexpr const char* kCouldNotSave = "Couldn't save feedback";

}  // namespace

ConversionFailure conversionFailure(const ToneAPIClient::ToneAPIError& error) {
    switch (error.kind) {
        case Kind::timeout:
            return {TonePanelState::error("Request timed out.", true), std::nullopt};
        case Kind::unauthorized:
            return {TonePanelState::error("Sign-in expired. Please sign in again.", false),
                    std::nullopt};
        case Kind::payloadTooLarge:
            return {TonePanelState::error("Selection is too long for AI rewrite.", false),
                    std::nullopt};
        case Kind::serviceUnavailable:
            return {TonePanelState::error(kServiceUnavailable, true), std::nullopt};
        case Kind::providerError:
            // The provider's own message is for the service's logs, not the user.
            return {TonePanelState::error(kServiceUnavailable, true),
                    "Rewrite: provider unavailable"};
        case Kind::serverError:
            // Trying again would meet the same program at the same address.
            if (!error.message.empty())
                return {
                    TonePanelState::error("Your text was not sent: " + error.message + ".", false),
                    "Rewrite: not sent: " + error.message};
            return {TonePanelState::error(kServiceUnavailable, true),
                    "Rewrite: server error code=" + std::to_string(error.code)};
        case Kind::outputInvalid:
            return {
                TonePanelState::error(
                    "The rewrite didn't pass quality checks. " + error.detail.value_or(""), true),
                std::nullopt};
        case Kind::offline:
            return {TonePanelState::offline(), std::nullopt};
        case Kind::decodingFailed:
            break;
    }
    return {TonePanelState::error("AI rewrite is temporarily unavailable. Please try again later.",
                                  true),
            "Rewrite: unexpected conversion error"};
}

FeedbackFailure feedbackFailure(const ToneAPIClient::ToneAPIError& error) {
    switch (error.kind) {
        case Kind::unauthorized:
            return {kCouldNotSave, "Feedback: unauthorized"};
        case Kind::payloadTooLarge:
            return {"Feedback text is too long", "Feedback: payload too large"};
        case Kind::offline:
            return {"You're offline", "Feedback: offline"};
        case Kind::timeout:
            return {"Feedback timed out", "Feedback: timed out"};
        case Kind::serviceUnavailable:
            return {kCouldNotSave, "Feedback: service unavailable"};
        case Kind::serverError:
            return {kCouldNotSave, "Feedback: server error code=" + std::to_string(error.code)};
        case Kind::outputInvalid:
        case Kind::providerError:
        case Kind::decodingFailed:
            break;
    }
    return {kCouldNotSave, "Feedback: unexpected submit error"};
}

std::string appliedVia(const TonePasteApplier::ApplyResult& result) {
    using ApplyKind = TonePasteApplier::ApplyResult::Kind;
    switch (result.kind) {
        case ApplyKind::appliedNative:
            return "set_text_contents";
        case ApplyKind::appliedSelectedText:
            return "delete_text+insert_text";
        case ApplyKind::appliedPaste:
            return "paste";
        case ApplyKind::copiedToClipboard:
            break;
    }
    return "clipboard (auto-clear 30s) — " + result.reason;
}

}  // namespace mivo::tone_messages
