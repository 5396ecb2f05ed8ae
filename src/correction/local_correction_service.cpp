#include "correction/local_correction_service.hpp"

#include "correction/rule_pack.hpp"
#include "correction/rules/double_polite_rule.hpp"
#include "correction/rules/doubled_particle_rule.hpp"
#include "correction/rules/keigo_misuse_rule.hpp"
#include "correction/rules/location_particle_rule.hpp"
#include "correction/rules/mixed_politeness_rule.hpp"
#include "correction/rules/morpheme_pattern_rule.hpp"
#include "correction/rules/particle_misuse_rule.hpp"
#include "correction/rules/phrase_rewrite_rule.hpp"
#include "correction/rules/surface_pattern_rule.hpp"
#include "correction/rules/token_aware_vocabulary_rule.hpp"
#include "correction/rules/transitive_intransitive_pair_rule.hpp"
#include "correction/rules/verb_conjugation_rule.hpp"
#include "correction/textlint/textlint_japanese_grammar_rule.hpp"
#include "morphology/mecab_japanese_tokenizer.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace mivo {
namespace {

// The process-wide tokenizer, shared without ownership: it lives as long
// as the process. Absent when MeCab or its dictionary cannot be opened.
std::shared_ptr<const JapaneseTokenizer> defaultTokenizer() {
    MecabJapaneseTokenizer* shared = MecabJapaneseTokenizer::shared();
    if (shared == nullptr)
        return nullptr;
    return std::shared_ptr<const JapaneseTokenizer>(std::shared_ptr<void>(), shared);
}

// The rule built from its pack in the engine's bundle, or from the
// compiled-in pack when that file is missing or broken; `before` are the
// constructor's arguments that come before the pack.
template <typename Rule, typename Pack, typename... Before>
std::shared_ptr<Rule> withPack(Pack (*decode)(const json::Json&), Before&&... before) {
    return std::make_shared<Rule>(std::forward<Before>(before)...,
                                  loadRulePack(Rule::packName, decode, Rule::fallbackRulePack()));
}

// The order here is the order in which analyze runs the rules; equal
// ranges from two rules keep it in the result.
LocalCorrectionService::MorphologyRules defaultMorphologyRules() {
    return {
        std::make_shared<DoubleParticleRule>(),
        withPack<PhraseRewriteRule>(&phraseRewriteRulePackFromJson),
        std::make_shared<TokenAwareVocabularyRule>(TokenAwareVocabularyRule::loadEntries()),
        withPack<ParticleMisuseRule>(&particleFrameRulePackFromJson,
                                     NounSemanticClassifier::loadDefault()),
        withPack<LocationParticleRule>(&locationParticleRulePackFromJson),
        withPack<TransitiveIntransitivePairRule>(&pairRulePackFromJson),
        withPack<VerbConjugationRule>(&verbConjugationRulePackFromJson),
        withPack<MorphemePatternRule>(&morphemePatternRulePackFromJson),
        withPack<MixedPolitenessRule>(&politenessAspectRulePackFromJson),
        withPack<KeigoMisuseRule>(&keigoMisuseRulePackFromJson),
        withPack<DoublePoliteRule>(&doublePoliteRulePackFromJson),
    };
}

LocalCorrectionService::Rules defaultPlainRules() {
    return {
        withPack<SurfacePatternRule>(
            &surfacePatternRulePackFromJson,
            static_cast<const JapaneseTokenizer*>(MecabJapaneseTokenizer::shared())),
        withPack<TextlintJapaneseGrammarRule>(&textlintRulePackFromJson,
                                              TextlintJapaneseBridge::shared()),
    };
}

}  // namespace

LocalCorrectionService::LocalCorrectionService()
    : LocalCorrectionService(defaultTokenizer(), defaultMorphologyRules(), defaultPlainRules()) {}

LocalCorrectionService::LocalCorrectionService(Rules rules)
    : LocalCorrectionService(nullptr, {}, std::move(rules)) {}

