#include "correction/rules/morpheme_pattern_rule.hpp"

#include "dictionary_test_support.hpp"
#include "pack_test_support.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using testing::joined;
using testing::run;
using P = JapanesePartOfSpeech;
using Parts = testing::Parts;

MorphemePattern pattern(std::vector<MorphemePatternToken> tokens, int64_t issueStart,
                        int64_t issueEnd, std::string suggestion = "X") {
    return MorphemePattern{.id = "test",
                           .tokens = std::move(tokens),
                           .issueStart = issueStart,
                           .issueEnd = issueEnd,
                           .suggestion = std::move(suggestion),
                           .severity = CorrectionIssue::Severity::unnatural,
                           .category = CorrectionIssue::Category::conjugation,
                           .confidence = 0.5,
                           .explanationEn = "e"};
}

// 行くでは困る。 as the analyser splits it (で is the copula, an auxiliary).
const Parts kIkuDeha = testing::words("行く/v で:だ/u は/p 困る/v 。/s");

TEST(MorphemePatternRule, FallbackTurnsDehaAfterAVerbIntoNodeha) {
    const MorphemePatternRule rule(MorphemePatternRule::fallbackRulePack());
    const auto issues = run(rule, kIkuDeha, 3);
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].range, (TextRange{5, 7}));
    EXPECT_EQ(issues[0].original, "では");
    EXPECT_EQ(issues[0].suggestion, "のでは");
    EXPECT_EQ(testing::applyIssue(joined(kIkuDeha), issues[0], 3), "行くのでは困る。");

    // では after a て-form or a noun is right.
    EXPECT_TRUE(run(rule, testing::words("含ん:含む/v で/p は/p")).empty());
    EXPECT_TRUE(run(rule, testing::words("本/n で/p は/p")).empty());
}

TEST(MorphemePatternRule, DropsPatternsWithoutTokensOrWithAnImpossibleSpan) {
    const MorphemePatternToken any{};
    const MorphemePatternRulePack pack{.patterns = {
                                           pattern({any, any}, 1, 1),
                                           pattern({any, any}, -1, 1),
                                           pattern({any, any}, 0, 3),
                                           pattern({}, 0, 0),
                                           pattern({{.surface = "は"}}, 0, 1, "kept"),
                                       }};
    const auto issues = run(MorphemePatternRule(pack), kIkuDeha);
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].suggestion, "kept");
}

TEST(MorphemePatternRule, MatchesEveryPlaceIncludingOverlaps) {
    const MorphemePatternToken any{};
    const Parts three = testing::words("あ/n い/n う/n");
    const auto pairs = run(MorphemePatternRule({.patterns = {pattern({any, any}, 0, 2)}}), three);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].range, (TextRange{0, 2}));
    EXPECT_EQ(pairs[1].range, (TextRange{1, 3}));

    EXPECT_EQ(
        run(MorphemePatternRule({.patterns = {pattern({any, any, any}, 0, 1)}}), three).size(), 1u);
    EXPECT_TRUE(run(MorphemePatternRule({.patterns = {pattern({any, any, any, any}, 0, 1)}}), three)
                    .empty());
}

TEST(MorphemePatternRule, ReturnsIssuesByPatternThenPosition) {
    const MorphemePatternRulePack pack{.patterns = {
                                           pattern({{.partOfSpeech = P::verb}}, 0, 1, "verb"),
                                           pattern({{.lemma = "だ"}}, 0, 1, "copula"),
                                       }};
    const auto issues = run(MorphemePatternRule(pack), kIkuDeha);
    ASSERT_EQ(issues.size(), 3u);
    EXPECT_EQ(issues[0].suggestion, "verb");
    EXPECT_EQ(issues[0].range, (TextRange{0, 2}));
    EXPECT_EQ(issues[1].suggestion, "verb");
    EXPECT_EQ(issues[1].range, (TextRange{4, 6}));
    EXPECT_EQ(issues[2].suggestion, "copula");
    EXPECT_EQ(issues[2].original, "で");
}

TEST(MorphemePatternRule, TokenTestsAllMustHold) {
    const MorphemePatternRulePack pack{
        .patterns = {
            pattern({{.surface = "で", .lemma = "だ", .partOfSpeech = P::particle}}, 0, 1)}};
    // The surface and lemma fit, the part of speech does not.
    EXPECT_TRUE(run(MorphemePatternRule(pack), kIkuDeha).empty());
}

