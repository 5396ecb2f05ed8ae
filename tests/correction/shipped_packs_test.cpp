// The packs shipped in the engine's bundle hold exactly the data compiled
// into the rules, so the engine finds the same with or without its bundle.

#include "correction/rules/double_polite_rule.hpp"
#include "correction/rules/keigo_misuse_rule.hpp"
#include "correction/rules/location_particle_rule.hpp"
#include "correction/rules/mixed_politeness_rule.hpp"
#include "correction/rules/morpheme_pattern_rule.hpp"
#include "correction/rules/noun_semantic_classifier.hpp"
#include "correction/rules/particle_misuse_rule.hpp"
#include "correction/rules/phrase_rewrite_rule.hpp"
#include "correction/rules/surface_pattern_rule.hpp"
#include "correction/rules/token_aware_vocabulary_rule.hpp"
#include "correction/rules/transitive_intransitive_pair_rule.hpp"
#include "correction/rules/verb_conjugation_rule.hpp"
#include "correction/textlint/textlint_japanese_grammar_rule.hpp"
#include "pack_test_support.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace mivo {
namespace {

// Whether the shipped pack of `Rule` decodes strictly and equals its
// compiled-in copy.
template <typename Rule, typename Pack>
std::pair<std::string_view, std::function<bool()>> same(Pack (*decode)(const json::Json&)) {
    return {Rule::packName, [decode] {
                return testing::shippedPack(Rule::packName, decode) == Rule::fallbackRulePack();
            }};
}

TEST(ShippedPacks, EqualTheCompiledInData) {
    const std::pair<std::string_view, std::function<bool()>> packs[] = {
        same<DoublePoliteRule>(&doublePoliteRulePackFromJson),
        same<KeigoMisuseRule>(&keigoMisuseRulePackFromJson),
        same<LocationParticleRule>(&locationParticleRulePackFromJson),
        same<MixedPolitenessRule>(&politenessAspectRulePackFromJson),
        same<MorphemePatternRule>(&morphemePatternRulePackFromJson),
        same<NounSemanticClassifier>(&nounSemanticClassRulePackFromJson),
        same<ParticleMisuseRule>(&particleFrameRulePackFromJson),
        same<PhraseRewriteRule>(&phraseRewriteRulePackFromJson),
        same<SurfacePatternRule>(&surfacePatternRulePackFromJson),
        same<TransitiveIntransitivePairRule>(&pairRulePackFromJson),
        same<VerbConjugationRule>(&verbConjugationRulePackFromJson),
        same<TextlintJapaneseGrammarRule>(&textlintRulePackFromJson),
        {"vocabulary",
         [] {
             std::optional<std::vector<VocabularyEntry>> shipped;
             RulePackResource::decodeTopLevelResource(
                 testing::sourceLocalCorrectionBundle(), "vocabulary",
                 [&](const json::Json& j) { shipped = vocabularyEntriesFromJson(j); });
             return shipped == TokenAwareVocabularyRule::fallbackEntries();
         }},
    };
    for (const auto& [name, equal] : packs)
        EXPECT_TRUE(equal()) << name;
}

}  // namespace
}  // namespace mivo
