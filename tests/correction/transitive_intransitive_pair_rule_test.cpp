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
        {"会議を始まる",
         {{"会議", "", P::noun},
          {"を", "", P::particle},
          {"始まる", "", P::verb},
          {"。", "", P::symbol}},
         3,
         6,
         "会議を始める。"},
        {"会議が始めます: the stem before ます",
         {{"会議", "", P::noun},
          {"が", "", P::particle},
          {"始め", "始める", P::verb},
          {"ます", "", P::unknown},
          {"。", "", P::symbol}},
         3,
         5,
         "会議が始まります。"},
        {"電気を消えました: the stem before まし",
         {{"電気", "", P::noun},
          {"を", "", P::particle},
          {"消え", "消える", P::verb},
          {"まし", "ます", P::unknown},
          {"た", "", P::unknown},
          {"。", "", P::symbol}},
         3,
         5,
         "電気を消しました。"},
        {"ドアが閉めません, split ませ + ん",
         {{"ドア", "", P::noun},
          {"が", "", P::particle},
          {"閉め", "閉める", P::verb},
          {"ませ", "ます", P::unknown},
          {"ん", "", P::unknown},
          {"。", "", P::symbol}},
         3,
         5,
         "ドアが閉まりません。"},
        {"会議を始まりましょう, split ましょ + う",
         {{"会議", "", P::noun},
          {"を", "", P::particle},
          {"始まり", "始まる", P::verb},
          {"ましょ", "ます", P::unknown},
          {"う", "", P::unknown}},
         3,
         6,
         "会議を始めましょう"},
        {"鍵が見つける: pair with no noun list",
         {{"鍵", "", P::noun}, {"が", "", P::particle}, {"見つける", "", P::verb}},
         2,
         6,
         "鍵が見つかる"},
        {"the verb four places after the particle",
         {{"会議", "", P::noun},
          {"を", "", P::particle},
          {"、", "", P::symbol},
          {"もう", "", P::adverb},
          {"すぐ", "", P::adverb},
          {"始まる", "", P::verb}},
         8,
         11,
         "会議を、もうすぐ始める"},
        {"the noun found by its lemma",
         {{"かいぎ", "会議", P::noun}, {"を", "", P::particle}, {"始まる", "", P::verb}},
         4,
         7,
         "かいぎを始める"},
    };
    testing::expectOneIssueEach(fallbackRule(), rows, [](const auto& issue, const Row&) {
        EXPECT_EQ(issue.severity, CorrectionIssue::Severity::critical);
        EXPECT_EQ(issue.category, CorrectionIssue::Category::grammar);
        EXPECT_DOUBLE_EQ(issue.confidence, 0.86);
    });
}

TEST(TransitiveIntransitivePairRule, ExplainsWithTheNounAndVerbAsWritten) {
    const auto wo =
        run(fallbackRule(),
            {{"会議", "", P::noun}, {"を", "", P::particle}, {"始まる", "", P::verb}}, 7);
    ASSERT_EQ(wo.size(), 1u);
    EXPECT_EQ(wo[0].range, (TextRange{10, 13}));
    EXPECT_EQ(
        wo[0].explanationEn,
        "\"会議を始まる\" uses an intransitive verb with を. Use the transitive pair \"始める\".");
    const auto ga = run(fallbackRule(), {{"ドア", "", P::noun},
                                         {"は", "", P::particle},
                                         {"もう", "", P::adverb},
                                         {"が", "", P::particle},
                                         {"閉める", "", P::verb}});
    ASSERT_EQ(ga.size(), 1u);
    EXPECT_EQ(
        ga[0].explanationEn,
        "\"ドアが閉める\" uses a transitive verb with が. Use the intransitive pair \"閉まる\".");
}

// An inflected verb would need the other verb conjugated the same way; a
// bare dictionary form there (閉まるた) would break the sentence.
TEST(TransitiveIntransitivePairRule, OffersNothingForOtherInflections) {
    testing::expectNothing(
        fallbackRule(),
        {
            {"ドアが閉めた",
             {{"ドア", "", P::noun},
              {"が", "", P::particle},
              {"閉め", "閉める", P::verb},
              {"た", "", P::unknown},
              {"。", "", P::symbol}}},
            {"ドアが閉めて",
             {{"ドア", "", P::noun},
              {"が", "", P::particle},
              {"閉め", "閉める", P::verb},
              {"て", "", P::particle}}},
            {"a stem at the end of the sentence",
             {{"ドア", "", P::noun}, {"が", "", P::particle}, {"閉め", "閉める", P::verb}}},
        });
    // Before ます without a stem for the other verb, nothing either.
    const TransitiveIntransitivePairRule noStems(
        PairRulePack{.pairs = {{"閉まる", "閉める", {}, {{"閉める", "閉め"}}}}});
    EXPECT_TRUE(run(noStems, {{"ドア", "", P::noun},
                              {"が", "", P::particle},
                              {"閉め", "閉める", P::verb},
                              {"ます", "", P::unknown}})
                    .empty());
}

