#include "correction/matching_text.hpp"

#include "correction/literal_entries.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

struct MatchCase {
    std::string why;
    std::string text, needle;
    std::vector<int64_t> starts;
};

TEST(MatchingText, MatchesWholeCharactersUnderCanonicalEquivalence) {
    const std::vector<MatchCase> cases = {
        {"plain", "あいあい", "あい", {0, 2}},
        {"overlapping starts are all listed", "あああ", "ああ", {0, 1}},
        {"decomposed text, composed needle", "か\u3099か\u3099", "が", {0, 1}},
        {"composed text, decomposed needle", "がか", "か\u3099", {0}},
        {"a base letter does not match inside its cluster", "か\u3099", "か", {}},
        {"one flag is one Character", "🇯🇵🇯🇵", "🇵🇯", {}},
        {"a family emoji is one Character", "👨‍👩‍👧x", "👨", {}},
        {"CR LF is one Character", "a\r\nb", "\r", {}},
        {"an empty needle matches nowhere", "abc", "", {}},
        {"a needle longer than the text", "ab", "abc", {}},
        {"Hangul jamo compose", "\u1100\u1161", "\uAC00", {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const MatchingText text(c.text);
        EXPECT_EQ(text.occurrences(MatchingText(c.needle)), c.starts);
    }
}

TEST(MatchingText, SlicesQuoteTheTextAsWritten) {
    const MatchingText text("本か\u3099好き");
    EXPECT_EQ(text.count(), 4);
    EXPECT_EQ(text.character(1), "が");
    EXPECT_EQ(text.slice(1, 2), "か\u3099");
    EXPECT_EQ(text.character(4), "");
    EXPECT_EQ(text.character(-1), "");
}

TEST(MatchingText, AHandedOutTextOutlivesLaterCalls) {
    const auto first = MatchingText::of("これわ");
    EXPECT_EQ(MatchingText::of("これわ"), first);  // segmented once for all the rules
    const auto other = MatchingText::of("本");
    EXPECT_EQ(first->count(), 3);
    EXPECT_EQ(first->slice(2, 3), "わ");
    EXPECT_EQ(other->count(), 1);
    EXPECT_EQ(MatchingText::of("")->count(), 0);
}

TEST(LiteralIndex, FindsEveryNeedleInOneScan) {
    const LiteralIndex index({"ああ", "あい", "", "い", "ああ"});
    const auto hits = index.occurrences(MatchingText("あああい"));
    EXPECT_EQ(hits, (std::vector<std::vector<int64_t>>{{0, 1}, {2}, {}, {3}, {0, 1}}));
    EXPECT_EQ(LiteralIndex().occurrences(MatchingText("あ")), std::vector<std::vector<int64_t>>{});
}

TEST(ClaimedRanges, SharedPositionsOnly) {
    ClaimedRanges claimed;
    claimed.claim(2, 5);
    EXPECT_TRUE(claimed.overlaps(4, 6));
    EXPECT_TRUE(claimed.overlaps(0, 3));
    EXPECT_TRUE(claimed.overlaps(3, 4));
    EXPECT_FALSE(claimed.overlaps(5, 7));  // touching
    EXPECT_FALSE(claimed.overlaps(0, 2));
    EXPECT_FALSE(claimed.overlaps(3, 3));  // empty
    claimed.claim(5, 7);                   // touching: one run with the first
    claimed.claim(10, 12);
    claimed.claim(8, 8);  // empty: claims nothing
    EXPECT_TRUE(claimed.overlaps(6, 8));
    EXPECT_FALSE(claimed.overlaps(7, 10));
    EXPECT_FALSE(claimed.overlaps(8, 9));
    EXPECT_TRUE(claimed.overlaps(0, 20));
    EXPECT_TRUE(claimed.overlaps(11, 13));
    EXPECT_FALSE(claimed.overlaps(12, 13));
}

}  // namespace
}  // namespace mivo
