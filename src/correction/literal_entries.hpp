#pragma once

// Pack entries found in a sentence by a literal of each: the lookup the text
// rules share. Entries are tried longest literal first, entries of equal
// length in pack order, so a rule that gives each stretch of text to one
// finding gives it to the longest entry.

#include "correction/correction_rule.hpp"
#include "correction/matching_text.hpp"
#include "shared/text.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

// Where an entry's literal stands in the text, in Characters.
template <typename Entry>
struct LiteralMatch {
    const Entry& entry;
    int64_t start;
    int64_t end;
    const MatchingText& text;

    // The text under the match exactly as written.
    std::string original() const { return text.slice(start, end); }
};

template <typename Entry>
class LiteralEntries {
  public:
    LiteralEntries() = default;

    // `literalOf(entry)` is the text the entry is found by.
    template <typename LiteralOf>
    LiteralEntries(const std::vector<Entry>& entries, LiteralOf literalOf) {
        std::vector<int64_t> lengths;
        lengths.reserve(entries.size());
        for (const Entry& e : entries)
            lengths.push_back(text::characterCount(literalOf(e)));
        std::vector<std::string> literals;
        literals.reserve(entries.size());
        entries_.reserve(entries.size());
        for (std::size_t i : longestFirstOrder(lengths)) {
            entries_.push_back(entries[i]);
            literals.emplace_back(literalOf(entries[i]));
        }
        index_ = LiteralIndex(literals);
    }

    // Calls `found(match)` entry by entry in their order, and for each entry
    // from left to right; after a match the entry's scan resumes at its end
    // (ああ in ああああ: 0 and 2). An empty literal matches nowhere.
    template <typename Found>
    void forEachMatch(std::string_view text, Found found) const {
        if (text.empty() || entries_.empty())
            return;
        const auto charsHeld = MatchingText::of(text);
        const MatchingText& chars = *charsHeld;
        const auto hits = index_.occurrences(chars);
        for (std::size_t k = 0; k < entries_.size(); ++k) {
            const int64_t n = index_.needle(k).count();
            int64_t next = 0;
            for (int64_t s : hits[k]) {
                if (s < next)
                    continue;
                next = s + n;
                found(LiteralMatch<Entry>{entries_[k], s, next, chars});
            }
        }
    }

  private:
    std::vector<Entry> entries_;  // longest literal first
    LiteralIndex index_;          // the literals, in entries_ order
};

// A match of an entry that carries the finding's severity, category,
// suggestion, explanation and confidence itself.
template <typename Entry>
IssueFields issueFieldsOf(const LiteralMatch<Entry>& m) {
    return IssueFields{.start = m.start,
                       .end = m.end,
                       .severity = m.entry.severity,
                       .category = m.entry.category,
                       .original = m.original(),
                       .suggestion = m.entry.suggestion,
                       .explanationEn = m.entry.explanationEn,
                       .confidence = m.entry.confidence};
}

}  // namespace mivo
