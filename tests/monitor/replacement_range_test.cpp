#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "monitor/replacement_range.hpp"

namespace mivo {
namespace {

CorrectionIssue issue(std::string original, std::string suggestion, int64_t start, int64_t end) {
    CorrectionIssue i;
    i.id = "issue-" + std::to_string(start);
    i.original = std::move(original);
    i.suggestion = std::move(suggestion);
    i.range = TextRange{start, end};
    return i;
}

struct RangeCase {
    const char* why;
    std::string text;
    CorrectionIssue issue;
    std::optional<std::string> checked;  // the text the issue was found in
    std::optional<Utf16Range> expected;
};

TEST(ReplacementRangeTest, LocatesTheOriginalOnlyWhereItsCheckedSentenceStands) {
    const RangeCase cases[] = {
        {"stored range still holds it",
         "今日は晴れです。",
         issue("晴れ", "雨", 3, 5),
         {},
         {{3, 2}}},
        {"at offset 0", "晴れです。", issue("晴れ", "雨", 0, 2), {}, {{0, 2}}},
        {"up to the end", "今日は晴れ", issue("晴れ", "雨", 3, 5), {}, {{3, 2}}},
        {"an emoji before it shifts the UTF-16 location by one",
         "😀今日は晴れです。",
         issue("晴れ", "雨", 4, 6),
         {},
         {{5, 2}}},
        {"the user typed before it: found where its sentence stands",
         "ああ今日は晴れです。",
         issue("晴れ", "雨", 3, 5),
         "今日は晴れです。",
         {{5, 2}}},
        {"without the checked text a moved original is not searched for",
         "ああ今日は晴れです。",
         issue("晴れ", "雨", 3, 5),
         {},
         std::nullopt},
        {"a copy in another sentence is not the issue", "晴れ。今日は雨です。",
         issue("晴れ", "雨", 3, 5), "今日は晴れです。", std::nullopt},
        {"the stored range holds a copy, but its sentence was retyped", "今日で住む。",
         issue("で", "に", 2, 3), "東京で住んでいます。", std::nullopt},
        {"typed on after the checked sentence",
         "東京で住んでいます。今日も",
         issue("で", "に", 2, 3),
         "東京で住んでいます。",
         {{2, 1}}},
        {"nearest of the matching copies: distance 2 beats 3 and 7",
         "晴れです。晴れです。晴れです。",
         issue("晴れ", "雨", 7, 9),
         "。。。。。。。晴れです。",
         {{5, 2}}},
        {"equal distances: the earlier one",
         "晴れです。ああああ。晴れです。",
         issue("晴れ", "雨", 5, 7),
         "。。。。。晴れです。",
         {{0, 2}}},
        {"canonically equal original (decomposed が in the field)",
         "か\u3099くせい",
         issue("が", "ぎ", 0, 1),
         {},
         {{0, 2}}},
        {"original gone", "今日は雨です。", issue("晴れ", "雨", 3, 5), "今日は晴れです。",
         std::nullopt},
        {"empty text", "", issue("晴れ", "雨", 0, 2), "晴れ", std::nullopt},
        {"empty original that the stored range does not hold",
         "今日",
         issue("", "は", 5, 5),
         {},
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto context = c.checked ? issueContext(c.issue, *c.checked) : std::nullopt;
        ASSERT_EQ(context.has_value(), c.checked.has_value());
        EXPECT_EQ(replacementRange(c.issue, c.text, context ? &*context : nullptr), c.expected);
    }
}

TEST(ReplacementRangeTest, TheContextIsTheRestOfTheIssuesSentence) {
    EXPECT_EQ(issueContext(issue("晴れ", "雨", 8, 10), "明日も雨。今日は晴れです。次"),
              (IssueContext{"今日は", "です。"}));
    EXPECT_EQ(issueContext(issue("晴れ", "雨", 0, 2), "晴れ"), (IssueContext{"", ""}));
    EXPECT_EQ(issueContext(issue("晴れ", "雨", 4, 6), "今日は\n晴れ！"), (IssueContext{"", "！"}));
    EXPECT_EQ(issueContext(issue("晴れ", "雨", 0, 2), "今日は晴れ"), std::nullopt)
        << "another text than the issue's";
}

struct AllCase {
    const char* why;
    std::string text;
    std::vector<CorrectionIssue> issues;
    std::optional<std::string> expected;
};

TEST(ReplacingAllTest, AppliesEveryIssueFromTheHighestStartDown) {
    const AllCase cases[] = {
        {"no issues: unchanged", "今日は晴れです。", {}, "今日は晴れです。"},
        {"given lowest first, the one at 10 still goes first",
         "私はは学校に行行きます。",
         {issue("はは", "は", 1, 3), issue("行行", "行", 6, 8)},
         "私は学校に行きます。"},
        {"starts 2 and 10, suggestions of other lengths",
         "今日晴れ、明日も晴れ、そして雨",
         {issue("晴れ", "快晴でした", 2, 4), issue("晴れ", "曇り空", 8, 10)},
         "今日快晴でした、明日も曇り空、そして雨"},
        {"an issue that changes nothing spoils the batch",
         "今日は晴れです。",
         {issue("晴れ", "晴れ", 3, 5)},
         std::nullopt},
        {"an issue whose stored range moved spoils the batch (no search)",
         "ああ今日は晴れです。",
         {issue("晴れ", "雨", 3, 5)},
         std::nullopt},
        {"one good, one stale",
         "今日は晴れです。",
         {issue("今日", "明日", 0, 2), issue("雪", "雨", 3, 4)},
         std::nullopt},
        {"overlapping issues never both apply",
         "今日は晴れです。",
         {issue("は晴", "が晴", 2, 4), issue("晴れ", "雨", 3, 5)},
         std::nullopt},
        {"emoji before: Character offsets, not UTF-16",
         "😀晴れ",
         {issue("晴れ", "雨", 1, 3)},
         "😀雨"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(replacingAll(c.issues, c.text), c.expected);
    }
}

}  // namespace
}  // namespace mivo
