#include "correction/rules/double_polite_rule.hpp"

#include "pack_test_support.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using testing::applyIssue;
using Severity = CorrectionIssue::Severity;

struct Case {
    std::string text;
    std::vector<testing::Expected> expected;
    std::string why = {};
};

void expectFindings(const DoublePoliteRule& rule, const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + (c.why.empty() ? "" : " (" + c.why + ")"));
        const auto issues = testing::check(rule, c.text);
        testing::expectIssues(c.text, issues, c.expected);
        for (const auto& issue : issues)
            EXPECT_EQ(issue.category, CorrectionIssue::Category::style);
    }
}

TEST(DoublePoliteRule, FallbackPackFindings) {
    expectFindings(DoublePoliteRule(DoublePoliteRule::fallbackRulePack()),
                   {
                       {"資料を送りますでしょうか。",
                        {{5, 12, "ますでしょうか", "ますか", "資料を送りますか。"}}},
                       {"ご確認いただけますでしょうか。", {}, "allow-listed"},
                       {"在庫はございますでしょうか。", {}, "allow-listed"},
                       {"ご確認いただけますでしょうか、それとも送りますでしょうか。",
                        {{21, 28, "ますでしょうか", "ますか",
                          "ご確認いただけますでしょうか、それとも送りますか。"}},
                        "only the one outside the allow-listed phrase"},
                       {"行きますでしょうか、来ますでしょうか。",
                        {{2, 9, "ますでしょうか", "ますか", "行きますか、来ますでしょうか。"},
                         {11, 18, "ますでしょうか", "ますか", "行きますでしょうか、来ますか。"}}},
                       {"送りますて\u3099しょうか",
                        {{2, 9, "ますて\u3099しょうか", "ますか", "送りますか"}},
                        "decomposed で"},
                       {"ますでしょうか",
                        {{0, 7, "ますでしょうか", "ますか", "ますか"}},
                        "the whole sentence"},
                       {"でしょうか。", {}},
                       {"", {}},
                   });
}

TEST(DoublePoliteRule, IssueFields) {
    const auto issues = DoublePoliteRule(DoublePoliteRule::fallbackRulePack())
                            .apply("送りますでしょうか。", {}, TextRange{20, 30}, "id-9");
    ASSERT_EQ(issues.size(), 1u);
    const auto& issue = issues[0];
    EXPECT_EQ(issue.range, (TextRange{22, 29}));
    EXPECT_EQ(issue.sentenceId, "id-9");
    EXPECT_EQ(issue.original, "ますでしょうか");
    EXPECT_EQ(issue.severity, Severity::style);
    EXPECT_EQ(issue.category, CorrectionIssue::Category::style);
    EXPECT_DOUBLE_EQ(issue.confidence, 0.7);
    EXPECT_EQ(applyIssue("送りますでしょうか。", issue, 20), "送りますか。");
}

DoublePolitePattern pattern(std::string id, std::string match, std::string suggestion,
                            Severity severity = Severity::style) {
    return {std::move(id), std::move(match), std::move(suggestion), severity, 0.5, "x"};
}

TEST(DoublePoliteRule, LongerPatternsClaimFirstAndTheAllowListCoversShorterOnes) {
    const DoublePoliteRule rule(DoublePoliteRulePack{
        .patterns = {pattern("short", "でしょうか", "か", Severity::critical),
                     pattern("long", "ますでしょうか", "ますか")},
        .allowlist = {"ございますでしょうか"},
    });
    expectFindings(rule, {
                             {"行きますでしょうか",
                              {{2, 9, "ますでしょうか", "ますか", "行きますか"}},
                              "the shorter match lies inside the longer one"},
                             {"本当でしょうか", {{2, 7, "でしょうか", "か", "本当か"}}},
                             {"ございますでしょうか", {}, "the shorter match is allow-listed too"},
                         });
    // The category is style whatever the pattern's severity.
    const auto issues = rule.apply("本当でしょうか", {}, TextRange{0, 0}, "s");
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].severity, Severity::critical);
    EXPECT_EQ(issues[0].category, CorrectionIssue::Category::style);
}

TEST(DoublePoliteRule, EqualLengthsKeepPackOrder) {
    const DoublePoliteRule rule(DoublePoliteRulePack{
        .patterns = {pattern("bc", "ますか", "BC"), pattern("ab", "ります", "AB")},
        .allowlist = {},
    });
    expectFindings(
        rule, {{"送りますか", {{2, 5, "ますか", "BC", "送りBC"}}, "the first in the pack claims"}});
}

TEST(DoublePoliteRule, AnAllowListPhraseMustCoverTheWholeMatch) {
    const DoublePoliteRule rule(DoublePoliteRulePack{
        .patterns = {pattern("p", "ますでしょうか", "ますか")},
        .allowlist = {"ますでしょ", "しょうか。", "りますでしょうか"},
    });
    expectFindings(rule, {
                             {"行きますでしょうか。",
                              {{2, 9, "ますでしょうか", "ますか", "行きますか。"}},
                              "each phrase covers only a part"},
                             {"送りますでしょうか。", {}, "りますでしょうか covers it"},
                         });
}

TEST(DoublePoliteRule, DecoderIsStrict) {
    const std::string patternJson =
        R"({"id":"p","match":"m","suggestion":"s","severity":"style","confidence":0.5,"explanationEn":"e"})";
    EXPECT_EQ(
        testing::decoded(&doublePoliteRulePackFromJson,
                         R"({"patterns":[)" + patternJson + R"(],"allowlist":["a"],"extra":1})"),
        (DoublePoliteRulePack{{{"p", "m", "s", Severity::style, 0.5, "e"}}, {"a"}}));
    const std::vector<std::string> refused = {
        R"({"allowlist":[]})",
        R"({"patterns":[{"id":"p","match":"m","suggestion":"s","severity":"minor","confidence":0.5,"explanationEn":"e"}],"allowlist":[]})",
    };
    for (const auto& json : refused) {
        SCOPED_TRACE(json);
        EXPECT_FALSE(testing::decoded(&doublePoliteRulePackFromJson, json).has_value());
    }
}

}  // namespace
}  // namespace mivo