LocalCorrectionService::LocalCorrectionService(std::shared_ptr<const JapaneseTokenizer> tokenizer,
                                               MorphologyRules morphologyRules, Rules rules)
    : tokenizer_(std::move(tokenizer)),
      morphologyRules_(std::move(morphologyRules)),
      rules_(std::move(rules)) {}

std::vector<CorrectionIssue> LocalCorrectionService::analyze(
    const CompletedSentenceCandidate& sentence, const LocalCorrectionOptions& options) const {
    std::vector<CorrectionIssue> issues;
    if (tokenizer_) {
        const std::vector<Morpheme> morphemes = tokenizer_->tokenize(sentence.text);
        for (const auto& rule : morphologyRules_) {
            auto found = rule->apply(sentence.text, morphemes, sentence.range, sentence.id);
            if (!options.vocabularyStyleSuggestionsEnabled && rule->isVocabularyRule()) {
                std::erase_if(found, [](const CorrectionIssue& issue) {
                    return issue.severity == CorrectionIssue::Severity::style;
                });
            }
            std::move(found.begin(), found.end(), std::back_inserter(issues));
        }
    }
    for (const auto& rule : rules_) {
        auto found = rule->apply(sentence.text, sentence.range, sentence.id);
        std::move(found.begin(), found.end(), std::back_inserter(issues));
    }
    issues = suppressOverlappedSubspans(std::move(issues));
    std::stable_sort(
        issues.begin(), issues.end(), [](const CorrectionIssue& a, const CorrectionIssue& b) {
            return std::pair(a.range.start, a.range.end) < std::pair(b.range.start, b.range.end);
        });
    return issues;
}

std::vector<CorrectionIssue> LocalCorrectionService::suppressOverlappedSubspans(
    std::vector<CorrectionIssue> issues) {
    if (issues.size() < 2)
        return issues;
    // Longest first, so an issue only ever has to be checked against the
    // kept ones: whatever lies inside a kept issue goes, however deep.
    std::stable_sort(issues.begin(), issues.end(),
                     [](const CorrectionIssue& a, const CorrectionIssue& b) {
                         return a.range.length() > b.range.length();
                     });
    // A kept issue that holds another one without being the same range is
    // longer than it, so the issues of one length are tested only against
    // longer kept ones: does one start at or before this start and end at or
    // after this end? The largest end of the kept issues by start, as a
    // prefix maximum over the starts in order, answers that in log time.
    std::vector<int64_t> starts;
    starts.reserve(issues.size());
    for (const auto& issue : issues)
        starts.push_back(issue.range.start);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    const auto slot = [&](int64_t start) {
        return static_cast<std::size_t>(std::lower_bound(starts.begin(), starts.end(), start) -
                                        starts.begin());
    };
    constexpr int64_t kNone = std::numeric_limits<int64_t>::min();
    std::vector<int64_t> largestEnd(starts.size() + 1, kNone);  // Fenwick tree, 1-based
    const auto largestEndStartingBy = [&](std::size_t i) {
        int64_t best = kNone;
        for (++i; i > 0; i -= i & (~i + 1))
            best = std::max(best, largestEnd[i]);
        return best;
    };
    const auto keep = [&](std::size_t i, int64_t end) {
        for (++i; i < largestEnd.size(); i += i & (~i + 1))
            largestEnd[i] = std::max(largestEnd[i], end);
    };

    std::vector<CorrectionIssue> kept;
    kept.reserve(issues.size());
    for (std::size_t from = 0; from < issues.size();) {
        std::size_t to = from;
        while (to < issues.size() && issues[to].range.length() == issues[from].range.length()) {
            ++to;
        }
        const std::size_t firstOfLength = kept.size();
        for (std::size_t i = from; i < to; ++i) {
            const TextRange& r = issues[i].range;
            if (largestEndStartingBy(slot(r.start)) < r.end)
                kept.push_back(std::move(issues[i]));
        }
        for (std::size_t i = firstOfLength; i < kept.size(); ++i)
            keep(slot(kept[i].range.start), kept[i].range.end);
        from = to;
    }
    return kept;
}

}  // namespace mivo
