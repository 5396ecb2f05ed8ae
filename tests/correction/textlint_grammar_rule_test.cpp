#include "correction/textlint/textlint_japanese_grammar_rule.hpp"

#include "correction/rule_pack.hpp"
#include "pack_test_support.hpp"
#include "rule_test_support.hpp"
#include "shared/json.hpp"
#include "textlint_stand_in.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

namespace mivo {
namespace {
namespace fs = std::filesystem;
using Severity = CorrectionIssue::Severity;
using Category = CorrectionIssue::Category;
using nlohmann::json;
using testing::StandInTextlint;

json message(std::string_view ruleId, int64_t index, std::vector<int64_t> range,
             std::string_view text = "textlint's own message") {
    return {{"ruleId", ruleId}, {"message", text}, {"index", index}, {"range", range}};
}

constexpr TextRange kSentence{10, 40};

// --- spans, suggestions and explanations -------------------------------------

struct SpanCase {
    const char* why;
    std::string text;
    json message;
    // Expected issue, in Characters of the text (nothing: no issue).
    std::optional<TextRange> span;
    std::string original;
    std::string suggestion;
    std::string corrected;  // the text with the suggestion applied
};

TEST(TextlintGrammarRule, PlacesSpansAndOffersMechanicalFixes) {
    // Every case has its own text: the stand-in answers by text, and the
    // bridge caches by text.
    const SpanCase cases[] = {
        {"ra-dropping: ら goes before the flagged span", "この服は見れる。",
         message("japanese/no-dropping-the-ra", 5, {5, 7}), TextRange{5, 7}, "れる", "られる",
         "この服は見られる。"},
        {"a span that already begins with ら is offered unchanged", "見られる",
         message("japanese/no-dropping-the-ra", 1, {1, 3}), TextRange{1, 3}, "られ", "られ",
         "見られる"},
        {"a zero-width space is deleted", "これは\u200bテスト",
         message("japanese/no-zero-width-spaces", 3, {3, 4}), TextRange{3, 4}, "\u200b", "",
         "これはテスト"},
        {"a control character is deleted", "これは\x07テスト",
         message("japanese/no-invalid-control-character", 3, {3, 4}), TextRange{3, 4}, "\x07", "",
         "これはテスト"},
        {"decomposed kana are composed (か + voiced mark is one Character)", "か\u3099っこう",
         message("japanese/no-nfd", 0, {0, 2}), TextRange{0, 1}, "か\u3099", "が", "がっこう"},
        {"a Kangxi radical is flagged, not changed", "⼈間",
         message("japanese/no-kangxi-radicals", 0, {0, 1}), TextRange{0, 1}, "⼈", "⼈", "⼈間"},
        {"UTF-16 offsets become Characters after an astral character", "😀は見れる。",
         message("japanese/no-dropping-the-ra", 4, {4, 5}), TextRange{3, 4}, "れ", "られ",
         "😀は見られる。"},
        {"an empty range gives an empty span", "寝れる",
         message("japanese/no-kangxi-radicals", 2, {2, 2}), TextRange{2, 2}, "", "", "寝れる"},
        // Ranges that cannot be mapped fall back to one Character at index.
        {"a range that splits a surrogate pair", "😀は来れる。",
         message("japanese/no-dropping-the-ra", 3, {1, 3}), TextRange{3, 4}, "れ", "られ",
         "😀は来られる。"},
        {"a range that ends inside a Character", "か\u3099くせい",
         message("japanese/no-nfd", 0, {0, 1}), TextRange{0, 1}, "か\u3099", "が", "がくせい"},
        {"a one-element range", "あの服は見れる。", message("japanese/no-dropping-the-ra", 4, {4}),
         TextRange{4, 5}, "見", "ら見", "あの服はら見れる。"},
        {"a reversed range", "来れる", message("japanese/no-kangxi-radicals", 1, {2, 1}),
         TextRange{1, 2}, "れ", "れ", "来れる"},
        {"a range past the end", "居れる", message("japanese/no-kangxi-radicals", 2, {0, 4}),
         TextRange{2, 3}, "る", "る", "居れる"},
        {"a negative index counts as 0", "生きれる", message("japanese/no-kangxi-radicals", -5, {}),
         TextRange{0, 1}, "生", "生", "生きれる"},
        {"index at the end of the text places nothing", "見れた",
         message("japanese/no-kangxi-radicals", 3, {9}), std::nullopt, "", "", ""},
        {"an index of the largest 64-bit integer places nothing", "見れない",
         message("japanese/no-kangxi-radicals", std::numeric_limits<int64_t>::max(), {}),
         std::nullopt, "", "", ""},
        {"a rule outside the allow-list", "私は彼は好きだ。",
         message("japanese/no-doubled-joshi", 3, {3, 4}), std::nullopt, "", "", ""},
        {"rule ids match exactly", "食べれる", message("Japanese/no-dropping-the-ra", 1, {1, 2}),
         std::nullopt, "", "", ""},
    };
    StandInTextlint standIn;
    json answers = json::object();
    for (const auto& c : cases) {
        ASSERT_FALSE(answers.contains(c.text)) << c.text;
        answers[c.text] = json::array({c.message});
    }
    standIn.setAnswers(answers);
    TextlintJapaneseBridge bridge(standIn.settings());
    const TextlintJapaneseGrammarRule rule(bridge, TextlintJapaneseGrammarRule::fallbackRulePack());

    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto issues = rule.apply(c.text, kSentence, "S1");
        if (!c.span) {
            EXPECT_TRUE(issues.empty());
            continue;
        }
        ASSERT_EQ(issues.size(), 1u);
        const auto& issue = issues[0];
        EXPECT_EQ(issue.range,
                  (TextRange{kSentence.start + c.span->start, kSentence.start + c.span->end}));
        EXPECT_EQ(issue.original, c.original);
        EXPECT_EQ(issue.suggestion, c.suggestion);
        EXPECT_EQ(testing::applyIssue(c.text, issue, kSentence.start), c.corrected);
    }
}

TEST(TextlintGrammarRule, TakesSeverityCategoryAndConfidenceFromTheAllowList) {
    const TextlintRulePack pack{
        .rules = {{"japanese/no-dropping-the-ra", Severity::unnatural, Category::conjugation, 0.82},
                  {"japanese/no-nfd", Severity::style, Category::grammar, 0.5},
                  {"own/rule", Severity::critical, Category::particle, 0.25}},
        .disabledDuplicateRules = {}};
    StandInTextlint standIn;
    json messages = json::array();
    for (const auto& entry : pack.rules)
        messages.push_back(message(entry.id, 0, {0, 1}));
    // Messages of rules that are not allow-listed are skipped in between.
    messages.insert(messages.begin() + 1, message("japanese/no-mix-dearu-desumasu", 0, {0, 1}));
    standIn.setAnswers({{"私は走る。", messages}});
    TextlintJapaneseBridge bridge(standIn.settings());
    const TextlintJapaneseGrammarRule rule(bridge, pack);

    const auto issues = rule.apply("私は走る。", kSentence, "S7");
    ASSERT_EQ(issues.size(), pack.rules.size());
    for (std::size_t i = 0; i < issues.size(); ++i) {
        SCOPED_TRACE(pack.rules[i].id);
        EXPECT_EQ(issues[i].severity, pack.rules[i].severity);
        EXPECT_EQ(issues[i].category, pack.rules[i].category);
        EXPECT_DOUBLE_EQ(issues[i].confidence, pack.rules[i].confidence);
        EXPECT_EQ(issues[i].sentenceId, "S7");
        EXPECT_EQ(issues[i].source, CorrectionIssue::Source::rule);
        EXPECT_EQ(issues[i].id.size(), 36u);
    }
    EXPECT_NE(issues[0].id, issues[1].id);
}

TEST(TextlintGrammarRule, ExplanationsOfRulesAPackAllowLists) {
    TextlintRulePack pack;
    for (const char* id : {"japanese/max-ten", "japanese/sentence-length", "japanese/own-words"})
        pack.rules.push_back({id, Severity::style, Category::style, 0.5});
    StandInTextlint standIn;
    standIn.setAnswers(
        {{"文", json::array({message("japanese/max-ten", 0, {0, 1}),
                             message("japanese/sentence-length", 0, {0, 1}),
                             message("japanese/own-words", 0, {0, 1}, "「文」は短すぎます。")})}});
    TextlintJapaneseBridge bridge(standIn.settings());
    const TextlintJapaneseGrammarRule rule(bridge, pack);

    const auto issues = rule.apply("文", kSentence, "S");
    ASSERT_EQ(issues.size(), 3u);
    // Rules the pack explains get our words, any other rule textlint's own.
    EXPECT_NE(issues[0].explanationEn, "textlint's own message");
    EXPECT_NE(issues[1].explanationEn, "textlint's own message");
    EXPECT_EQ(issues[2].explanationEn, "「文」は短すぎます。");
}

// --- the allow-list pack -----------------------------------------------------

class TextlintAllowListPack : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "mivo-allowlist-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        fs::create_directories(root / "RulePacks");
    }
    void TearDown() override { fs::remove_all(root); }

    TextlintRulePack load(std::string_view packText) const {
        std::ofstream(root / "RulePacks" / "textlint-allowlist.json") << packText;
        return loadRulePack(TextlintJapaneseGrammarRule::packName, &textlintRulePackFromJson,
                            TextlintJapaneseGrammarRule::fallbackRulePack(), ResourceBundle(root));
    }
    fs::path root;
};

