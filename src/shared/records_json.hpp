#pragma once

// JSON forms of the shared records. Decoders throw json::DecodingError and
// build nothing partially; the try* forms return nothing instead.

#include "shared/hotkey_config.hpp"
#include "shared/json.hpp"
#include "shared/records.hpp"

#include <optional>

namespace mivo {

json::Json toJson(const TextRange& v);
json::Json toJson(const CorrectionIssue& v);
json::Json toJson(const CompletedSentenceCandidate& v);
json::Json toJson(const HotKeyConfig& v);

TextRange textRangeFromJson(const json::Json& j);
CorrectionIssue correctionIssueFromJson(const json::Json& j);
CompletedSentenceCandidate candidateFromJson(const json::Json& j);
HotKeyConfig hotKeyConfigFromJson(const json::Json& j);

CorrectionIssue::Severity severityFromJson(const json::Json& j);
CorrectionIssue::Category categoryFromJson(const json::Json& j);
CorrectionIssue::Source sourceFromJson(const json::Json& j);
CompletedSentenceCandidate::Boundary boundaryFromJson(const json::Json& j);

// For stored values (the settings store): nothing when the text does not decode.
std::optional<HotKeyConfig> decodeHotKeyConfig(std::string_view text);

}  // namespace mivo
