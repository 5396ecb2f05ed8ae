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

// Whether the shipped pack `name` decodes strictly and equals `fallback`.
template <typename Pack>
std::function<bool()> equalsFallback(std::string_view name, Pack (*decode)(const json::Json&),
                                     const Pack& fallback) {
    return [=, &fallback] { return testing::shippedPack(name, decode) == fallback; };
}

TEST(ShippedPacks, EqualTheCompiledInData) {
    const std::pair<std::string_view, std::function<bool()>> packs[] = {
        {DoublePoliteRule::packName,
         equalsFallback(DoublePoliteRule::packName, &doublePoliteRulePackFromJson,
                        DoublePoliteRule::fallbackRulePack())},
        {KeigoMisuseRule::packName,
         equalsFallback(KeigoMisuseRule::packName, &keigoMisuseRulePackFromJson,
                        KeigoMisuseRule::fallbackRulePack())},
        {LocationParticleRule::packName,
         equalsFallback(LocationParticleRule::packName, &locationParticleRulePackFromJson,
                        LocationParticleRule::fallbackRulePack())},
        {MixedPolitenessRule::packName,
         equalsFallback(MixedPolitenessRule::packName, &politenessAspectRulePackFromJson,
                        MixedPolitenessRule::fallbackRulePack())},
        {MorphemePatternRule::packName,
         equalsFallback(MorphemePatternRule::packName, &morphemePatternRulePackFromJson,
                        MorphemePatternRule::fallbackRulePack())},
        {NounSemanticClassifier::packName,
         equalsFallback(NounSemanticClassifier::packName, &nounSemanticClassRulePackFromJson,
                        NounSemanticClassifier::fallbackRulePack())},
        {ParticleMisuseRule::packName,
         equalsFallback(ParticleMisuseRule::packName, &particleFrameRulePackFromJson,
                        ParticleMisuseRule::fallbackRulePack())},
        {PhraseRewriteRule::packName,
         equalsFallback(PhraseRewriteRule::packName, &phraseRewriteRulePackFromJson,
                        PhraseRewriteRule::fallbackRulePack())},
        {SurfacePatternRule::packName,
         equalsFallback(SurfacePatternRule::packName, &surfacePatternRulePackFromJson,
                        SurfacePatternRule::fallbackRulePack())},
        {TransitiveIntransitivePairRule::packName,
         equalsFallback(TransitiveIntransitivePairRule::packName, &pairRulePackFromJson,
                        TransitiveIntransitivePairRule::fallbackRulePack())},
        {VerbConjugationRule::packName,
         equalsFallback(VerbConjugationRule::packName, &verbConjugationRulePackFromJson,
                        VerbConjugationRule::fallbackRulePack())},
        {TextlintJapaneseGrammarRule::packName,
         equalsFallback(TextlintJapaneseGrammarRule::packName, &textlintRulePackFromJson,
                        TextlintJapaneseGrammarRule::fallbackRulePack())},
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
