#include "app/correction_highlight_rules.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace mivo {
namespace {

CorrectionIssue issue(int64_t start, int64_t end, std::string original, std::string suggestion) {
    CorrectionIssue i;
    i.range = TextRange{start, end};
    i.original = std::move(original);
    i.suggestion = std::move(suggestion);
    return i;
}

std::string repeat(std::string_view s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

struct RangeCase {
    const char* name;
    int64_t length;  // Characters of the range, from 0
    int64_t textLength;
    bool unchanged;  // the suggestion is the original
    bool drawn;
};
void PrintTo(const RangeCase& c, std::ostream* os) {
    *os << c.name;
}

class HighlightRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(HighlightRangeTest, RangesTooLongForTheirTextAreNotDrawn) {
    const auto& c = GetParam();
    const std::string original = repeat("あ", static_cast<int>(std::max<int64_t>(c.length, 0)));
    const auto i = issue(0, c.length, original, c.unchanged ? original : "い");
    EXPECT_EQ(isPlausibleHighlightRange(i, c.textLength), c.drawn);
}

INSTANTIATE_TEST_SUITE_P(Limits, HighlightRangeTest,
                         ::testing::Values(RangeCase{"unchangedOf4", 4, 40, true, true},
                                           RangeCase{"unchangedOf5", 5, 40, true, false},
                                           RangeCase{"text72Issue24", 24, 72, false, true},
                                           RangeCase{"text72Issue25", 25, 72, false, false},
                                           RangeCase{"text71Issue24", 24, 71, false, true},
                                           RangeCase{"text71Issue25", 25, 71, false, false},
                                           RangeCase{"text90Issue30", 30, 90, false, true},
                                           RangeCase{"text90Issue31", 31, 90, false, false},
                                           RangeCase{"text100Issue33", 33, 100, false, true},
                                           RangeCase{"text100Issue34", 34, 100, false, false},
                                           RangeCase{"oneCharacter", 1, 1, false, true},
                                           RangeCase{"empty", 0, 40, false, false},
                                           RangeCase{"reversed", -2, 40, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct WidthCase {
    const char* name;
    std::string original;
    double width;
    bool drawn;
};
void PrintTo(const WidthCase& c, std::ostream* os) {
    *os << c.name;
}

class HighlightWidthTest : public ::testing::TestWithParam<WidthCase> {};

TEST_P(HighlightWidthTest, RectanglesWiderThanTheirTextAreNotDrawn) {
    const auto& c = GetParam();
    const auto i = issue(0, 1, c.original, "x");
    EXPECT_EQ(isPlausibleHighlightRect(i, Rect{10, 10, c.width, 20}), c.drawn);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, HighlightWidthTest,
    ::testing::Values(
        WidthCase{"oneCharacterAt180", "を", 180, true},
        WidthCase{"oneCharacterOver180", "を", 180.5, false},
        WidthCase{"emptyCountsAsOne", "", 180, true},
        WidthCase{"fiveCharactersAt180", "おねがいし", 180, true},
        WidthCase{"fiveCharactersOver180", "おねがいし", 181, false},
        WidthCase{"tenCharactersAt288", "ありがとうございます", 288, true},
        WidthCase{"tenCharactersOver288", "ありがとうございます", 289, false},
        // Characters, not bytes or UTF-16 units: 7 clusters.
        WidthCase{"sevenClustersAt216", "が\u3099😀👨\u200d👩\u200d👧𠮷ぁぃぅ", 216, true},
        WidthCase{"sevenClustersOver216", "が\u3099😀👨\u200d👩\u200d👧𠮷ぁぃぅ", 217, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CorrectionKeyTest, SameFindingWithAnotherIdIsTheSameKey) {
    auto a = issue(3, 5, "をを", "を");
    auto b = a;
    a.id = "A";
    b.id = "B";
    EXPECT_EQ(correctionKey(a), correctionKey(b));
    b.category = CorrectionIssue::Category::grammar;
    a.category = CorrectionIssue::Category::particle;
    EXPECT_NE(correctionKey(a), correctionKey(b));
    EXPECT_NE(correctionKey(issue(0, 1, "a|b", "c")), correctionKey(issue(0, 1, "a", "b|c")));
    EXPECT_NE(correctionKey(issue(3, 5, "x", "y")), correctionKey(issue(3, 6, "x", "y")));
}

}  // namespace
}  // namespace mivo
