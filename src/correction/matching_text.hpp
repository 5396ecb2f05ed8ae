#pragma once

// Literal matching for the text rules: Character by Character under
// canonical equivalence, with each text segmented and normalised once.

#include "shared/text.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

// A text split into Characters, each also held in NFC so that two
// canonically equivalent Characters compare equal byte for byte.
class MatchingText {
  public:
    MatchingText() = default;
    explicit MatchingText(std::string_view text);

    int64_t count() const { return original_.count(); }
    bool empty() const { return original_.empty(); }

    // Character `index` in NFC.
    std::string_view character(int64_t index) const;
    // Characters [start, end) exactly as written in the text.
    std::string slice(int64_t start, int64_t end) const { return original_.slice(start, end); }
    // The whole text in NFC, Character by Character.
    std::string_view normalized() const { return normalized_; }

    // Whether `needle`'s Characters stand here from `at` on; a needle that
    // would run past the end, or an empty one, never matches.
    bool matchesAt(const MatchingText& needle, int64_t at) const;

    // All starts of `needle`, overlapping ones included, left to right.
    std::vector<int64_t> occurrences(const MatchingText& needle) const;

    // The rules of one analyze call all see the same sentence, so the last
    // text segmented on this thread is kept and shared. What is handed out
    // stays valid for as long as the caller holds it, whatever is asked for
    // afterwards.
    static std::shared_ptr<const MatchingText> of(std::string_view text);

  private:
    text::CharacterText original_;
    std::string normalized_;
    std::vector<std::size_t> bounds_{0};  // count()+1 byte offsets into normalized_
};

// Many literal needles looked up together: the needles are indexed by their
// first Character once, so a text is scanned once whatever their number.
class LiteralIndex {
  public:
    LiteralIndex() = default;
    explicit LiteralIndex(const std::vector<std::string>& needles);

    std::size_t size() const { return needles_.size(); }
    const MatchingText& needle(std::size_t i) const { return needles_[i]; }

    // Per needle (in construction order), every start in `text`,
    // overlapping ones included, left to right. Empty needles never match.
    std::vector<std::vector<int64_t>> occurrences(const MatchingText& text) const;

  private:
    std::vector<MatchingText> needles_;
    // (first Character in NFC, needle index), sorted by Character then index.
    std::vector<std::pair<std::string, std::size_t>> byFirstCharacter_;
    // A bit set for the first bytes of each needle's first Character: most
    // Characters of a text start no needle, and this tells so in one test.
    std::vector<bool> firstCodePoints_ = std::vector<bool>(2048, false);
};

// Half-open Character ranges already given to a finding, kept as disjoint
// runs of positions so that a test costs a lookup, not a walk over every
// claim of a long sentence.
class ClaimedRanges {
  public:
    // Whether [start, end) shares a position with a claimed range; ranges
    // that only touch do not, and an empty range shares nothing.
    bool overlaps(int64_t start, int64_t end) const;
    void claim(int64_t start, int64_t end);

  private:
    std::map<int64_t, int64_t> runs_;  // start -> end, disjoint and not touching
};

// Indices of `lengths` ordered longest first, equal lengths in their order.
std::vector<std::size_t> longestFirstOrder(const std::vector<int64_t>& lengths);

}  // namespace mivo
