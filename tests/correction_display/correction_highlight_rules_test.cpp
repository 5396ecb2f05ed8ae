#include "correction_display/correction_highlight_rules.hpp"

#include <gtest/gtest.h>

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

TEST(HighlightRules, RangesTooLongForTheirTextAreNotDrawn) {
    const struct {
        int64_t length;  // Characters of the range, from 0
        int64_t textLength;
        bool unchanged;  // the suggestion is the original
        bool drawn;
    } cases[] = {
        {4, 40, true, true},     {5, 40, true, false},   {24, 72, false, true},
        {25, 72, false, false},  {24, 71, false, true},  {25, 71, false, false},
        {30, 90, false, true},   {31, 90, false, false}, {33, 100, false, true},
        {34, 100, false, false}, {1, 1, false, true},    {0, 40, false, false},  // empty
        {-2, 40, false, false},                                                  // reversed
    };
    for (const auto& c : cases) {
        const std::string original = repeat("あ", static_cast<int>(std::max<int64_t>(c.length, 0)));
        const auto i = issue(0, c.length, original, c.unchanged ? original : "い");
        EXPECT_EQ(isPlausibleHighlightRange(i, c.textLength), c.drawn)
            << c.length << " of " << c.textLength;
    }
}

TEST(HighlightRules, RectanglesWiderThanTheirTextAreNotDrawn) {
    // Characters, not bytes or UTF-16 units: 7 clusters.
    const std::string seven = "が\u3099😀👨\u200d👩\u200d👧𠮷ぁぃぅ";
    const struct {
        std::string original;
        double width;
        bool drawn;
    } cases[] = {
        {"を", 180, true},
        {"を", 180.5, false},
        {"", 180, true},  // empty counts as one
        {"おねがいし", 180, true},
        {"おねがいし", 181, false},
        {"ありがとうございます", 288, true},
        {"ありがとうございます", 289, false},
        {seven, 216, true},
        {seven, 217, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isPlausibleHighlightRect(issue(0, 1, c.original, "x"), Rect{10, 10, c.width, 20}),
                  c.drawn)
            << c.original << " at " << c.width;
    }
}

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
