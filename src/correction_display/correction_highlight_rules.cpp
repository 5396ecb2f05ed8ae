#include "correction_display/correction_highlight_rules.hpp"

#include <algorithm>

#include "shared/text.hpp"

namespace mivo {
namespace {

// An issue that suggests its own text is drawn only this short.
constexpr int64_t kUnchangedIssueMaxLength = 4;
// From this text length on, an issue may cover a third of the text; below
// it, a fixed number of Characters.
constexpr int64_t kLongTextLength = 72;
constexpr int64_t kShortTextMaxIssueLength = 24;
// Points per Character of `original`, plus slack, and the least allowance.
constexpr double kWidthPerCharacter = 24;
constexpr double kWidthSlack = 48;
constexpr double kMinimumWidthAllowance = 180;

}  // namespace

CorrectionKey correctionKey(const CorrectionIssue& issue) {
    return CorrectionKey{issue.original, issue.suggestion, issue.category, issue.range.start,
                         issue.range.end};
}

bool isPlausibleHighlightRange(const CorrectionIssue& issue, int64_t textLength) {
    const int64_t length = issue.range.length();
    if (length < 1)
        return false;
    if (issue.suggestion == issue.original && length > kUnchangedIssueMaxLength)
        return false;
    const int64_t limit = textLength >= kLongTextLength ? textLength / 3 : kShortTextMaxIssueLength;
    return length <= limit;
}

bool isPlausibleHighlightRect(const CorrectionIssue& issue, const Rect& rect) {
    const auto n = static_cast<double>(std::max<int64_t>(1, text::characterCount(issue.original)));
    return rect.width <= std::max(kWidthPerCharacter * n + kWidthSlack, kMinimumWidthAllowance);
}

}  // namespace mivo
