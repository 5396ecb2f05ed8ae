#include "correction/rules/location_particle_rule.hpp"

#include "dictionary_test_support.hpp"
#include "pack_test_support.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using testing::run;
using P = JapanesePartOfSpeech;
using Parts = testing::Parts;

const LocationParticleRule& fallbackRule() {
    static const LocationParticleRule rule(LocationParticleRule::fallbackRulePack());
    return rule;
}

struct Reported {
    const char* why;
    Parts parts;
    int64_t start;
    int64_t end;
    const char* suggestion;
    const char* corrected;
};

TEST(LocationParticleRule, ReportsTheParticleThePredicateDoesNotWant) {
    const std::vector<Reported> cases{
        {"existence after a place",
         {{"東京", "", P::noun}, {"で", "", P::particle}, {"住む", "", P::verb}},
         2,
         3,
         "に",
         "東京に住む"},
        {"action at a place",
         {{"会社", "", P::noun}, {"に", "", P::particle}, {"働く", "", P::verb}},
         2,
         3,
         "で",
         "会社で働く"},
        {"verbal noun as action",
         {{"会社", "", P::noun}, {"に", "", P::particle}, {"勉強", "", P::noun}},
         2,
         3,
         "で",
         "会社で勉強"},
        {"verbal noun as existence",
         {{"大学", "", P::noun}, {"で", "", P::particle}, {"滞在", "", P::noun}},
         2,
         3,
         "に",
         "大学に滞在"},
        {"部屋 is a place, so いる is checked",
         {{"部屋", "", P::noun}, {"で", "", P::particle}, {"いる", "", P::verb}},
         2,
         3,
         "に",
         "部屋にいる"},
        {"住む wants に after any noun",
         {{"公園", "", P::noun}, {"で", "", P::particle}, {"住む", "", P::verb}},
         2,
         3,
         "に",
         "公園に住む"},
        {"inflected predicate, matched by lemma",
         {{"東京", "", P::noun},
          {"で", "", P::particle},
          {"住ん", "住む", P::verb},
          {"で", "", P::particle},
          {"いる", "", P::verb}},
         2,
         3,
         "に",
         "東京に住んでいる"},
        {"the noun is searched back without limit",
         {{"東京", "", P::noun},
          {"は", "", P::particle},
          {"ずっと", "", P::adverb},
          {"まだ", "", P::adverb},
          {"で", "", P::particle},
          {"住む", "", P::verb}},
         8,
         9,
         "に",
         "東京はずっとまだに住む"},
        {"a place found by its lemma",
         {{"がっこう", "学校", P::noun}, {"に", "", P::particle}, {"働く", "", P::verb}},
         4,
         5,
         "で",
         "がっこうで働く"},
        {"the predicate at the fifth place after the particle",
         {{"会社", "", P::noun},
          {"に", "", P::particle},
          {"、", "", P::symbol},
          {"とても", "", P::adverb},
          {"よく", "", P::adverb},
          {"、", "", P::symbol},
          {"働く", "", P::verb}},
         2,
         3,
         "で",
         "会社で、とてもよく、働く"},
    };
    testing::expectOneIssueEach(fallbackRule(), cases, [](const auto& issue, const Reported& c) {
        EXPECT_EQ(issue.suggestion, c.suggestion);
        EXPECT_EQ(issue.severity, CorrectionIssue::Severity::critical);
        EXPECT_EQ(issue.category, CorrectionIssue::Category::particle);
        EXPECT_DOUBLE_EQ(issue.confidence, 0.84);
        EXPECT_EQ(issue.sentenceId, "s");
        EXPECT_EQ(issue.source, CorrectionIssue::Source::rule);
    });
}

