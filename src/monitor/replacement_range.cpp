#include "monitor/replacement_range.hpp"

#include <algorithm>
#include <cstdlib>

#include "shared/text.hpp"

namespace mivo {
namespace {

// The checked Characters before [start, end) and after it stand there in
// `text` too. What the user typed after the sentence's end does not matter.
bool contextStandsAround(const text::CharacterText& text, int64_t start, int64_t end,
                         const IssueContext& context) {
    const int64_t before = text::characterCount(context.before);
    const int64_t after = text::characterCount(context.after);
    return start >= before && end + after <= text.count() &&
           text::canonicallyEqual(text.sliceView(start - before, start), context.before) &&
           text::canonicallyEqual(text.sliceView(end, end + after), context.after);
}

Utf16Range utf16RangeOf(const text::CharacterText& text, int64_t start, int64_t end) {
    const int64_t location = text.utf16Offset(start);
    return Utf16Range{location, text.utf16Offset(end) - location};
}

}  // namespace

std::optional<Utf16Range> replacementRange(const CorrectionIssue& issue, std::string_view text,
                                           const IssueContext* context) {
    const text::CharacterText t{std::string(text)};
    const int64_t needleLength = text::characterCount(text::nfc(issue.original));
    const auto fits = [&](int64_t at) {
        return context == nullptr || contextStandsAround(t, at, at + needleLength, *context);
    };
    if (text::storedRangeHolds(t, issue.range, issue.original) && fits(issue.range.start))
        return utf16RangeOf(t, issue.range.start, issue.range.end);
    if (context == nullptr || t.empty() || issue.original.empty())
        return std::nullopt;

    // Occurrences do not overlap: each search starts where the last one ended.
    std::optional<int64_t> best;
    int64_t bestScore = 0;
    for (auto at = text::find(text, issue.original, 0); at;
         at = text::find(text, issue.original, *at + needleLength)) {
        if (!fits(*at))
            continue;
        const int64_t score = std::abs(*at - issue.range.start);
        if (!best || score < bestScore) {
            best = at;
            bestScore = score;
        }
    }
    if (!best)
        return std::nullopt;
    return utf16RangeOf(t, *best, *best + needleLength);
}

std::optional<TextAroundIssue> textAroundIssue(const CorrectionIssue& issue,
                                               std::string_view text) {
    const auto range = replacementRange(issue, text);
    if (!range)
        return std::nullopt;
    const auto from = text::utf16ToByteOffset(text, range->location);
    const auto to = text::utf16ToByteOffset(text, range->end());
    if (!from || !to)
        return std::nullopt;
    return TextAroundIssue{std::string(text.substr(0, *from)), std::string(text.substr(*to))};
}

std::optional<std::string> expectedTextAfterReplacement(const CorrectionIssue& issue,
                                                        std::string_view text) {
    const auto around = textAroundIssue(issue, text);
    if (!around)
        return std::nullopt;
    return around->prefix + issue.suggestion + around->suffix;
}

std::optional<std::string> replacingAll(const std::vector<CorrectionIssue>& issues,
                                        std::string_view text) {
    std::vector<const CorrectionIssue*> order;
    for (const auto& issue : issues)
        order.push_back(&issue);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto* a, const auto* b) { return a->range.start > b->range.start; });

    std::string working(text);
    for (const CorrectionIssue* issue : order) {
        if (text::canonicallyEqual(issue->suggestion, issue->original))
            return std::nullopt;
        const text::CharacterText t{working};
        if (!text::storedRangeHolds(t, issue->range, issue->original))
            return std::nullopt;
        working = t.str().substr(0, t.byteOffset(issue->range.start)) + issue->suggestion +
                  t.str().substr(t.byteOffset(issue->range.end));
    }
    return working;
}

}  // namespace mivo
