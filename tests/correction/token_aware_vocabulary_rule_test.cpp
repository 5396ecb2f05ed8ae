#include "correction/rules/token_aware_vocabulary_rule.hpp"

#include "dictionary_test_support.hpp"
#include "pack_test_support.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using testing::run;
using P = JapanesePartOfSpeech;
using Parts = testing::Parts;
using S = CorrectionIssue::Severity;

const TokenAwareVocabularyRule& fallbackRule() {
    static const TokenAwareVocabularyRule rule(TokenAwareVocabularyRule::fallbackEntries());
    return rule;
}

VocabularyEntry entry(std::string pattern, std::string suggestion = "X") {
    return VocabularyEntry{.pattern = std::move(pattern),
                           .suggestion = std::move(suggestion),
                           .severity = S::style,
                           .category = CorrectionIssue::Category::vocabulary,
                           .explanationEn = "e"};
}

TEST(TokenAwareVocabularyRule, ReportsWholeWordsAcrossMorphemes) {
    struct Row {
        const char* why;
        Parts parts;
        int64_t start;
        int64_t end;
        const char* corrected;
    };
    const std::vector<Row> rows{
        {"bare よろしく at the end", testing::words("では/p よろしく/d 。/s"), 2, 6,
         "ではよろしくお願いいたします。"},
        {"ごめん on its own", testing::words("ごめん/u ね/p"), 0, 3, "申し訳ありませんね"},
    };
    testing::expectOneIssueEach(fallbackRule(), rows, [](const auto& issue, const Row&) {
        EXPECT_EQ(issue.category, CorrectionIssue::Category::vocabulary);
    });
}

TEST(TokenAwareVocabularyRule, LeavesAloneWhatIsNotAWholeListedWord) {
    testing::expectNothing(
        fallbackRule(),
        {
            {"どうも as an interjection", testing::words("どうも/i")},
            {"ごめん inside ごめんなさい", testing::words("ごめんなさい/u 。/s")},
            {"a pattern that would end inside a morpheme",
             testing::words("わかり:わかる/v ましたら/u")},
            {"a pattern that would start inside a morpheme", testing::words("本当にごめん/u")},
        });
    EXPECT_TRUE(fallbackRule().apply("", {}, TextRange{0, 0}, "s").empty());
}

TEST(TokenAwareVocabularyRule, EntryOptions) {
    const Parts parts = testing::words("すみ:すむ/v ませ:ます/u ん/u 。/s");
    auto withConfidence = entry("すみません");
    withConfidence.confidence = 0.65;
    auto emptyBlock = entry("すみません");
    emptyBlock.notFollowedBy = "";
    auto nounsOnly = entry("すみません");
    nounsOnly.posWhitelist = std::vector{P::noun};
    auto anyPos = entry("すみません");
    anyPos.posWhitelist = std::vector<P>{};

    EXPECT_DOUBLE_EQ(run(TokenAwareVocabularyRule({entry("すみません")}), parts).at(0).confidence,
                     0.9);
    EXPECT_DOUBLE_EQ(run(TokenAwareVocabularyRule({withConfidence}), parts).at(0).confidence, 0.65);
    EXPECT_TRUE(run(TokenAwareVocabularyRule({emptyBlock}), parts).empty());
    EXPECT_TRUE(run(TokenAwareVocabularyRule({nounsOnly}), parts).empty());
    EXPECT_EQ(run(TokenAwareVocabularyRule({anyPos}), parts).size(), 1u);
    EXPECT_TRUE(run(TokenAwareVocabularyRule({entry("")}), parts).empty());
    EXPECT_TRUE(run(TokenAwareVocabularyRule({}), parts).empty());
}

TEST(TokenAwareVocabularyRule, NotFollowedByMustEndOnACharacterBoundary) {
    // A suggestion ending like the word may stand before any word.
    auto e = entry("よろしく", "何とぞよろしく");
    e.notFollowedBy = "お願";
    const Parts parts = testing::words("よろしく/d お願い/n");
    EXPECT_TRUE(run(TokenAwareVocabularyRule({e}), parts).empty());
    // お + combining mark is one Character, so "お" alone is not a prefix of it.
    e.notFollowedBy = "お";
    const Parts marked = testing::words("よろしく/d お\u0301/u");
    EXPECT_EQ(run(TokenAwareVocabularyRule({e}), marked).size(), 1u);
}