TEST_F(TextlintAllowListPack, APackIsTakenWholeOrNotAtAll) {
    const TextlintRulePack one{{{"japanese/no-nfd", Severity::critical, Category::style, 0.5}},
                               {"x"}};
    struct Row {
        const char* why;
        const char* pack;
        bool usesFallback;
    };
    const Row rows[] = {
        {"valid",
         R"({"rules":[{"id":"japanese/no-nfd","severity":"critical","category":"style","confidence":0.5}],"disabledDuplicateRules":["x"]})",
         false},
        {"an extra key means nothing",
         R"({"rules":[{"id":"japanese/no-nfd","severity":"critical","category":"style","confidence":0.5,"note":1}],"disabledDuplicateRules":["x"],"version":2})",
         false},
        {"a severity outside the three",
         R"({"rules":[{"id":"japanese/no-nfd","severity":"fatal","category":"style","confidence":0.5}],"disabledDuplicateRules":["x"]})",
         true},
        {"no disabledDuplicateRules",
         R"({"rules":[{"id":"japanese/no-nfd","severity":"critical","category":"style","confidence":0.5}]})",
         true},
        {"not JSON", "{rules:", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(load(row.pack),
                  row.usesFallback ? TextlintJapaneseGrammarRule::fallbackRulePack() : one);
    }
}

TEST_F(TextlintAllowListPack, AnEmptyAllowListIsUsedAndLetsNothingThrough) {
    const auto pack = load(R"({"rules":[],"disabledDuplicateRules":[]})");
    EXPECT_TRUE(pack.rules.empty());
    StandInTextlint standIn;
    standIn.setAnswers(
        {{"見れる", json::array({message("japanese/no-dropping-the-ra", 1, {1, 2})})}});
    TextlintJapaneseBridge bridge(standIn.settings());
    EXPECT_TRUE(TextlintJapaneseGrammarRule(bridge, pack).apply("見れる", kSentence, "S").empty());
}

TEST_F(TextlintAllowListPack, ARepeatedIdKeepsItsFirstEntry) {
    const auto pack = load(
        R"({"rules":[)"
        R"({"id":"japanese/no-nfd","severity":"critical","category":"grammar","confidence":0.9},)"
        R"({"id":"japanese/no-nfd","severity":"style","category":"style","confidence":0.1}],)"
        R"("disabledDuplicateRules":[]})");
    ASSERT_EQ(pack.rules.size(), 2u);
    StandInTextlint standIn;
    standIn.setAnswers({{"か\u3099", json::array({message("japanese/no-nfd", 0, {0, 2})})}});
    TextlintJapaneseBridge bridge(standIn.settings());
    const TextlintJapaneseGrammarRule rule(bridge, pack);
    const auto issues = rule.apply("か\u3099", kSentence, "S");
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].severity, Severity::critical);
    EXPECT_DOUBLE_EQ(issues[0].confidence, 0.9);
}

}  // namespace
}  // namespace mivo
