#include "correction/rules/particle_misuse_rule.hpp"

#include "dictionary_test_support.hpp"
#include "pack_test_support.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using testing::run;
using P = JapanesePartOfSpeech;
using Parts = testing::Parts;

const ParticleMisuseRule& fallbackRule() {
    static const ParticleMisuseRule rule(
        NounSemanticClassifier(NounSemanticClassifier::fallbackRulePack()),
        ParticleMisuseRule::fallbackRulePack());
    return rule;
}

Parts nounWoVerb(const char* noun, const char* verb, const char* lemma = "") {
    return {{noun, "", P::noun},
            {"を", "", P::particle},
            {verb, lemma, P::verb},
            {"。", "", P::symbol}};
}

TEST(ParticleMisuseRule, ReportsWoBeforeAMotionVerb) {
    struct Row {
        const char* why;
        Parts parts;
        int64_t start;
        int64_t end;
        const char* corrected;
    };
    const std::vector<Row> rows{
        {"会社を行く", nounWoVerb("会社", "行く"), 2, 3, "会社に行く。"},
        {"学校を来る", nounWoVerb("学校", "来る"), 2, 3, "学校に来る。"},
        {"a noun of no class passes not-path", nounWoVerb("友達", "行く"), 2, 3, "友達に行く。"},
        {"the frame is chosen by the lemma (行っ of 行った)",
         testing::words("会社/n を/p 行っ:行く/v た/u"), 2, 3, "会社に行った"},
        {"symbols between noun and particle are passed over",
         testing::words("「/s 会社/n 」/s を/p 行く/v"), 4, 5, "「会社」に行く"},
        {"up to two morphemes before the predicate",
         testing::words("会社/n を/p 、/s すぐ/d 行く/v"), 2, 3, "会社に、すぐ行く"},
    };
    testing::expectOneIssueEach(fallbackRule(), rows, [](const auto& issue, const Row&) {
        EXPECT_EQ(issue.original, "を");
        EXPECT_EQ(issue.severity, CorrectionIssue::Severity::critical);
        EXPECT_EQ(issue.category, CorrectionIssue::Category::particle);
        EXPECT_DOUBLE_EQ(issue.confidence, 0.88);
    });
    const auto issues = run(fallbackRule(), nounWoVerb("会社", "行く"), 20);
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].range, (TextRange{22, 23}));
}

TEST(ParticleMisuseRule, LeavesRightOrUnreachableParticlesAlone) {
    testing::expectNothing(
        fallbackRule(),
        {
            {"道を行く: moving along a path", nounWoVerb("道", "行く")},
            {"two morphemes", testing::words("会社/n を/p")},
            {"a particle before the noun's particle hides the noun (会社だけを行く)",
             testing::words("会社/n だけ/p を/p 行く/v")},
            {"the first noun or verb in the window decides (会社を見学に行く)",
             testing::words("会社/n を/p 見学/n に/p 行く/v")},
            {"a verb four places after the particle",
             testing::words("会社/n を/p 、/s すぐ/d また/d 行く/v")},
            {"only symbols before the particle", testing::words("「/s を/p 行く/v")},
            {"a verb without a frame", nounWoVerb("会社", "作る")},
        });
}

ParticleFrame frame(std::string lemma, std::optional<std::string> guard,
                    std::map<std::string, std::string> suggestions,
                    std::optional<std::string> explanation = std::nullopt) {
    return ParticleFrame{.lemma = std::move(lemma),
                         .ruleClass = "test-class",
                         .semanticGuard = std::move(guard),
                         .particleSuggestions = std::move(suggestions),
                         .severity = CorrectionIssue::Severity::unnatural,
                         .confidence = 0.5,
                         .explanationEn = std::move(explanation)};
}

ParticleMisuseRule ruleWith(std::vector<ParticleFrame> frames) {
    return ParticleMisuseRule(NounSemanticClassifier(NounSemanticClassifier::fallbackRulePack()),
                              ParticleFrameRulePack{std::move(frames)});
}

