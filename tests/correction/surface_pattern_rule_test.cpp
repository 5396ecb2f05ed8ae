#include "correction/rules/surface_pattern_rule.hpp"

#include "morphology/mecab_japanese_tokenizer.hpp"
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

SurfacePattern pattern(std::string id, std::string text, std::string suggestion) {
    return {std::move(id),
            std::move(text),
            std::move(suggestion),
            Severity::critical,
            Category::grammar,
            0.5,
            "e"};
}

TEST(SurfacePatternRule, FallbackFindings) {
    struct Row {
        std::string text;
        testing::Expected expected;
    };
    const std::vector<Row> rows = {
        {"これわペンです。", {0, 3, "これわ", "これは", "これはペンです。"}},
        {"どやって作るの？", {0, 4, "どやって", "どうやって", "どうやって作るの？"}},
    };
    const SurfacePatternRule rule(SurfacePatternRule::fallbackRulePack());
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        const auto issues = check(rule, r.text);
        testing::expectIssues(r.text, issues, {r.expected});
        ASSERT_EQ(issues.size(), 1u);
        EXPECT_EQ(issues[0].severity, Severity::critical);
        EXPECT_DOUBLE_EQ(issues[0].confidence, 0.96);
    }
    // Grouped by pattern, the longer pattern first.
    EXPECT_EQ(found(check(rule, "これわどやって")),
              (std::vector<std::string>{"どうやって@3-7", "これは@0-3"}));
    EXPECT_TRUE(check(rule, "これはペンです。").empty());
    EXPECT_TRUE(check(rule, "").empty());
}

TEST(SurfacePatternRule, WithATokenizerAHitMustStandBetweenWords) {
    const JapaneseTokenizer* tokenizer = MecabJapaneseTokenizer::shared();
    ASSERT_NE(tokenizer, nullptr) << "the IPA dictionary is not installed";
    const SurfacePatternRule rule(tokenizer, SurfacePatternRule::fallbackRulePack());
    // これ + わかり: "correcting" it would write これはかりますか.
    EXPECT_TRUE(check(rule, "これわかりますか。").empty());
    EXPECT_TRUE(check(rule, "これわからない").empty());
    // A misspelt particle still stands between words, at the start and at the end.
    EXPECT_EQ(found(check(rule, "これわペンです。")), (std::vector<std::string>{"これは@0-3"}));
    EXPECT_EQ(found(check(rule, "それとこれわ")), (std::vector<std::string>{"これは@3-6"}));
    EXPECT_EQ(found(check(rule, "どやって作るの？")), (std::vector<std::string>{"どうやって@0-4"}));
    // Without a tokenizer every literal hit counts, as before.
    const SurfacePatternRule plain(SurfacePatternRule::fallbackRulePack());
    EXPECT_EQ(found(check(plain, "これわかりますか。")), (std::vector<std::string>{"これは@0-3"}));
}

struct Case {
    std::string why;
    std::vector<SurfacePattern> pack;
    std::string text;
    std::vector<std::string> expected;
};

TEST(SurfacePatternRule, EveryHitOfEveryPattern) {
    const std::vector<Case> cases = {
        {"one pattern twice",
         {pattern("k", "これわ", "これは")},
         "これわこれわ",
         {"これは@0-3", "これは@3-6"}},
        {"hits of one pattern never overlap",
         {pattern("a", "ああ", "x")},
         "あああああ",
         {"x@0-2", "x@2-4"}},
        {"overlapping patterns both report",
         {pattern("rewa", "れわ", "れは"), pattern("k", "これわ", "これは")},
         "これわ",
         {"これは@0-3", "れは@1-3"}},
        {"the same pattern twice reports twice",
         {pattern("a", "AB", "x"), pattern("b", "AB", "y")},
         "AB",
         {"x@0-2", "y@0-2"}},
        {"an empty pattern never matches", {pattern("e", "", "x")}, "AB", {}},
        {"canonically equivalent text matches",
         {pattern("d", "どやって", "どうやって")},
         "と\u3099やって",
         {"どうやって@0-4"}},
        {"no width folding", {pattern("a", "ABC", "x")}, "ＡＢＣ", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(found(check(SurfacePatternRule(SurfacePatternRulePack{c.pack}), c.text)),
                  c.expected);
    }
}

TEST(SurfacePatternRule, RangesFollowTheSentenceStartAndQuoteTheText) {
    const std::string text = "えーと、と\u3099やって";
    const auto issues = check(SurfacePatternRule(SurfacePatternRule::fallbackRulePack()), text, 20);
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].range, (TextRange{24, 28}));
    EXPECT_EQ(issues[0].original, "と\u3099やって");
    EXPECT_EQ(applyIssue(text, issues[0], 20), "えーと、どうやって");
}

TEST(SurfacePatternRule, DecoderIsStrict) {
    const std::string good =
        R"({"id":"i","pattern":"p","suggestion":"s","severity":"unnatural","category":"style","confidence":0.25,"explanationEn":"e"})";
    EXPECT_EQ(testing::decoded(&surfacePatternRulePackFromJson, R"({"patterns":[)" + good + "]}"),
              (SurfacePatternRulePack{
                  {{"i", "p", "s", Severity::unnatural, Category::style, 0.25, "e"}}}));
    const std::vector<std::string> refused = {
        R"({"patterns":[{"id":"i","suggestion":"s","severity":"unnatural","category":"style","confidence":0.25,"explanationEn":"e"}]})",
        R"({"patterns":[{"id":"i","pattern":"p","suggestion":"s","severity":"unnatural","category":"Style","confidence":0.25,"explanationEn":"e"}]})",
    };
    for (const auto& json : refused) {
        SCOPED_TRACE(json);
        EXPECT_FALSE(testing::decoded(&surfacePatternRulePackFromJson, json).has_value());
    }
}

}  // namespace
}  // namespace mivo
