#include "correction/rules/particle_misuse_rule.hpp"

#include "correction/morpheme_search.hpp"
#include "correction/pack_decoding.hpp"
#include "shared/json.hpp"

namespace mivo {
namespace {

// The predicate is looked for this far after the particle.
constexpr std::size_t kPredicateWindow = 3;

// The noun right before the particle, past brackets and other symbols
// (「会社」を行く); a particle in between (会社だけを行く) hides it.
const Morpheme* nounBefore(std::size_t index, const std::vector<Morpheme>& morphemes) {
    for (std::size_t k = index; k-- > 0;) {
        const Morpheme& m = morphemes[k];
        if (m.partOfSpeech == JapanesePartOfSpeech::symbol)
            continue;
        return m.partOfSpeech == JapanesePartOfSpeech::noun ? &m : nullptr;
    }
    return nullptr;
}

// Whether the verb at `index` is the predicate the particle belongs to: a
// verb's stem right before a noun is part of a word (行き|先, 戻り|値) or
// modifies it.
bool standsAsPredicate(std::size_t index, const std::vector<Morpheme>& morphemes) {
    const Morpheme& verb = morphemes[index];
    if (verb.partOfSpeech != JapanesePartOfSpeech::verb)
        return true;
    if (index + 1 < morphemes.size()) {
        const Morpheme& next = morphemes[index + 1];
        if (next.partOfSpeech == JapanesePartOfSpeech::noun && next.range.start == verb.range.end &&
            !canonicallyEqualsKey(verb.surface, canonicalKey(verb.lemma))) {
            return false;
        }
    }
    return true;
}

ParticleFrame particleFrameFromJson(const json::Json& j) {
    ParticleFrame frame;
    frame.lemma = json::requireString(j, "lemma");
    frame.ruleClass = json::requireString(j, "ruleClass");
    frame.semanticGuard = packs::optionalString(j, "semanticGuard");
    frame.particleSuggestions = packs::requireStringMap(j, "particleSuggestions");
    frame.severity = packs::requireSeverity(j);
    frame.confidence = json::requireNumber(j, "confidence");
    frame.explanationEn = packs::optionalString(j, "explanationEn");
    return frame;
}

}  // namespace

ParticleFrameRulePack particleFrameRulePackFromJson(const json::Json& j) {
    json::requireObject(j, "particle-frames");
    return ParticleFrameRulePack{packs::requireArrayOf(j, "frames", particleFrameFromJson)};
}

const ParticleFrameRulePack& ParticleMisuseRule::fallbackRulePack() {
    static const ParticleFrameRulePack pack = [] {
        ParticleFrameRulePack p;
        for (const char* lemma : {"行く", "来る", "戻る", "帰る", "向かう"}) {
            // One goes back along a list, a page or a history (履歴を戻る)
            // as much as to a place: back only to a known destination.
            const bool back =
                std::string_view(lemma) == "戻る" || std::string_view(lemma) == "帰る";
            p.frames.push_back(ParticleFrame{.lemma = lemma,
                                             .ruleClass = "motion-destination",
                                             .semanticGuard = back ? "destination" : "not-path",
                                             .particleSuggestions = {{"を", "に"}},
                                             .severity = CorrectionIssue::Severity::critical,
                                             .confidence = 0.88,
                                             .explanationEn = std::nullopt});
        }
        return p;
    }();
    return pack;
}

ParticleMisuseRule::ParticleMisuseRule(const ParticleFrameRulePack& rulePack)
    : ParticleMisuseRule(NounSemanticClassifier::loadDefault(), rulePack) {}

ParticleMisuseRule::ParticleMisuseRule(NounSemanticClassifier nounClassifier,
                                       const ParticleFrameRulePack& rulePack)
    : nounClassifier_(std::move(nounClassifier)) {
    for (const ParticleFrame& f : rulePack.frames) {
        Frame frame;
        if (!f.semanticGuard)
            frame.guard = Guard::none;
        else if (*f.semanticGuard == "not-path")
            frame.guard = Guard::notPath;
        else if (*f.semanticGuard == "destination")
            frame.guard = Guard::destination;
        else if (*f.semanticGuard == "path")
            frame.guard = Guard::path;
        else
            frame.guard = Guard::unrecognised;
        for (const auto& [wrong, suggested] : f.particleSuggestions)
            frame.particleSuggestions.insert(wrong, suggested);
        frame.ruleClass = f.ruleClass;
        frame.severity = f.severity;
        frame.confidence = f.confidence;
        frame.explanationEn = f.explanationEn;
        // Of two frames for one lemma, the first in the pack is kept.
        framesByLemma_.insert(f.lemma, std::move(frame));
    }
}

bool ParticleMisuseRule::admits(Guard guard, const Morpheme& noun) const {
    switch (guard) {
        case Guard::none:
            return true;
        case Guard::notPath:
            return nounClassifier_.semanticClass(noun) != NounSemanticClass::path;
        case Guard::destination:
            return nounClassifier_.semanticClass(noun) == NounSemanticClass::destination;
        case Guard::path:
            return nounClassifier_.semanticClass(noun) == NounSemanticClass::path;
        case Guard::unrecognised:
            return false;
    }
    return false;
}

std::vector<CorrectionIssue> ParticleMisuseRule::apply(std::string_view text,
                                                       const std::vector<Morpheme>& morphemes,
                                                       const TextRange& sentenceRange,
                                                       std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    forEachParticleAfterAWord(morphemes, [&](std::size_t i) {
        const Morpheme& particle = morphemes[i];
        const Morpheme* noun = nounBefore(i, morphemes);
        if (noun == nullptr)
            return;
        const auto predicateIndex = predicateAfter(morphemes, i, kPredicateWindow);
        if (!predicateIndex || !standsAsPredicate(*predicateIndex, morphemes))
            return;
        const Morpheme* predicate = &morphemes[*predicateIndex];
        const Frame* frame = framesByLemma_.find(predicate->lemma);
        if (frame == nullptr || !admits(frame->guard, *noun))
            return;
        // 行っ is as much 行う's (読み出しを行った, "performed") as 行く's, and
        // the written form cannot tell them apart: only a place one goes to
        // makes it 行く.
        if (canonicallyEqualsKey(predicate->surface, "行っ") &&
            nounClassifier_.semanticClass(*noun) != NounSemanticClass::destination) {
            return;
        }
        const std::string* suggestion = frame->particleSuggestions.find(particle.surface);
        if (suggestion == nullptr ||
            canonicallyEqualsKey(particle.surface, canonicalKey(*suggestion)))
            return;
        auto original = writtenText(text, particle.range.start, particle.range.end);
        if (!original)
            return;
        issues.push_back(
            makeIssue(IssueFields{.start = particle.range.start,
                                  .end = particle.range.end,
                                  .severity = frame->severity,
                                  .category = CorrectionIssue::Category::particle,
                                  .original = std::move(*original),
                                  .suggestion = *suggestion,
                                  .explanationEn = frame->explanationEn.value_or(
                                      "Use \"" + *suggestion + "\" for " + frame->ruleClass +
                                      " before \"" + predicate->lemma + "\"."),
                                  .confidence = frame->confidence},
                      sentenceRange, sentenceId));
    });
    return issues;
}

}  // namespace mivo