TEST(MorphemePatternRule, DictionaryFormTestsWhetherTheWordIsInflected) {
    const Parts parts = testing::words("読ん:読む/v で/p 読む/v");
    const auto inflected =
        run(MorphemePatternRule({.patterns = {pattern({{.dictionaryForm = false}}, 0, 1)}}), parts);
    ASSERT_EQ(inflected.size(), 1u);
    EXPECT_EQ(inflected[0].original, "読ん");
    const auto plain =
        run(MorphemePatternRule({.patterns = {pattern({{.dictionaryForm = true}}, 0, 1)}}), parts);
    ASSERT_EQ(plain.size(), 2u);  // で and 読む
    EXPECT_EQ(plain[1].original, "読む");
}

TEST(MorphemePatternRule, ComparesUpToCanonicalEquivalence) {
    // で written decomposed in the pack, precomposed in the morphemes.
    const MorphemePatternRulePack pack{
        .patterns = {pattern({{.surface = "\u3066\u3099"}, {.surface = "は"}}, 0, 2)}};
    EXPECT_EQ(run(MorphemePatternRule(pack), kIkuDeha).size(), 1u);
}

TEST(MorphemePatternRulePack, DecodesStrictly) {
    const auto decode = [](std::string tokens, std::string extra = "") {
        const std::string j =
            R"({"patterns":[{"id":"p","tokens":)" + tokens +
            R"(,"issueStart":0,"issueEnd":1,"suggestion":"s","severity":"style","category":"grammar","confidence":0.5,"explanationEn":"e")" +
            extra + "}]}";
        return testing::decoded(&morphemePatternRulePackFromJson, j);
    };
    const auto ok = decode(R"([{"surface":"で","lemma":null},{"partOfSpeech":"noun"},{}])");
    ASSERT_TRUE(ok);
    const auto& tokens = ok->patterns[0].tokens;
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0], (MorphemePatternToken{.surface = "で"}));
    EXPECT_EQ(tokens[1], (MorphemePatternToken{.partOfSpeech = P::noun}));
    EXPECT_EQ(tokens[2], MorphemePatternToken{});

    const auto inflected = decode(R"([{"dictionaryForm":false}])");
    ASSERT_TRUE(inflected);
    EXPECT_EQ(inflected->patterns[0].tokens[0].dictionaryForm, false);
    EXPECT_FALSE(decode(R"([{"dictionaryForm":"yes"}])"));
    EXPECT_FALSE(decode(R"([{"partOfSpeech":"Noun"}])"));
    EXPECT_FALSE(decode(R"([{"surface":1}])"));
    EXPECT_FALSE(decode(R"({})"));
    // A repeated key: the first one written counts.
    const auto repeated = decode(R"([{}])", R"(,"issueEnd":9)");
    ASSERT_TRUE(repeated);
    EXPECT_EQ(repeated->patterns[0].issueEnd, 1);
    EXPECT_FALSE(testing::decoded(
        &morphemePatternRulePackFromJson,
        R"({"patterns":[{"id":"p","tokens":[],"issueStart":0,"issueEnd":"1","suggestion":"s","severity":"style","category":"grammar","confidence":0.5,"explanationEn":"e"}]})"));
    EXPECT_FALSE(testing::decoded(
        &morphemePatternRulePackFromJson,
        R"({"patterns":[{"id":"p","tokens":[],"issueStart":0,"issueEnd":1,"suggestion":"s","severity":"style","category":"typo","confidence":0.5,"explanationEn":"e"}]})"));
}

TEST(MorphemePatternRule, ThroughTheRealDictionary) {
    testing::expectThroughDictionary(
        MorphemePatternRule(MorphemePatternRule::fallbackRulePack()),
        {
            {"行くでは困る。", {"行くのでは困る。"}, {{2, 4}}},
            {"それでは困る。", {}},
            {"改行文字を含んではならない。", {}},
            {"ファイルの終わりでは、", {}},
            {"開発者向けというではなく", {"開発者向けというのではなく"}},
            // The analyser drops the blank and sees で in NFC; the issue
            // quotes and replaces the text as typed.
            {"行くで は困る。", {"行くのでは困る。"}, {{2, 5}}},
            {"行くて\u3099は困る。", {"行くのでは困る。"}, {{2, 4}}},
        });
}

}  // namespace
}  // namespace mivo