TEST(ParticleMisuseRule, AppliesEachGuard) {
    struct Row {
        std::optional<std::string> guard;
        const char* noun;
        bool reported;
    };
    const std::vector<Row> rows{
        {std::nullopt, "道", true},     {"destination", "東京駅", true},
        {"destination", "友達", false}, {"path", "道", true},
        {"path", "会社", false},        {"not-path", "道", false},
        {"somewhere", "会社", false},
    };
    for (const auto& r : rows) {
        const auto rule = ruleWith({frame("行く", r.guard, {{"を", "に"}})});
        EXPECT_EQ(run(rule, nounWoVerb(r.noun, "行く")).size(), r.reported ? 1u : 0u)
            << r.guard.value_or("(none)") << " " << r.noun;
    }
}

TEST(ParticleMisuseRule, FrameDetails) {
    // A suggestion equal to the particle says nothing.
    EXPECT_TRUE(
        run(ruleWith({frame("行く", std::nullopt, {{"を", "を"}})}), nounWoVerb("会社", "行く"))
            .empty());
    // The frame's own explanation, severity and confidence.
    const auto issues = run(ruleWith({frame("行く", std::nullopt, {{"を", "へ"}}, "own")}),
                            nounWoVerb("会社", "行く"));
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].suggestion, "へ");
    EXPECT_EQ(issues[0].explanationEn, "own");
    EXPECT_EQ(issues[0].severity, CorrectionIssue::Severity::unnatural);
    EXPECT_DOUBLE_EQ(issues[0].confidence, 0.5);
    // Two frames for one lemma: the first one is used, nothing stops.
    const auto first = run(ruleWith({frame("行く", std::nullopt, {{"を", "へ"}}),
                                     frame("行く", std::nullopt, {{"を", "に"}})}),
                           nounWoVerb("会社", "行く"));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].suggestion, "へ");
}

TEST(ParticleMisuseRule, ComparesUpToCanonicalEquivalence) {
    // The wrong particle が written in the pack as か + combining voiced mark.
    const auto rule = ruleWith({frame("行く", std::nullopt, {{"\u304B\u3099", "に"}})});
    const Parts parts = testing::words("会社/n が/p 行く/v");
    EXPECT_EQ(run(rule, parts).size(), 1u);
}

TEST(ParticleFrameRulePack, DecodesStrictly) {
    const auto decode = [](const std::string& frameJson) {
        return testing::decoded(&particleFrameRulePackFromJson,
                                R"({"frames":[)" + frameJson + "]}");
    };
    const auto ok = decode(
        R"({"lemma":"行く","ruleClass":"c","particleSuggestions":{"を":"に","を":"へ"},"severity":"style","confidence":1,"x":0})");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->frames[0].particleSuggestions,
              (std::map<std::string, std::string>{{"を", "に"}}));
    EXPECT_FALSE(ok->frames[0].semanticGuard);
    EXPECT_FALSE(ok->frames[0].explanationEn);
    // Two keys for the same particle (が precomposed, then か + voiced
    // mark): the first one written stays.
    const auto twice = decode(
        R"({"lemma":"行く","ruleClass":"c","particleSuggestions":{"が":"に","か\u3099":"へ"},"severity":"style","confidence":1})");
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->frames[0].particleSuggestions,
              (std::map<std::string, std::string>{{"が", "に"}}));
    EXPECT_TRUE(decode(
        R"({"lemma":"行く","ruleClass":"c","semanticGuard":"odd","particleSuggestions":{},"severity":"style","confidence":1})"));
    EXPECT_FALSE(decode(
        R"({"lemma":"行く","ruleClass":"c","particleSuggestions":{},"severity":"bad","confidence":1})"));
    EXPECT_FALSE(
        decode(R"({"lemma":"行く","particleSuggestions":{},"severity":"style","confidence":1})"));
}

TEST(ParticleMisuseRule, ThroughTheRealDictionary) {
    testing::expectThroughDictionary(fallbackRule(),
                                     {
                                         {"会社を行く。", {"会社に行く。"}, {{2, 3}}},
                                         {"道を行く。", {}},
                                         {"会社に行く。", {}},
                                         {"「会社」を行く。", {"「会社」に行く。"}},
                                         {"会社を 行く。", {"会社に 行く。"}, {{2, 3}}},
                                         {"ト\u3099アを行く。", {"ト\u3099アに行く。"}, {{2, 3}}},
                                     });
}

}  // namespace
}  // namespace mivo