TEST(TransitiveIntransitivePairRule, LeavesCorrectOrUnlistedPairsAlone) {
    testing::expectNothing(
        fallbackRule(),
        {
            {"会議を始める",
             {{"会議", "", P::noun}, {"を", "", P::particle}, {"始める", "", P::verb}}},
            {"ドアが閉まる",
             {{"ドア", "", P::noun}, {"が", "", P::particle}, {"閉まる", "", P::verb}}},
            {"机を落ちる: 机 is not in the pair's nouns",
             {{"机", "", P::noun}, {"を", "", P::particle}, {"落ちる", "", P::verb}}},
            {"the verb five places after the particle",
             {{"会議", "", P::noun},
              {"を", "", P::particle},
              {"、", "", P::symbol},
              {"もう", "", P::adverb},
              {"すぐ", "", P::adverb},
              {"、", "", P::symbol},
              {"始まる", "", P::verb}}},
            {"two morphemes", {{"を", "", P::particle}, {"始まる", "", P::verb}}},
            {"を at the start",
             {{"を", "", P::particle}, {"始まる", "", P::verb}, {"会議", "", P::noun}}},
            {"no noun before the particle",
             {{"もう", "", P::adverb}, {"を", "", P::particle}, {"始まる", "", P::verb}}},
        });
}

TEST(TransitiveIntransitivePairRule, OnlyTheFirstFrameWhoseNounsFitDecides) {
    // Two frames share 落ちる: the first admits only 財布, the second any noun.
    const PairRulePack pack{
        .pairs = {{"落ちる", "落とす", {"財布"}, {}}, {"落ちる", "落っことす", {}, {}}}};
    const TransitiveIntransitivePairRule rule(pack);
    const auto wallet =
        run(rule, {{"財布", "", P::noun}, {"を", "", P::particle}, {"落ちる", "", P::verb}});
    ASSERT_EQ(wallet.size(), 1u);
    EXPECT_EQ(wallet[0].suggestion, "落とす");
    const auto desk =
        run(rule, {{"机", "", P::noun}, {"を", "", P::particle}, {"落ちる", "", P::verb}});
    ASSERT_EQ(desk.size(), 1u);
    EXPECT_EQ(desk[0].suggestion, "落っことす");
    // Correct use under the first frame ends the search for that particle.
    EXPECT_TRUE(run(rule, {{"財布", "", P::noun}, {"が", "", P::particle}, {"落ちる", "", P::verb}})
                    .empty());
    EXPECT_TRUE(run(TransitiveIntransitivePairRule(PairRulePack{}),
                    {{"会議", "", P::noun}, {"を", "", P::particle}, {"始まる", "", P::verb}})
                    .empty());
}

TEST(TransitiveIntransitivePairRule, ReportsEachParticleOnItsOwn) {
    const Parts parts{{"会議", "", P::noun},  {"を", "", P::particle}, {"始まる", "", P::verb},
                      {"、", "", P::symbol},  {"ドア", "", P::noun},   {"が", "", P::particle},
                      {"閉める", "", P::verb}};
    const auto issues = run(fallbackRule(), parts);
    ASSERT_EQ(issues.size(), 2u);
    EXPECT_EQ(issues[0].suggestion, "始める");
    EXPECT_EQ(issues[1].suggestion, "閉まる");
}

TEST(TransitiveIntransitivePairRule, ComparesUpToCanonicalEquivalence) {
    // ドア with ド as ト + combining voiced mark, が likewise.
    const Parts parts{{"\u30C8\u3099ア", "", P::noun},
                      {"\u304B\u3099", "", P::particle},
                      {"閉める", "", P::verb}};
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

TEST(PairRulePack, ShippedFileIsTheFallback) {
    const auto shipped = testing::shippedPack("transitivity-pairs", &pairRulePackFromJson);
    ASSERT_TRUE(shipped);
    EXPECT_EQ(*shipped, TransitiveIntransitivePairRule::fallbackRulePack());
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
