#include "correction/rules/mixed_politeness_rule.hpp"

#include "dictionary_test_support.hpp"
#include "pack_test_support.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using testing::handMorphemes;
using testing::joined;
using testing::run;
using P = JapanesePartOfSpeech;
using Parts = testing::Parts;

// 会議には出ますが、 as the analyser splits it: the polite clause before the
// plain ending under test.
Parts politeClause(const Parts& tail) {
    Parts parts = testing::words("会議/n に/p は/p 出:出る/v ます/u が/p 、/s");
    parts.insert(parts.end(), tail.begin(), tail.end());
    return parts;
}

const MixedPolitenessRule& fallbackRule() {
    static const MixedPolitenessRule rule(MixedPolitenessRule::fallbackRulePack());
    return rule;
}

struct Offered {
    const char* why;
    Parts parts;
    int64_t start;
    int64_t end;
    const char* corrected;
    CorrectionIssue::Severity severity;
    double confidence;
};

TEST(MixedPolitenessRule, OffersThePoliteFormOfAPlainEnding) {
    using S = CorrectionIssue::Severity;
    const std::vector<Offered> cases{
        {"ていない",
         testing::words("会議/n に/p 出:出る/v ます/u が/p 、/s 資料/n は/p まだ/d 準備/n "
                        "し:する/v て/p い:いる/v ない/u 。/s"),
         16, 20, "会議に出ますが、資料はまだ準備していません。", S::unnatural, 0.85},
        {"ていなかった as a whole, not なかった",
         politeClause(testing::words("し:する/v て/p い:いる/v なかっ:ない/u た/u 。/s")), 10, 16,
         "会議には出ますが、していませんでした。", S::unnatural, 0.85},
        {"ている", politeClause(testing::words("見:見る/v て/p いる/v")), 10, 13,
         "会議には出ますが、見ています", S::style, 0.78},
        {"ではない after a noun", politeClause(testing::words("本/n で/p は/p ない/u 。/s")), 10,
         14, "会議には出ますが、本ではありません。", S::unnatural, 0.82},
        {"ない after a verb whose stem stays (食べ)",
         politeClause(testing::words("食べ:食べる/v ない/u 。/s")), 11, 13,
         "会議には出ますが、食べません。", S::unnatural, 0.75},
        {"ない after the いる of a て-form (読んでいない)",
         politeClause(testing::words("読ん:読む/v で/p い:いる/v ない/u 。/s")), 13, 15,
         "会議には出ますが、読んでいません。", S::unnatural, 0.75},
        {"なかった after 来", politeClause(testing::words("来:来る/v なかっ:ない/u た/u")), 10, 14,
         "会議には出ますが、来ませんでした", S::unnatural, 0.78},
        {"だった after a noun", politeClause(testing::words("静か/n だっ:だ/u た/u 。/s")), 11, 14,
         "会議には出ますが、静かでした。", S::style, 0.78},
        {"だ after a noun", politeClause(testing::words("彼/n だ/u 。/s")), 10, 11,
         "会議には出ますが、彼です。", S::style, 0.7},
        {"trailing 。 and a space",
         politeClause({{"彼", "", P::noun},
                       {"だ", "", P::unknown},
                       {"。", "", P::symbol},
                       {" ", "", P::symbol}}),
         10, 11, "会議には出ますが、彼です。 ", S::style, 0.7},
    };
    testing::expectOneIssueEach(fallbackRule(), cases, [](const auto& issue, const Offered& c) {
        EXPECT_EQ(issue.severity, c.severity);
        EXPECT_DOUBLE_EQ(issue.confidence, c.confidence);
        EXPECT_EQ(issue.category, CorrectionIssue::Category::style);
    });
}

