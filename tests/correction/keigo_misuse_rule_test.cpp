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
    // Applied, the sentence keeps the user's verb form and loses only ご.
    EXPECT_EQ(applyIssue(text, issue), "確認させていただきます。");
}

struct Case {
    std::string text;
    std::vector<testing::Expected> expected;
    std::string why;
};

TEST(KeigoMisuseRule, FallbackFindings) {
    const std::string own = "確認させていただきます";
    const std::string contact = "連絡させていただきます";
    const std::vector<Case> cases = {
        {own, {}, "no ご"},
        {"ご確認いただけますか", {}, "no humble tail"},
        {"ご確認させていただく",
         {{0, 10, "ご確認させていただく", "確認させていただく", "確認させていただく"}},
         "the shortest tail ends the sentence"},
        {"ご確認させていただ", {}, "a tail cut short by the end"},
        {"ご確認させていただきたいです",
         {{0, 12, "ご確認させていただきたい", "確認させていただきたい",
           "確認させていただきたいです"}},
         ""},
        {"ご連絡させていただいてもよろしいでしょうか。",
         {{0, 21, "ご連絡させていただいてもよろしいでしょうか",
           "連絡させていただいてもよろしいでしょうか",
           "連絡させていただいてもよろしいでしょうか。"}},
         "the longest tail is quoted whole"},
        {"ご" + own + "。ご" + contact + "。",
         {{0, 12, "ご" + own, own, own + "。ご" + contact + "。"},
          {13, 25, "ご" + contact, contact, "ご" + own + "。" + contact + "。"}},
         "two occurrences, each its own range"},
        {"ご相談させていただきます", {}, "a noun outside the pack"},
        {"", {}, "empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + " (" + c.why + ")");
        testing::expectIssues(c.text, check(fallbackRule(), c.text), c.expected);
    }
}

TEST(KeigoMisuseRule, RangeIsOffsetByTheSentenceStartAndIgnoresMorphemes) {
    const std::string text = "明日はご確認させていただきます";
    const auto plain = check(fallbackRule(), text, 10);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].range, (TextRange{13, 25}));
    const auto withMorphemes =
        check(fallbackRule(), text, 10, testing::handMorphemes(testing::words("明日/n")));
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

TEST(KeigoMisuseRule, DecoderIsStrict) {
    EXPECT_EQ(testing::decoded(&keigoMisuseRulePackFromJson,
                               R"({"verbalNouns":[{"noun":"a","ownActionForm":"b",
                                   "listenerActionForm":"c","extra":true}]})"),
              (KeigoMisuseRulePack{{{"a", "b", "c"}}}));
    EXPECT_EQ(testing::decoded(&keigoMisuseRulePackFromJson, R"({"verbalNouns":[]})"),
              KeigoMisuseRulePack{});
    const std::vector<std::string> refused = {
        R"({})",
        R"({"verbalNouns":[{"noun":"a","ownActionForm":"b","listenerActionForm":1}]})",
    };
    for (const auto& json : refused) {
        SCOPED_TRACE(json);
        EXPECT_FALSE(testing::decoded(&keigoMisuseRulePackFromJson, json).has_value());
    }
}

}  // namespace
}  // namespace mivo