TEST(LocationParticleRule, LeavesAloneWhatIsRightOrOutOfReach) {
    testing::expectNothing(
        fallbackRule(),
        {
            {"two morphemes only", {{"東京", "", P::noun}, {"で", "", P::particle}}},
            {"に with an existence verb",
             {{"東京", "", P::noun}, {"に", "", P::particle}, {"住む", "", P::verb}}},
            {"で with an action verb",
             {{"会社", "", P::noun}, {"で", "", P::particle}, {"働く", "", P::verb}}},
            {"いる is guarded: 公園 is no listed place",
             {{"公園", "", P::noun}, {"で", "", P::particle}, {"いる", "", P::verb}}},
            {"action after a place that is not listed",
             {{"公園", "", P::noun}, {"に", "", P::particle}, {"働く", "", P::verb}}},
            {"particle at index 0",
             {{"で", "", P::particle}, {"住む", "", P::verb}, {"東京", "", P::noun}}},
            {"no noun before the particle",
             {{"とても", "", P::adverb}, {"で", "", P::particle}, {"住む", "", P::verb}}},
            {"the predicate six places after the particle",
             {{"会社", "", P::noun},
              {"に", "", P::particle},
              {"、", "", P::symbol},
              {"とても", "", P::adverb},
              {"よく", "", P::adverb},
              {"、", "", P::symbol},
              {"、", "", P::symbol},
              {"働く", "", P::verb}}},
            {"the first noun in the window decides",
             {{"東京", "", P::noun},
              {"で", "", P::particle},
              {"友達", "", P::noun},
              {"と", "", P::particle},
              {"住む", "", P::verb}}},
            {"the で of a verb's て-form is no place marker",
             {{"部屋", "", P::noun},
              {"で", "", P::particle},
              {"読ん", "読む", P::verb},
              {"で", "", P::particle},
              {"いる", "", P::verb}}},
            {"the に of purpose after a verb's stem",
             {{"会社", "", P::noun},
              {"へ", "", P::particle},
              {"食べ", "食べる", P::verb},
              {"に", "", P::particle},
              {"働く", "", P::verb}}},
            {"other particles are not looked at",
             {{"東京", "", P::noun}, {"へ", "", P::particle}, {"住む", "", P::verb}}},
            {"に as a verb part is not a particle",
             {{"東京", "", P::noun}, {"に", "", P::unknown}, {"働く", "", P::verb}}},
        });
}

TEST(LocationParticleRule, ReportsEveryQualifyingParticleInOrder) {
    const Parts parts{
        {"会社", "", P::noun}, {"に", "", P::particle}, {"働く", "", P::verb},
        {"、", "", P::symbol}, {"東京", "", P::noun},   {"で", "", P::particle},
        {"住む", "", P::verb},
    };
    const auto issues = run(fallbackRule(), parts);
    ASSERT_EQ(issues.size(), 2u);
    EXPECT_EQ(issues[0].range, (TextRange{2, 3}));
    EXPECT_EQ(issues[0].suggestion, "で");
    EXPECT_EQ(issues[1].range, (TextRange{8, 9}));
    EXPECT_EQ(issues[1].suggestion, "に");
    EXPECT_NE(issues[0].id, issues[1].id);
}

TEST(LocationParticleRule, OffsetsRangesByTheSentenceStartAndExplains) {
    const auto issues =
        run(fallbackRule(), {{"東京", "", P::noun}, {"で", "", P::particle}, {"住む", "", P::verb}},
            20);
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].range, (TextRange{22, 23}));
    EXPECT_EQ(issues[0].original, "で");
    EXPECT_EQ(issues[0].explanationEn, "Use \"に\" for existence or state verbs such as \"住む\".");

    const auto action =
        run(fallbackRule(),
            {{"会社", "", P::noun}, {"に", "", P::particle}, {"働い", "働く", P::verb}});
    ASSERT_EQ(action.size(), 1u);
    EXPECT_EQ(action[0].explanationEn,
              "Use \"で\" for the location where an action such as \"働く\" happens.");
}

