#include "monitor/replacement_range.hpp"

#include <algorithm>
#include <cstdlib>

#include "shared/text.hpp"

namespace mivo {
namespace {

// Whether Characters [start, end) of `text` exist and read as `original`.
bool storedRangeHolds(const text::CharacterText& text, TextRange range, std::string_view original) {
    return range.start >= 0 && range.end >= range.start && text.count() >= range.end &&
           text::canonicallyEqual(text.sliceView(range.start, range.end), original);
}

Utf16Range utf16RangeOf(const text::CharacterText& text, int64_t start, int64_t end) {
    const int64_t location = text.utf16Offset(start);
    return Utf16Range{location, text.utf16Offset(end) - location};
}

}  // namespace

std::optional<Utf16Range> replacementRange(const CorrectionIssue& issue, std::string_view text) {
    const text::CharacterText t{std::string(text)};
    if (storedRangeHolds(t, issue.range, issue.original))
        return utf16RangeOf(t, issue.range.start, issue.range.end);
    if (t.empty() || issue.original.empty())
        return std::nullopt;

    // Occurrences do not overlap: each search starts where the last one ended.
    const int64_t needleLength = text::characterCount(text::nfc(issue.original));
    std::optional<int64_t> best;
    int64_t bestScore = 0;
    for (auto at = text::find(text, issue.original, 0); at;
         at = text::find(text, issue.original, *at + needleLength)) {
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

std::optional<std::string> expectedTextAfterReplacement(const CorrectionIssue& issue,
                                                        std::string_view text) {
    const auto range = replacementRange(issue, text);
    if (!range)
        return std::nullopt;
    const auto from = text::utf16ToByteOffset(text, range->location);
    const auto to = text::utf16ToByteOffset(text, range->end());
    if (!from || !to)
        return std::nullopt;
    std::string out(text.substr(0, *from));
    out += issue.suggestion;
    out += text.substr(*to);
    return out;
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
        if (!storedRangeHolds(t, issue->range, issue->original))
            return std::nullopt;
        working = t.str().substr(0, t.byteOffset(issue->range.start)) + issue->suggestion +
                  t.str().substr(t.byteOffset(issue->range.end));
    }
    return working;
}

}  // namespace mivo
