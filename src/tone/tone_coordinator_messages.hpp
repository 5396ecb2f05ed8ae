#pragma once

// What the rewrite panel says when a conversion or a rating fails, and how
// the log names the way a rewrite was written back. The service's errors
// carry no texts of their own; these are the user's.

#include <optional>
#include <string>

#include "tone/tone_api_client.hpp"
#include "tone/tone_panel_state.hpp"
#include "tone/tone_paste_applier.hpp"

namespace mivo::tone_messages {

struct ConversionFailure {
    TonePanelState state;                // error(...) or offline
    std::optional<std::string> logLine;  // without the tag
};
ConversionFailure conversionFailure(const ToneAPIClient::ToneAPIError& error);

struct FeedbackFailure {
    std::string message;  // shown under the thumbs
    std::string logLine;
};
FeedbackFailure feedbackFailure(const ToneAPIClient::ToneAPIError& error);

// "kAXValue", "kAXSelectedText", "paste", or the clipboard with its reason.
std::string appliedVia(const TonePasteApplier::ApplyResult& result);

}  // namespace mivo::tone_messages
