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
        {"verbal noun as existence", testing::words("大学/n で/p 滞在/n"), 2, 3, "に",
         "大学に滞在"},
        {"部屋 is a place, so いる is checked", testing::words("部屋/n で/p いる/v"), 2, 3, "に",
         "部屋にいる"},
        {"住む wants に after any noun", testing::words("公園/n で/p 住む/v"), 2, 3, "に",
         "公園に住む"},
        {"the noun is searched back without limit",
         testing::words("東京/n は/p ずっと/d まだ/d で/p 住む/v"), 8, 9, "に",
         "東京はずっとまだに住む"},
        {"a place found by its lemma", testing::words("がっこう:学校/n に/p 働く/v"), 4, 5, "で",
         "がっこうで働く"},
        {"the predicate at the fifth place after the particle",
         testing::words("会社/n に/p 、/s とても/d よく/d 、/s 働く/v"), 2, 3, "で",
         "会社で、とてもよく、働く"},
    };
    testing::expectOneIssueEach(fallbackRule(), cases, [](const auto& issue, const Reported& c) {
        EXPECT_EQ(issue.suggestion, c.suggestion);
        EXPECT_EQ(issue.category, CorrectionIssue::Category::particle);
    });
}

TEST(LocationParticleRule, LeavesAloneWhatIsRightOrOutOfReach) {
    testing::expectNothing(
        fallbackRule(),
        {
            {"two morphemes only", testing::words("東京/n で/p")},
            {"いる is guarded: 公園 is no listed place", testing::words("公園/n で/p いる/v")},
            {"action after a place that is not listed", testing::words("公園/n に/p 働く/v")},
            {"particle at index 0", testing::words("で/p 住む/v 東京/n")},
            {"no noun before the particle", testing::words("とても/d で/p 住む/v")},
            {"the predicate six places after the particle",
             testing::words("会社/n に/p 、/s とても/d よく/d 、/s 、/s 働く/v")},
            {"the first noun in the window decides",
             testing::words("東京/n で/p 友達/n と/p 住む/v")},
            {"the に of purpose after a verb's stem",
             testing::words("会社/n へ/p 食べ:食べる/v に/p 働く/v")},
            {"に as a verb part is not a particle", testing::words("東京/n に/u 働く/v")},
        });
}

TEST(LocationParticleRule, ReportsEveryQualifyingParticleInOrder) {
    const Parts parts = testing::words("会社/n に/p 働く/v 、/s 東京/n で/p 住む/v");
    const auto issues = run(fallbackRule(), parts);
    EXPECT_EQ(testing::found(issues), (std::vector<std::string>{"で@2-3", "に@8-9"}));
}

TEST(LocationParticleRule, OffsetsRangesByTheSentenceStart) {
    const auto issues = run(fallbackRule(), testing::words("東京/n で/p 住む/v"), 20);
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].range, (TextRange{22, 23}));
    EXPECT_EQ(issues[0].original, "で");
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
    EXPECT_EQ(run(rule, testing::words("ビル/n に/p 働く/v")).size(), 1u);
}

TEST(LocationParticleRule, PackWithoutUnguardedVerbsGuardsEveryExistenceVerb) {
    const auto pack = testing::decoded(
        &locationParticleRulePackFromJson,
        R"({"locationNouns":["東京"],"existenceVerbs":["住む"],"actionVerbs":[]})");
    ASSERT_TRUE(pack);
    EXPECT_FALSE(pack->unguardedExistenceVerbs.has_value());
    const LocationParticleRule rule(*pack);
    EXPECT_TRUE(run(rule, testing::words("公園/n で/p 住む/v")).empty());
    EXPECT_EQ(run(rule, testing::words("東京/n で/p 住む/v")).size(), 1u);
}

TEST(LocationParticleRule, UnguardedVerbMustAlsoBeAnExistenceVerb) {
    const auto pack = testing::decoded(
        &locationParticleRulePackFromJson,
        R"({"locationNouns":[],"existenceVerbs":[],"unguardedExistenceVerbs":["住む"],"actionVerbs":[]})");
    ASSERT_TRUE(pack);
    EXPECT_TRUE(run(LocationParticleRule(*pack), testing::words("公園/n で/p 住む/v")).empty());
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
    EXPECT_FALSE(decode(R"([])"));
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
