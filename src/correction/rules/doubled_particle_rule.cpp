#include "correction/rules/doubled_particle_rule.hpp"

#include "correction/matching_text.hpp"
#include "correction/morpheme_search.hpp"

#include <algorithm>
#include <array>
#include <optional>

namespace mivo {
namespace {

// The case particles whose doubling is always a typo; の and から are
// left out (のの and からから occur in names and quotes).
constexpr std::array<std::string_view, 8> particles = {"は", "が", "を", "に",
                                                       "へ", "で", "と", "も"};

// The particle as written in the table, or nothing.
std::optional<std::string_view> particleOf(std::string_view character) {
    const auto it = std::find(particles.begin(), particles.end(), character);
    if (it != particles.end())
        return *it;
    // が and で may arrive decomposed (か/て + U+3099); nothing else of the
    // table has another canonical form.
    if (character.size() <= 6 && character.find("\u3099") != std::string_view::npos) {
        const auto composed = text::nfc(character);
        const auto c = std::find(particles.begin(), particles.end(), composed);
        if (c != particles.end())
            return *c;
    }
    return std::nullopt;
}

// A run right at the start, or after nothing but symbols and particles, is
// not a doubled particle of any phrase (a quoted 「にに」, a list marker).
bool hasContentBeforeParticleRun(std::size_t index, const std::vector<Morpheme>& morphemes) {
    for (std::size_t k = index; k-- > 0;) {
        const auto pos = morphemes[k].partOfSpeech;
        if (pos != JapanesePartOfSpeech::particle && pos != JapanesePartOfSpeech::symbol)
            return true;
    }
    return false;
}

IssueFields doubledParticleFields(int64_t start, int64_t end, std::string original,
                                  std::string particle) {
    IssueFields f;
    f.start = start;
    f.end = end;
    f.severity = CorrectionIssue::Severity::critical;
    f.category = CorrectionIssue::Category::particle;
    f.original = std::move(original);
    f.explanationEn = "Particle \"" + particle + "\" is duplicated. Use it only once.";
    f.suggestion = std::move(particle);
    f.confidence = 1.0;
    return f;
}

}  // namespace

std::vector<CorrectionIssue> DoubleParticleRule::apply(std::string_view text,
                                                       const std::vector<Morpheme>& morphemes,
                                                       const TextRange& sentenceRange,
                                                       std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    if (morphemes.size() < 2)
        return issues;
    std::size_t i = 0;
    while (i < morphemes.size()) {
        const Morpheme& m = morphemes[i];
        const auto particle =
            m.partOfSpeech == JapanesePartOfSpeech::particle ? particleOf(m.surface) : std::nullopt;
        if (!particle || !hasContentBeforeParticleRun(i, morphemes)) {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < morphemes.size() &&
               morphemes[j].partOfSpeech == JapanesePartOfSpeech::particle &&
               particleOf(morphemes[j].surface) == particle) {
            ++j;
        }
        if (j - i >= 2) {
            const int64_t start = m.range.start;
            const int64_t end = morphemes[j - 1].range.end;
            // A blank between the particles (を を) goes with the run: the
            // particle once is still the fix.
            if (auto original = writtenText(text, start, end)) {
                issues.push_back(makeIssue(
                    doubledParticleFields(start, end, std::move(*original), std::string(*particle)),
                    sentenceRange, sentenceId));
            }
        }
        i = j;
    }
    return issues;
}

std::vector<CorrectionIssue> DoubleParticleRule::apply(std::string_view text,
                                                       const TextRange& sentenceRange,
                                                       std::string_view sentenceId) const {
    std::vector<CorrectionIssue> issues;
    const auto charsHeld = MatchingText::of(text);
    const MatchingText& chars = *charsHeld;
    const int64_t count = chars.count();
    int64_t i = 0;
    while (i < count) {
        const std::string_view c = chars.character(i);
        if (!particleOf(c)) {
            ++i;
            continue;
        }
        int64_t j = i + 1;
        while (j < count && chars.character(j) == c)
            ++j;
        if (j - i >= 2) {
            issues.push_back(
                makeIssue(doubledParticleFields(i, j, chars.slice(i, j), std::string(c)),
                          sentenceRange, sentenceId));
        }
        i = j;
    }
    return issues;
}

}  // namespace mivo