// Where the swap would break the sentence: the ending is part of a longer
// word, or the word before it would have to change its form.
TEST(MixedPolitenessRule, OffersNothingWhereTheSwapWouldBreakTheSentence) {
    testing::expectNothing(
        fallbackRule(),
        {
            {"行かない: the stem would become 行き",
             politeClause(testing::words("私/n は/p 行か:行く/v ない/u 。/s"))},
            {"少ない: ない is inside the adjective",
             politeClause(testing::words("時間/n は/p 少ない/a 。/s"))},
            {"高くない: an adjective wants ありません",
             politeClause(testing::words("高く:高い/a ない/u 。/s"))},
            {"時間がない: the adjective ない wants ありません",
             politeClause(testing::words("時間/n が/p ない/a 。/s"))},
            {"問題ない: ない after a noun", politeClause(testing::words("問題/n ない/u 。/s"))},
            {"行きたくない: たい conjugates like an adjective",
             politeClause(testing::words("行き:行く/v たく:たい/u ない/u 。/s"))},
            {"行かなかった", politeClause(testing::words("行か:行く/v なかっ:ない/u た/u 。/s"))},
            {"読んだ: the past of a verb, not the copula",
             politeClause(testing::words("読ん:読む/v だ/u 。/s"))},
            {"まだ: だ inside an adverb", politeClause(testing::words("まだ/d 。/s"))},
        });
}

TEST(MixedPolitenessRule, OffersThePoliteFormOfAClauseEndingVerb) {
    const Parts parts = testing::words(
        "明日/n も/p 会議/n が/p あり:ある/v ます/u ので/p 、/s 私/n も/p 行く/v 。/s");
    const auto issues = run(fallbackRule(), parts, 5);
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].range, (TextRange{20, 22}));
    EXPECT_EQ(issues[0].original, "行く");
    EXPECT_EQ(issues[0].suggestion, "行きます");
    EXPECT_EQ(testing::applyIssue(joined(parts), issues[0], 5),
              "明日も会議がありますので、私も行きます。");
    EXPECT_EQ(issues[0].severity, CorrectionIssue::Severity::style);
    EXPECT_EQ(issues[0].category, CorrectionIssue::Category::style);
    EXPECT_DOUBLE_EQ(issues[0].confidence, 0.78);
    EXPECT_EQ(issues[0].sentenceId, "s");
}

TEST(MixedPolitenessRule, YieldsNothingWithoutAPlainEndingToChange) {
    testing::expectNothing(
        fallbackRule(),
        {
            {"no polite marker anywhere",
             testing::words("資料/n は/p まだ/d 準備/n し:する/v て/p い:いる/v ない/u 。/s")},
            {"ends politely though a plain form stands earlier",
             testing::words(
                 "準備/n し:する/v て/p い:いる/v ない/u が/p 、/s 行き:行く/v ます/u 。/s")},
            {"ends in ください",
             politeClause(testing::words("来:来る/v て/p ください:くださる/v ！/s"))},
            {"a verb missing from the table", politeClause(testing::words("走る/v 。/s"))},
            {"a verb not in its dictionary form",
             politeClause(testing::words("走っ:走る/v た/u 。/s"))},
            {"a verb followed by a particle is no clause end",
             politeClause(testing::words("行く/v よ/p 。/s"))},
            {"symbols only after the polite clause", politeClause(testing::words("。/s"))},
        });
}

TEST(MixedPolitenessRule, NeedsMorphemesAndSomethingBesidesSymbols) {
    const std::string text = "会議に出ますが、私は行かない。";
    EXPECT_TRUE(fallbackRule().apply(text, {}, TextRange{0, 15}, "s").empty());
    // Polite by its text alone (the morphemes hold no marker), but nothing
    // except symbols to look at.
    const Parts symbols = testing::words("。/s ！/s");
    EXPECT_TRUE(fallbackRule().apply("。！", handMorphemes(symbols), TextRange{0, 2}, "s").empty());
}

