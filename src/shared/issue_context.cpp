#include "shared/issue_context.hpp"

#include "shared/text.hpp"

namespace mivo {
namespace {

bool isSentenceEnd(std::string_view character) {
    return character == "。" || character == "！" || character == "？" || character == "!" ||
           character == "?" || character == "\n";
}

}  // namespace

namespace text {

bool storedRangeHolds(const CharacterText& text, TextRange range, std::string_view original) {
    return range.start >= 0 && range.end >= range.start && text.count() >= range.end &&
           canonicallyEqual(text.sliceView(range.start, range.end), original);
}

}  // namespace text

std::optional<IssueContext> issueContext(const CorrectionIssue& issue,
                                         std::string_view checkedText) {
    const text::CharacterText t{std::string(checkedText)};
    if (!text::storedRangeHolds(t, issue.range, issue.original))
        return std::nullopt;
    int64_t from = issue.range.start;
    while (from > 0 && !isSentenceEnd(t.at(from - 1)))
        --from;
    int64_t to = issue.range.end;
    while (to < t.count() && !isSentenceEnd(t.at(to)))
        ++to;
    if (to < t.count())
        ++to;  // the sentence's own end belongs to it
    return IssueContext{t.slice(from, issue.range.start), t.slice(issue.range.end, to)};
}

}  // namespace mivo
