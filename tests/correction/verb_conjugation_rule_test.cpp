#include "correction/rules/verb_conjugation_rule.hpp"

#include "pack_test_support.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using testing::applyIssue;
using testing::check;
using Replacement = VerbConjugationRule::Replacement;
using RulePack = VerbConjugationRule::RulePack;

struct Case {
    std::string text;
    int64_t start, end;
    std::string suggestion, corrected;
};

TEST(VerbConjugationRule, FallbackFindings) {
    const std::vector<Case> cases = {
        {"昨日ご飯を食べりました。", 5, 11, "食べました", "昨日ご飯を食べました。"},
        {"学校へ行きて、", 3, 6, "行って", "学校へ行って、"},
        {"彼は来らない。", 2, 6, "来ない", "彼は来ない。"},
        {"花が死いて", 2, 5, "死んで", "花が死んで"},
        {"パンを買てきた", 3, 5, "買って", "パンを買ってきた"},
        {"運転しれる", 2, 5, "できる", "運転できる"},
        {"切手を集めって", 3, 7, "集めて", "切手を集めて"},
        {"子供を行かさせる", 3, 8, "行かせる", "子供を行かせる"},
        {"映画が見れます。", 3, 7, "見られます", "映画が見られます。"},
        // べ typed as へ + combining voiced mark: found, and quoted as typed.
        {"昨日ご飯を食へ\u3099りました。", 5, 11, "食べました", "昨日ご飯を食べました。"},
    };
    const VerbConjugationRule rule(VerbConjugationRule::fallbackRulePack());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto issues = check(rule, c.text);
        ASSERT_EQ(issues.size(), 1u);
        EXPECT_EQ(issues[0].range, (TextRange{c.start, c.end}));
        EXPECT_EQ(issues[0].original, text::characterSlice(c.text, c.start, c.end));
        EXPECT_EQ(issues[0].suggestion, c.suggestion);
        EXPECT_EQ(issues[0].severity, CorrectionIssue::Severity::critical);
        EXPECT_EQ(issues[0].category, CorrectionIssue::Category::conjugation);
        EXPECT_EQ(applyIssue(c.text, issues[0]), c.corrected);
    }
    for (const std::string valid : {"昨日ご飯を食べました。", "行って来ます", "見られます", ""}) {
        SCOPED_TRACE(valid);
        EXPECT_TRUE(check(rule, valid).empty());
    }
}

TEST(VerbConjugationRule, RepeatedFormsAreFoundLeftToRightWithTheSentenceOffset) {
    const auto issues =
        check(VerbConjugationRule(VerbConjugationRule::fallbackRulePack()), "行きて行きて", 40);
    ASSERT_EQ(issues.size(), 2u);
    EXPECT_EQ(issues[0].range, (TextRange{40, 43}));
    EXPECT_EQ(issues[1].range, (TextRange{43, 46}));
    EXPECT_EQ(applyIssue("行きて行きて", issues[1], 40), "行きて行って");
}

TEST(VerbConjugationRule, ExplanationFromThePackOrBuiltIn) {
    struct Row {
        std::optional<std::string> packExplanation;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {std::nullopt,
         "\"行きて\" uses the regular て-form pattern, but \"行く\" takes the irregular form "
         "\"行って\"."},
        {"", ""},
        {"Custom.", "Custom."},
    };
    for (const auto& row : rows) {
        const VerbConjugationRule rule(RulePack{{{"行きて", "行って", row.packExplanation}}});
        const auto issues = check(rule, "行きて");
        ASSERT_EQ(issues.size(), 1u);
        EXPECT_EQ(issues[0].explanationEn, row.expected);
    }
}

TEST(VerbConjugationRule, NestedEntriesBothReportLongerFirst) {
    const VerbConjugationRule rule(RulePack{
        {{"べりました", "べました", std::nullopt}, {"食べりました", "食べました", std::nullopt}}});
    const auto issues = check(rule, "食べりました");
    ASSERT_EQ(issues.size(), 2u);
    EXPECT_EQ(issues[0].range, (TextRange{0, 6}));
    EXPECT_EQ(issues[1].range, (TextRange{1, 6}));
    EXPECT_EQ(applyIssue("食べりました", issues[0]), "食べました");
    EXPECT_EQ(applyIssue("食べりました", issues[1]), "食べました");
}

TEST(VerbConjugationRule, EmptyOriginalNeverMatches) {
    EXPECT_TRUE(check(VerbConjugationRule(RulePack{{{"", "x", std::nullopt}}}), "本").empty());
}

TEST(VerbConjugationRule, DecoderIsStrict) {
    EXPECT_EQ(
        testing::decoded(&verbConjugationRulePackFromJson,
                         R"({"replacements":[{"original":"a","suggestion":"b"},
                                   {"original":"c","suggestion":"d","explanationEn":null},
                                   {"original":"e","suggestion":"f","explanationEn":"","x":1}]})"),
        (RulePack{
            {{"a", "b", std::nullopt}, {"c", "d", std::nullopt}, {"e", "f", std::string()}}}));
    const std::vector<std::string> refused = {
        R"({})",
        R"({"replacements":[{"original":"a","suggestion":"b","explanationEn":3}]})",
    };
    for (const auto& json : refused) {
        SCOPED_TRACE(json);
        EXPECT_FALSE(testing::decoded(&verbConjugationRulePackFromJson, json).has_value());
    }
}

}  // namespace
}  // namespace mivo