TEST(LocationParticleRule, ComparesWordsUpToCanonicalEquivalence) {
    // で written as て + combining voiced mark, ビル as ヒ + combining mark.
    const std::string de = "\u3066\u3099";
    const std::string biru = "\u30D2\u3099\u30EB";
    auto pack = LocationParticleRule::fallbackRulePack();
    pack.locationNouns.insert(biru);
    const LocationParticleRule rule(pack);
    EXPECT_EQ(
        run(rule, {{"東京", "", P::noun}, {de, "", P::particle}, {"住む", "", P::verb}}).size(),
        1u);
    EXPECT_EQ(
        run(rule, {{"ビル", "", P::noun}, {"に", "", P::particle}, {"働く", "", P::verb}}).size(),
        1u);
}

TEST(LocationParticleRule, PackWithoutUnguardedVerbsGuardsEveryExistenceVerb) {
    const auto pack = testing::decoded(
        &locationParticleRulePackFromJson,
        R"({"locationNouns":["東京"],"existenceVerbs":["住む"],"actionVerbs":[]})");
    ASSERT_TRUE(pack);
    EXPECT_FALSE(pack->unguardedExistenceVerbs.has_value());
    const LocationParticleRule rule(*pack);
    EXPECT_TRUE(
        run(rule, {{"公園", "", P::noun}, {"で", "", P::particle}, {"住む", "", P::verb}}).empty());
    EXPECT_EQ(
        run(rule, {{"東京", "", P::noun}, {"で", "", P::particle}, {"住む", "", P::verb}}).size(),
        1u);
}

TEST(LocationParticleRule, UnguardedVerbMustAlsoBeAnExistenceVerb) {
    const auto pack = testing::decoded(
        &locationParticleRulePackFromJson,
        R"({"locationNouns":[],"existenceVerbs":[],"unguardedExistenceVerbs":["住む"],"actionVerbs":[]})");
    ASSERT_TRUE(pack);
    EXPECT_TRUE(run(LocationParticleRule(*pack),
                    {{"公園", "", P::noun}, {"で", "", P::particle}, {"住む", "", P::verb}})
                    .empty());
}

TEST(LocationParticleRulePack, DecodesStrictly) {
    const auto decode = [](const char* j) {
        return testing::decoded(&locationParticleRulePackFromJson, j);
    };
    const auto full = decode(
        R"({"locationNouns":["駅","駅"],"existenceVerbs":["いる"],"unguardedExistenceVerbs":null,"actionVerbs":["働く"],"note":1})");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->locationNouns, (std::set<std::string>{"駅"}));
    EXPECT_FALSE(full->unguardedExistenceVerbs.has_value());

    EXPECT_FALSE(decode(R"({"existenceVerbs":[],"actionVerbs":[]})"));
    EXPECT_FALSE(decode(R"({"locationNouns":[1],"existenceVerbs":[],"actionVerbs":[]})"));
    EXPECT_FALSE(decode(R"({"locationNouns":"駅","existenceVerbs":[],"actionVerbs":[]})"));
    EXPECT_FALSE(decode(
        R"({"locationNouns":[],"existenceVerbs":[],"unguardedExistenceVerbs":[true],"actionVerbs":[]})"));
    EXPECT_FALSE(decode(R"([])"));
}

TEST(LocationParticleRulePack, ShippedFileIsTheFallback) {
    const auto shipped =
        testing::shippedPack("location-verb-classes", &locationParticleRulePackFromJson);
    ASSERT_TRUE(shipped);
    EXPECT_EQ(*shipped, LocationParticleRule::fallbackRulePack());
}

TEST(LocationParticleRule, ThroughTheRealDictionary) {
    testing::expectThroughDictionary(fallbackRule(),
                                     {
                                         {"東京で住む。", {"東京に住む。"}, {{2, 3}}},
                                         {"会社に働く。", {"会社で働く。"}, {{2, 3}}},
                                         {"東京で住んでいる。", {"東京に住んでいる。"}, {{2, 3}}},
                                         {"部屋で本を読んでいる。", {}},
                                         {"東京に住む。", {}},
                                         {"会社で働く。", {}},
                                         {"東京て\u3099住む。", {"東京に住む。"}, {{2, 3}}},
                                         {"会社 に 働く。", {"会社 で 働く。"}, {{3, 4}}},
                                     });
}

}  // namespace
}  // namespace mivo
