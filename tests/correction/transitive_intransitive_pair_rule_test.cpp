#include "correction/rules/transitive_intransitive_pair_rule.hpp"

#include "dictionary_test_support.hpp"
#include "pack_test_support.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using testing::run;
using P = JapanesePartOfSpeech;
using Parts = testing::Parts;

const TransitiveIntransitivePairRule& fallbackRule() {
    static const TransitiveIntransitivePairRule rule(
        TransitiveIntransitivePairRule::fallbackRulePack());
    return rule;
}

TEST(TransitiveIntransitivePairRule, OffersTheOtherMemberOfThePair) {
    struct Row {
        const char* why;
        Parts parts;
        int64_t start;
        int64_t end;
        const char* corrected;
    };
    const std::vector<Row> rows{
        {"会議が始めます: the stem before ます",
         testing::words("会議/n が/p 始め:始める/v ます/u 。/s"), 3, 5, "会議が始まります。"},
        {"電気を消えました: the stem before まし",
         testing::words("電気/n を/p 消え:消える/v まし:ます/u た/u 。/s"), 3, 5,
         "電気を消しました。"},
        {"ドアが閉めません, split ませ + ん",
         testing::words("ドア/n が/p 閉め:閉める/v ませ:ます/u ん/u 。/s"), 3, 5,
         "ドアが閉まりません。"},
        {"会議を始まりましょう, split ましょ + う",
         testing::words("会議/n を/p 始まり:始まる/v ましょ:ます/u う/u"), 3, 6,
         "会議を始めましょう"},
        {"the verb four places after the particle",
         testing::words("会議/n を/p 、/s もう/d すぐ/d 始まる/v"), 8, 11,
         "会議を、もうすぐ始める"},
        {"the noun found by its lemma", testing::words("かいぎ:会議/n を/p 始まる/v"), 4, 7,
         "かいぎを始める"},
    };
    testing::expectOneIssueEach(fallbackRule(), rows, [](const auto& issue, const Row&) {
        EXPECT_EQ(issue.category, CorrectionIssue::Category::grammar);
    });
}

TEST(TransitiveIntransitivePairRule, RangesFollowTheSentenceStart) {
    const auto wo = run(fallbackRule(), testing::words("会議/n を/p 始まる/v"), 7);
    ASSERT_EQ(wo.size(), 1u);
    EXPECT_EQ(wo[0].range, (TextRange{10, 13}));
    // The noun is searched back past other words.
    EXPECT_EQ(
        testing::found(run(fallbackRule(), testing::words("ドア/n は/p もう/d が/p 閉める/v"))),
        (std::vector<std::string>{"閉まる@6-9"}));
}

// An inflected verb would need the other verb conjugated the same way; a
// bare dictionary form there (閉まるた) would break the sentence.
TEST(TransitiveIntransitivePairRule, OffersNothingForOtherInflections) {
    testing::expectNothing(
        fallbackRule(),
        {
            {"ドアが閉めた", testing::words("ドア/n が/p 閉め:閉める/v た/u 。/s")},
            {"ドアが閉めて", testing::words("ドア/n が/p 閉め:閉める/v て/p")},
            {"a stem at the end of the sentence", testing::words("ドア/n が/p 閉め:閉める/v")},
        });
    // Before ます without a stem for the other verb, nothing either.
    const TransitiveIntransitivePairRule noStems(
        PairRulePack{.pairs = {{"閉まる", "閉める", {}, {{"閉める", "閉め"}}}}});
    EXPECT_TRUE(run(noStems, testing::words("ドア/n が/p 閉め:閉める/v ます/u")).empty());
}

TEST(TransitiveIntransitivePairRule, LeavesCorrectOrUnlistedPairsAlone) {
    testing::expectNothing(
        fallbackRule(), {
                            {"the verb five places after the particle",
                             testing::words("会議/n を/p 、/s もう/d すぐ/d 、/s 始まる/v")},
                            {"を at the start", testing::words("を/p 始まる/v 会議/n")},
                            {"no noun before the particle", testing::words("もう/d を/p 始まる/v")},
                        });
}