TEST(MixedPolitenessRule, APoliteMarkerIsAWordOfItsOwnOutsideBrackets) {
    // で + すべて and で + する hold です and でする only as letters.
    EXPECT_TRUE(run(fallbackRule(), testing::words("ここ/n で/p すべて/n の/p 設定/n を/p "
                                                   "確認/n する/v 。/s"))
                    .empty());
    EXPECT_TRUE(
        run(fallbackRule(), testing::words("会議/n で/p する/v 話/n を/p 書く/v 。/s")).empty());
    // ませ of ません is polite by its lemma.
    const Parts cut = testing::words("出/v ませ:ます/u ん/u が/p 、/s 行く/v");
    const auto issues = run(fallbackRule(), cut);
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].suggestion, "行きます");
    // A polite aside in brackets does not make the sentence polite, and a
    // sentence that stops inside a bracket has not ended its clause.
    EXPECT_TRUE(
        run(fallbackRule(), testing::words("（/s 渡し/v ます/u ）/s と/p 表示/n する/v")).empty());
    EXPECT_TRUE(run(fallbackRule(), testing::words("返し/v ます/u （/s 後述/n する/v")).empty());
}

TEST(MixedPolitenessRule, EndingsFromThePackWinOverTheVerbTable) {
    // Shorter endings come after longer ones whatever the pack order; an
    // ending's own explanation replaces the standard one.
    const PolitenessAspectRulePack pack{
        .endings = {
            {"く", "きます", CorrectionIssue::Severity::critical, 0.5, "short"},
            {"行く", "行きます", CorrectionIssue::Severity::critical, 0.6, "long"},
        }};
    const MixedPolitenessRule rule(pack);
    const auto issues = run(rule, politeClause(testing::words("行く/v 。/s")));
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].range, (TextRange{9, 11}));
    EXPECT_EQ(issues[0].explanationEn, "long");
    EXPECT_EQ(issues[0].severity, CorrectionIssue::Severity::critical);
}

TEST(MixedPolitenessRule, ComparesEndingsUpToCanonicalEquivalence) {
    // だ written as た + combining voiced mark, in the text and the morpheme.
    const std::string da = "\u305F\u3099";
    const Parts parts = politeClause({{"彼", "", P::noun}, {da, "だ", P::unknown}});
    const auto issues = run(fallbackRule(), parts);
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].range, (TextRange{10, 11}));
    EXPECT_EQ(testing::applyIssue(joined(parts), issues[0]), "会議には出ますが、彼です");
}

TEST(PolitenessAspectRulePack, DecodesStrictly) {
    const auto decode = [](const char* j) {
        return testing::decoded(&politenessAspectRulePackFromJson, j);
    };
    const auto ok = decode(
        R"({"endings":[{"plain":"だ","polite":"です","severity":"style","confidence":1,"explanationEn":"x","extra":0}]})");
    ASSERT_TRUE(ok);
    ASSERT_EQ(ok->endings.size(), 1u);
    EXPECT_EQ(ok->endings[0].explanationEn, "x");
    EXPECT_TRUE(decode(R"({"endings":[]})"));
    EXPECT_FALSE(decode(
        R"({"endings":[{"plain":"だ","polite":"です","severity":"minor","confidence":1}]})"));
    EXPECT_FALSE(decode(R"({})"));
}

TEST(MixedPolitenessRule, ThroughTheRealDictionary) {
    testing::expectThroughDictionary(
        fallbackRule(),
        {
            {"会議には出ますが、時間がない。", {}},
            {"会議には出ますが、値段は高くない。", {}},
            {"会議には出ますが、その本は読んだ。", {}},
            {"会議には出ますが、昼は食べない。", {"会議には出ますが、昼は食べません。"}},
            {"会議には出ますが、まだ読んでいない。", {"会議には出ますが、まだ読んでいません。"}},
            {"会議には出ますが、部屋は静かだった。", {"会議には出ますが、部屋は静かでした。"}},
            {"会議には出ますが、それは本ではない。",
             {"会議には出ますが、それは本ではありません。"}},
            {"会議に出ますが、資料は準備していません。", {}},
            {"会議がありますので、私も食へ\u3099る。",
             {"会議がありますので、私も食べます。"},
             {{12, 15}}},
            {"会議に出ますが、資料はまだ準備して いない。",
             {"会議に出ますが、資料はまだ準備して いません。"},
             {{19, 21}}},
        });
}

}  // namespace
}  // namespace mivo
