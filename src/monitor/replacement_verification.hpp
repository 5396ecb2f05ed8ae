#pragma once

// Whether a field reads as it should after a correction was written, and
// the one mending of a write that put the suggestion in but left the end of
// the original behind it (今日は晴れです。 → 今日は雨れです。).

#include <optional>
#include <string>
#include <string_view>

#include "field/ax_text_extractor.hpp"
#include "monitor/replacement_outcome.hpp"
#include "platform/geometry.hpp"
#include "shared/records.hpp"

namespace mivo {

// The stretch of the current text to remove, and the text without it.
struct TailRepair {
    Utf16Range range;  // UTF-16 units of the current text
    std::string tail;
    std::string expectedText;
    bool operator==(const TailRepair&) const = default;
};

// The current text is the original text with the issue's original replaced
// by its suggestion, and nothing else changed.
bool replacementSucceeded(const CorrectionIssue& issue, std::string_view originalText,
                          std::string_view currentText);

// The same for texts that may be windows of the field (the units before
// the caret): where one of them is, the two are compared where both show
// the field, and the current one must show the whole suggestion.
bool replacementSucceeded(const CorrectionIssue& issue,
                          const AXTextExtractor::ExtractedText& originalText,
                          const AXTextExtractor::ExtractedText& currentText);

// The current text shows the write: the suggestion stands where the
// issue's original stood, nothing before it changed, and the original is
// not there any more; what follows it may have changed (the user typed on).
// A current text that reads as the original text shows nothing.
bool replacementShows(const CorrectionIssue& issue,
                      const AXTextExtractor::ExtractedText& originalText,
                      const AXTextExtractor::ExtractedText& currentText);

// Where the issue's original still stands in the current text: at the place
// where it stood in the original text, with nothing before it changed, as
// Characters of the current text. Nothing once it has moved or gone, so
// that another method never lands on another occurrence of it.
std::optional<TextRange> originalStillInPlace(const CorrectionIssue& issue,
                                              const AXTextExtractor::ExtractedText& originalText,
                                              const AXTextExtractor::ExtractedText& currentText);

// Where the suggestion went in instead, as Characters of the current text,
// when the current text is the original text with another copy of the
// issue's original replaced by it and nothing else changed.
std::optional<TextRange> misplacedReplacement(const CorrectionIssue& issue,
                                              std::string_view originalText,
                                              std::string_view currentText);

// The current text is the original text with the issue's suggestion
// inserted somewhere and nothing else changed: a paste that went in at the
// caret, not over the selection made for it.
bool insertedElsewhere(const CorrectionIssue& issue, std::string_view originalText,
                       std::string_view currentText);

// The leftover when the current text is the original's prefix, the
// suggestion, a stretch with which the issue's original ends, and the
// original's suffix; nothing for any other current text.
std::optional<TailRepair> partialReplacementTailRepair(const CorrectionIssue& issue,
                                                       std::string_view originalText,
                                                       std::string_view currentText);

}  // namespace mivo