TEST(TransitiveIntransitivePairRule, OnlyTheFirstFrameWhoseNounsFitDecides) {
    // Two frames share 落ちる: the first admits only 財布, the second any noun.
    const PairRulePack pack{
        .pairs = {{"落ちる", "落とす", {"財布"}, {}}, {"落ちる", "落っことす", {}, {}}}};
    const TransitiveIntransitivePairRule rule(pack);
    const auto wallet = run(rule, testing::words("財布/n を/p 落ちる/v"));
    ASSERT_EQ(wallet.size(), 1u);
    EXPECT_EQ(wallet[0].suggestion, "落とす");
    const auto desk = run(rule, testing::words("机/n を/p 落ちる/v"));
    ASSERT_EQ(desk.size(), 1u);
    EXPECT_EQ(desk[0].suggestion, "落っことす");
    // Correct use under the first frame ends the search for that particle.
    EXPECT_TRUE(run(rule, testing::words("財布/n が/p 落ちる/v")).empty());
    EXPECT_TRUE(
        run(TransitiveIntransitivePairRule(PairRulePack{}), testing::words("会議/n を/p 始まる/v"))
            .empty());
}

TEST(TransitiveIntransitivePairRule, ReportsEachParticleOnItsOwn) {
    const Parts parts = testing::words("会議/n を/p 始まる/v 、/s ドア/n が/p 閉める/v");
    const auto issues = run(fallbackRule(), parts);
    ASSERT_EQ(issues.size(), 2u);
    EXPECT_EQ(issues[0].suggestion, "始める");
    EXPECT_EQ(issues[1].suggestion, "閉まる");
}

TEST(TransitiveIntransitivePairRule, ComparesUpToCanonicalEquivalence) {
    // ドア with ド as ト + combining voiced mark, が likewise.
    const Parts parts = testing::words("\u30C8\u3099ア/n \u304B\u3099/p 閉める/v");
    EXPECT_EQ(run(fallbackRule(), parts).size(), 1u);
}

TEST(PairRulePack, DecodesStrictly) {
    const auto decode = [](const char* j) { return testing::decoded(&pairRulePackFromJson, j); };
    const auto ok = decode(
        R"({"pairs":[{"intransitive":"a","transitive":"b","nouns":["x","x"],"politeStems":{"a":"s"}}]})");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->pairs[0].nouns, (std::set<std::string>{"x"}));
    EXPECT_TRUE(decode(R"({"pairs":[]})"));
    EXPECT_FALSE(decode(R"({"pairs":[{"intransitive":"a","transitive":"b","nouns":[]}]})"));
    EXPECT_FALSE(decode(
        R"({"pairs":[{"intransitive":"a","transitive":"b","nouns":[],"politeStems":["a"]}]})"));
    EXPECT_FALSE(decode(R"({"pairs":{}})"));
}

TEST(TransitiveIntransitivePairRule, ThroughTheRealDictionary) {
    testing::expectThroughDictionary(
        fallbackRule(),
        {
            {"会議を始まる。", {"会議を始める。"}, {{3, 6}}},
            {"会議が始めます。", {"会議が始まります。"}, {{3, 5}}},
            {"電気を消えました。", {"電気を消しました。"}, {{3, 5}}},
            {"鍵が見つける。", {"鍵が見つかる。"}},
            {"ドアが閉めません。", {"ドアが閉まりません。"}},
            {"机を落ちる。", {}},
            {"ドアが閉めた。", {}},
            {"会議を始める。", {}},
            {"ドアが閉まる。", {}},
            {"会議を 始まる。", {"会議を 始める。"}, {{4, 7}}},
            {"値段を上か\u3099る。", {"値段を上げる。"}, {{3, 6}}},
            {"ト\u3099アか\u3099閉めます。", {"ト\u3099アか\u3099閉まります。"}, {{3, 5}}},
        });
}

}  // namespace
}  // namespace mivo
