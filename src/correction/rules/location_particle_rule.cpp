#include "correction/rules/location_particle_rule.hpp"

#include "correction/morpheme_search.hpp"
#include "correction/pack_decoding.hpp"
#include "shared/json.hpp"

namespace mivo {
namespace {

// The predicate is looked for this far after the particle.
constexpr std::size_t kPredicateWindow = 5;

// Literals in this file are typed precomposed, so they are NFC keys.
constexpr std::string_view kDe = "で";
constexpr std::string_view kNi = "に";

}  // namespace

LocationParticleRulePack locationParticleRulePackFromJson(const json::Json& j) {
    json::requireObject(j, "location-verb-classes");
    LocationParticleRulePack pack;
    pack.locationNouns = packs::requireStringSet(j, "locationNouns");
    pack.existenceVerbs = packs::requireStringSet(j, "existenceVerbs");
    pack.unguardedExistenceVerbs = packs::optionalStringSet(j, "unguardedExistenceVerbs");
    pack.actionVerbs = packs::requireStringSet(j, "actionVerbs");
    return pack;
}

const LocationParticleRulePack& LocationParticleRule::fallbackRulePack() {
    static const LocationParticleRulePack pack{
        .locationNouns = {"東京", "大阪", "京都", "日本", "会社", "学校", "大学", "オフィス", "家",
                          "店", "会場", "駅", "空港", "病院", "部屋", "教室"},
        .existenceVerbs = {"いる", "ある", "住む", "滞在"},
        .unguardedExistenceVerbs = std::set<std::string>{"住む"},
        .actionVerbs = {"働く", "勉強", "作業", "会議", "食べる", "飲む", "読む", "書く"},
    };
    return pack;
}

LocationParticleRule::LocationParticleRule(const LocationParticleRulePack& rulePack)
    : locationNouns_(rulePack.locationNouns),
      existenceVerbs_(rulePack.existenceVerbs),
      actionVerbs_(rulePack.actionVerbs) {
    if (rulePack.unguardedExistenceVerbs)
        unguardedExistenceVerbs_ = CanonicalStringSet(*rulePack.unguardedExistenceVerbs);
}

std::vector<CorrectionIssue> LocationParticleRule::apply(std::string_view text,
                                                         const std::vector<Morpheme>& morphemes,
                                                         const TextRange& sentenceRange,
                                                         std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    forEachParticleAfterAWord(morphemes, [&](std::size_t i) {
        const Morpheme& particle = morphemes[i];
        const bool isDe = canonicallyEqualsKey(particle.surface, kDe);
        if (!isDe && !canonicallyEqualsKey(particle.surface, kNi))
            return;
        // Right after a verb it is the て-form's で (住んでいる) or the に of
        // purpose (食べに行く), never a place marker: swapping it would
        // leave 住んにいる.
        if (morphemes[i - 1].partOfSpeech == JapanesePartOfSpeech::verb)
            return;
        const Morpheme* noun = nearestNounBefore(morphemes, i);
        if (noun == nullptr)
            return;
        const auto predicateIndex = predicateAfter(morphemes, i, kPredicateWindow);
        if (!predicateIndex)
            return;
        const Morpheme* predicate = &morphemes[*predicateIndex];
        const bool atPlace =
            locationNouns_.contains(noun->surface) || locationNouns_.contains(noun->lemma);

        std::string suggestion;
        std::string explanation;
        if (isDe) {
            // Existence wants に after a place; 住む wants it after any noun.
            if (!existenceVerbs_.contains(predicate->lemma))
                return;
            if (!atPlace && !unguardedExistenceVerbs_.contains(predicate->lemma))
                return;
            suggestion = "に";
            explanation =
                "Use \"に\" for existence or state verbs such as \"" + predicate->lemma + "\".";
        } else {
            if (!atPlace || !actionVerbs_.contains(predicate->lemma))
                return;
            suggestion = "で";
            explanation = "Use \"で\" for the location where an action such as \"" +
                          predicate->lemma + "\" happens.";
        }
        auto original = writtenText(text, particle.range.start, particle.range.end);
        if (!original)
            return;
        const IssueFields f{.start = particle.range.start,
                            .end = particle.range.end,
                            .severity = CorrectionIssue::Severity::critical,
                            .category = CorrectionIssue::Category::particle,
                            .original = std::move(*original),
                            .suggestion = std::move(suggestion),
                            .explanationEn = std::move(explanation),
                            .confidence = 0.84};
        issues.push_back(makeIssue(f, sentenceRange, sentenceId));
    });
    return issues;
}

}  // namespace mivo
