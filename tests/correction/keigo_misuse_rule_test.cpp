#include "correction/rules/keigo_misuse_rule.hpp"

#include "pack_test_support.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using testing::applyIssue;
using testing::check;
using P = JapanesePartOfSpeech;

const KeigoMisuseRule& fallbackRule() {
    static const KeigoMisuseRule rule(KeigoMisuseRule::fallbackRulePack());
    return rule;
}

TEST(KeigoMisuseRule, ShippedPackIsTheFallback) {
    EXPECT_EQ(testing::shippedPack(KeigoMisuseRule::packName, &keigoMisuseRulePackFromJson),
              KeigoMisuseRule::fallbackRulePack());
}

TEST(KeigoMisuseRule, IssueOverTheWholeConstruction) {
    const std::string text = "ご確認させていただきます。";
    const auto issues = check(fallbackRule(), text);
    ASSERT_EQ(issues.size(), 1u);
    const auto& issue = issues[0];
    EXPECT_EQ(issue.range, (TextRange{0, 12}));
    EXPECT_EQ(issue.original, "ご確認させていただきます");
    EXPECT_EQ(issue.suggestion, "確認させていただきます");
    EXPECT_EQ(issue.severity, CorrectionIssue::Severity::unnatural);
    EXPECT_EQ(issue.category, CorrectionIssue::Category::style);
    EXPECT_DOUBLE_EQ(issue.confidence, 0.85);
    EXPECT_EQ(issue.explanationEn,
              "「ご〜させていただく」 mixes a respectful prefix (for the listener's action) with a "
              "humble form (for your own action). If you are the one acting: "
              "\"確認させていただきたい\". If the listener is: \"ご確認いただきたい\".");
    // Applied, the sentence keeps the user's verb form and loses only ご.
    EXPECT_EQ(applyIssue(text, issue), "確認させていただきます。");
}

struct Case {
    std::string text;
    std::vector<std::pair<int64_t, int64_t>> ranges;
    std::string why;
};

TEST(KeigoMisuseRule, FallbackFindings) {
    const std::vector<Case> cases = {
        {"確認させていただきます", {}, "no ご"},
        {"ご確認いただけますか", {}, "no humble tail"},
        {"ご確認させていただく", {{0, 10}}, "the shortest tail ends the sentence"},
        {"ご確認させていただ", {}, "a tail cut short by the end"},
        {"ご確認させていただきたいです", {{0, 12}}, ""},
        {"ご連絡させていただいてもよろしいですか", {{0, 19}}, ""},
        {"ご確認させていただきます。ご連絡させていただきます。",
         {{0, 12}, {13, 25}},
         "two occurrences, each its own range"},
        {"ご確認させていただきます、ご確認させていただきます",
         {{0, 12}, {13, 25}},
         "one noun twice"},
        {"ご相談させていただきます", {}, "a noun outside the pack"},
        {"", {}, "empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + " (" + c.why + ")");
        const auto issues = check(fallbackRule(), c.text);
        ASSERT_EQ(issues.size(), c.ranges.size());
        for (std::size_t i = 0; i < issues.size(); ++i) {
            EXPECT_EQ(issues[i].range, (TextRange{c.ranges[i].first, c.ranges[i].second}));
            EXPECT_EQ(issues[i].original,
                      text::characterSlice(c.text, c.ranges[i].first, c.ranges[i].second));
        }
    }
}

TEST(KeigoMisuseRule, LongestTailIsQuotedWhole) {
    const auto issues = check(fallbackRule(), "ご連絡させていただいてもよろしいでしょうか。");
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].original, "ご連絡させていただいてもよろしいでしょうか");
    EXPECT_EQ(issues[0].suggestion, "連絡させていただいてもよろしいでしょうか");
    EXPECT_EQ(applyIssue("ご連絡させていただいてもよろしいでしょうか。", issues[0]),
              "連絡させていただいてもよろしいでしょうか。");
}

TEST(KeigoMisuseRule, RangeIsOffsetByTheSentenceStartAndIgnoresMorphemes) {
    const std::string text = "明日はご確認させていただきます";
    const auto plain = check(fallbackRule(), text, 10);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].range, (TextRange{13, 25}));
    const auto withMorphemes =
        check(fallbackRule(), text, 10, testing::handMorphemes({{"明日", "", P::noun}}));
    ASSERT_EQ(withMorphemes.size(), 1u);
    EXPECT_EQ(withMorphemes[0].range, plain[0].range);
}

TEST(KeigoMisuseRule, RepeatedNounsKeepTheFirstEntry) {
    // でんわ composed and decomposed name one noun: the first entry wins.
    const KeigoMisuseRule rule(KeigoMisuseRulePack{{
        {"でんわ", "first own", "first listener"},
        {"て\u3099んわ", "second own", "second listener"},
        {"でんわ", "third own", "third listener"},
    }});
    const auto issues = check(rule, "ごでんわさせていただきます");
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_NE(issues[0].explanationEn.find("first own"), std::string::npos);
}

TEST(KeigoMisuseRule, OverlappingMatchesOfTwoNounsReportTheFirstVisited) {
    const std::string text = "ご予定ご確認させていただきます";
    const KeigoVerbalNounEntry longer{"予定ご確認", "L", "L"};
    const KeigoVerbalNounEntry shorter{"確認", "S", "S"};
    const auto longerFirst = check(KeigoMisuseRule({{longer, shorter}}), text);
    ASSERT_EQ(longerFirst.size(), 1u);
    EXPECT_EQ(longerFirst[0].range, (TextRange{0, 15}));
    const auto shorterFirst = check(KeigoMisuseRule({{shorter, longer}}), text);
    ASSERT_EQ(shorterFirst.size(), 1u);
    EXPECT_EQ(shorterFirst[0].range, (TextRange{3, 15}));
}

TEST(KeigoMisuseRule, EmptyPackReportsNothing) {
    EXPECT_TRUE(check(KeigoMisuseRule(KeigoMisuseRulePack{}), "ご確認させていただきます").empty());
}

TEST(KeigoMisuseRule, DecoderIsStrict) {
    EXPECT_EQ(testing::decoded(&keigoMisuseRulePackFromJson,
                               R"({"verbalNouns":[{"noun":"a","ownActionForm":"b",
                                   "listenerActionForm":"c","extra":true}]})"),
              (KeigoMisuseRulePack{{{"a", "b", "c"}}}));
    EXPECT_EQ(testing::decoded(&keigoMisuseRulePackFromJson, R"({"verbalNouns":[]})"),
              KeigoMisuseRulePack{});
    const std::vector<std::string> refused = {
        R"({})",
        R"({"verbalNouns":null})",
        R"({"verbalNouns":[{"noun":"a","ownActionForm":"b"}]})",
        R"({"verbalNouns":[{"noun":"a","ownActionForm":"b","listenerActionForm":1}]})",
        R"({"verbalNouns":[{"noun":"a","ownActionForm":"b","listenerActionForm":"c"},{}]})",
    };
    for (const auto& json : refused) {
        SCOPED_TRACE(json);
        EXPECT_FALSE(testing::decoded(&keigoMisuseRulePackFromJson, json).has_value());
    }
}

}  // namespace
}  // namespace mivo