TEST(TokenAwareVocabularyRule, ReportsEntryByEntryThenByPosition) {
    const Parts parts = testing::words("ごめん/u 、/s ごめん/u");
    const auto issues =
        run(TokenAwareVocabularyRule({entry("ごめん", "A"), entry("ごめん", "B")}), parts, 10);
    EXPECT_EQ(testing::found(issues),
              (std::vector<std::string>{"A@10-13", "A@14-17", "B@10-13", "B@14-17"}));
}

TEST(TokenAwareVocabularyRule, ComparesUpToCanonicalEquivalence) {
    // ございません with が written as か + combining voiced mark in the text.
    auto e = entry("ございません");
    const Parts parts = testing::words("こ\u3099さ\u3099い/u ませ/u ん/u");
    const auto issues = run(TokenAwareVocabularyRule({e}), parts);
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].range, (TextRange{0, 6}));
}

TEST(VocabularyEntries, DecodeStrictly) {
    const auto decode = [](const char* j) {
        return testing::decoded(&vocabularyEntriesFromJson, j);
    };
    const auto ok = decode(
        R"([{"pattern":"p","suggestion":"s","severity":"style","category":"style","explanationEn":"e","posWhitelist":["noun","unknown"],"requireWordBoundary":false,"notFollowedBy":null}])");
    ASSERT_TRUE(ok);
    ASSERT_EQ(ok->size(), 1u);
    EXPECT_EQ((*ok)[0].posWhitelist, (std::vector{P::noun, P::unknown}));
    EXPECT_FALSE((*ok)[0].notFollowedBy);
    EXPECT_FALSE((*ok)[0].confidence);
    EXPECT_FALSE((*ok)[0].requireWordBoundary);
    EXPECT_TRUE(decode("[]"));
    EXPECT_FALSE(decode(
        R"([{"pattern":"p","suggestion":"s","severity":"style","category":"style","explanationEn":"e"}])"));
    EXPECT_FALSE(decode(R"({"entries":[]})"));
}

TEST(VocabularyEntries, LoadFromTheBundleTopLevelOnly) {
    testing::TemporaryBundle empty;
    empty.write("vocabulary.json", "[]");
    EXPECT_TRUE(TokenAwareVocabularyRule::loadEntries(empty.bundle()).empty());

    testing::TemporaryBundle inRulePacks;
    inRulePacks.write("RulePacks/vocabulary.json", "[]");
    EXPECT_EQ(TokenAwareVocabularyRule::loadEntries(inRulePacks.bundle()),
              TokenAwareVocabularyRule::fallbackEntries());

    testing::TemporaryBundle broken;
    broken.write(
        "vocabulary.json",
        R"([{"pattern":"p","suggestion":"s","severity":"style","category":"style","explanationEn":"e"}])");
    EXPECT_EQ(TokenAwareVocabularyRule::loadEntries(broken.bundle()),
              TokenAwareVocabularyRule::fallbackEntries());
}

TEST(TokenAwareVocabularyRule, ThroughTheRealDictionary) {
    testing::expectThroughDictionary(fallbackRule(),
                                     {
                                         {"わかりました。", {"承知しました。"}, {{0, 6}}},
                                         {"よろしくお願いします。", {}},
                                         {"ごめんなさい。", {}},
                                         {"ありがとう。", {"ありがとうございます。"}, {{0, 5}}},
                                         {"どうも。", {"ありがとうございます。"}},
                                         {"では、よろしく。", {"では、よろしくお願いいたします。"}},
                                         {"ありがとうございます。", {}},
                                         {"わかり ました。", {"承知しました。"}, {{0, 7}}},
                                         {"こ\u3099めん。", {"申し訳ありません。"}, {{0, 3}}},
                                         // A suggestion that brings its own
                                         // ending fits only where the word ends
                                         // its phrase.
                                         {"ありがとうございました。", {}},
                                         {"どうもありがとう。", {"どうもありがとうございます。"}},
                                         {"どうもすみません。", {"どうも申し訳ございません。"}},
                                         {"よろしく頼む。", {}},
                                         {"よろしくおねがいします。", {}},
                                         {"よろしくね。", {"よろしくお願いいたしますね。"}},
                                         // One that ends like the word takes
                                         // what followed it.
                                         {"すみませんでした。", {"申し訳ございませんでした。"}},
                                     });
}

}  // namespace
}  // namespace mivo
