#include "correction/rules/phrase_rewrite_rule.hpp"

#include "dictionary_test_support.hpp"
#include "pack_test_support.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using testing::applyIssue;
using testing::check;
using testing::found;
using Severity = CorrectionIssue::Severity;
using Category = CorrectionIssue::Category;

PhraseRewriteEntry entry(std::string id, std::string match, std::string suggestion) {
    return {std::move(id),
            std::move(match),
            std::move(suggestion),
            Severity::style,
            0.5,
            Category::vocabulary,
            "e"};
}

struct Case {
    std::string text;
    int64_t start, end;
    std::string corrected;
    Severity severity;
};

TEST(PhraseRewriteRule, FallbackFindings) {
    const std::vector<Case> cases = {
        {"先ほどはご対応、ありがとう。", 4, 13, "先ほどはご対応ありがとうございます。",
         Severity::unnatural},
        {"ちょっと待ってね。", 0, 7, "少々お待ちくださいね。", Severity::style},
    };
    const PhraseRewriteRule rule(PhraseRewriteRule::fallbackRulePack());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto issues = check(rule, c.text);
        ASSERT_EQ(issues.size(), 1u);
        EXPECT_EQ(issues[0].range, (TextRange{c.start, c.end}));
        EXPECT_EQ(issues[0].severity, c.severity);
        EXPECT_EQ(issues[0].category, Category::vocabulary);
        EXPECT_DOUBLE_EQ(issues[0].confidence, 0.9);
        EXPECT_EQ(issues[0].original, text::characterSlice(c.text, c.start, c.end));
        EXPECT_EQ(applyIssue(c.text, issues[0]), c.corrected);
    }
    // A comma other than U+3001 is another phrase.
    EXPECT_TRUE(check(rule, "ご対応,ありがとう").empty());
    EXPECT_TRUE(check(rule, "").empty());
}

struct ClaimCase {
    std::string why;
    std::vector<PhraseRewriteEntry> pack;
    std::string text;
    std::vector<std::string> expected;
};

TEST(PhraseRewriteRule, EachStretchGoesToOneEntry) {
    const std::vector<ClaimCase> cases = {
        {"a phrase twice", {entry("a", "ABC", "x")}, "ABCABC", {"x@0-3", "x@3-6"}},
        {"overlapping occurrences from the left",
         {entry("a", "ああ", "x")},
         "ああああ",
         {"x@0-2", "x@2-4"}},
        {"the longer wins inside",
         {entry("bc", "BC", "s"), entry("abc", "ABC", "l")},
         "ABC",
         {"l@0-3"}},
        {"the shorter still reports elsewhere, after the longer",
         {entry("bc", "BC", "s"), entry("abc", "ABC", "l")},
         "BCABC",
         {"l@2-5", "s@0-2"}},
        {"same match twice: the first in the pack reports",
         {entry("one", "AB", "first"), entry("two", "AB", "second")},
         "AB",
         {"first@0-2"}},
        {"equal lengths: pack order decides an overlap",
         {entry("bc", "BC", "bc"), entry("ab", "AB", "ab")},
         "ABC",
         {"bc@1-3"}},
        {"an empty match never matches", {entry("e", "", "x")}, "ABC", {}},
        {"decomposed text matches the composed phrase",
         {entry("g", "がっこう", "学校")},
         "か\u3099っこう",
         {"学校@0-4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(found(check(PhraseRewriteRule(PhraseRewriteRulePack{c.pack}), c.text)),
                  c.expected);
    }
}

TEST(PhraseRewriteRule, RangesFollowTheSentenceStart) {
    const std::string text = "はいご対応、ありがとう";
    const auto issues = check(PhraseRewriteRule(PhraseRewriteRule::fallbackRulePack()), text, 20);
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].range, (TextRange{22, 31}));
    EXPECT_EQ(applyIssue(text, issues[0], 20), "はいご対応ありがとうございます");
}

// The rewrites bring their own polite ending: where the sentence already
// goes on with it the issue takes it in, and where it goes on otherwise no
// rewrite fits.
TEST(PhraseRewriteRule, ThroughTheRealDictionary) {
    testing::expectThroughDictionary(
        PhraseRewriteRule(PhraseRewriteRule::fallbackRulePack()),
        {
            {"先ほどはご対応、ありがとう。", {"先ほどはご対応ありがとうございます。"}, {{4, 13}}},
            {"ちょっと待って。", {"少々お待ちください。"}, {{0, 7}}},
            {"ちょっと待ってね。", {"少々お待ちくださいね。"}, {{0, 7}}},
            {"ちょっと待ってください。", {"少々お待ちください。"}, {{0, 11}}},
            {"先ほどはご対応、ありがとうございます。",
             {"先ほどはご対応ありがとうございます。"},
             {{4, 18}}},
            {"ご対応、ありがとうございました。", {}},
            {"ちょっと待ってくれ。", {}},
            {"ちょっと待ってから行く。", {}},
            {"ちょっと待っていい？", {}},
        });
}

TEST(PhraseRewriteRule, DecoderIsStrict) {
    const std::string good =
        R"({"id":"i","match":"m","suggestion":"s","severity":"critical","confidence":1,"category":"grammar","explanationEn":"e","x":0})";
    EXPECT_EQ(
        testing::decoded(&phraseRewriteRulePackFromJson, R"({"phrases":[)" + good + "]}"),
        (PhraseRewriteRulePack{{{"i", "m", "s", Severity::critical, 1, Category::grammar, "e"}}}));
    const std::vector<std::string> refused = {
        R"({"phrases":[{"id":"i","match":"m","suggestion":"s","severity":"high","confidence":1,"category":"grammar","explanationEn":"e"}]})",
        R"({"phrases":[)" + good + R"(,{"id":"i"}]})",
    };
    for (const auto& json : refused) {
        SCOPED_TRACE(json);
        EXPECT_FALSE(testing::decoded(&phraseRewriteRulePackFromJson, json).has_value());
    }
}

}  // namespace
}  // namespace mivo
