#pragma once

// Where a correction stands in a field's text, and the text with corrections
// put in. An issue's range counts Characters of the text that was analysed;
// the field may have changed since, so its stored range is checked against
// the live text before it is trusted.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/geometry.hpp"
#include "shared/issue_context.hpp"
#include "shared/records.hpp"

namespace mivo {

// The issue's original in `text`, in UTF-16 units of `text`. Without a
// context only the stored range, when it still holds the original. With
// one, a place counts only where the context stands around it too: the
// stored range, else the such occurrence whose start is nearest the stored
// start (the earlier one on a tie). A copy of the original elsewhere, in
// another sentence, is never the issue: nothing then.
std::optional<Utf16Range> replacementRange(const CorrectionIssue& issue, std::string_view text,
                                           const IssueContext* context = nullptr);

// The text before and after the Characters that `replacementRange` locates
// for the issue; nothing when the issue is not found.
struct TextAroundIssue {
    std::string prefix;
    std::string suffix;
};
std::optional<TextAroundIssue> textAroundIssue(const CorrectionIssue& issue, std::string_view text);

// `text` with the Characters that `replacementRange` locates for the issue
// replaced by its suggestion; nothing when the issue is not found.
std::optional<std::string> expectedTextAfterReplacement(const CorrectionIssue& issue,
                                                        std::string_view text);

// Every issue applied at its stored range, the highest start first so that
// the ranges still to come keep their offsets. Nothing when any issue would
// change nothing, or its stored range no longer holds its original.
std::optional<std::string> replacingAll(const std::vector<CorrectionIssue>& issues,
                                        std::string_view text);

}  // namespace mivo
