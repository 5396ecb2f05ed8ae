#pragma once

// Walks over a sentence's morphemes that the morphology rules share: the
// particles, the noun before one and the word after it, the text of a run.

#include "correction/matching_text.hpp"
#include "morphology/morpheme.hpp"
#include "shared/text.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

// Calls `visit(index)` for each particle with a morpheme before it, in a
// sentence of three morphemes or more: a noun, the particle and the word
// after it are the fewest the particle rules read.
template <typename Visit>
void forEachParticleAfterAWord(const std::vector<Morpheme>& morphemes, Visit visit) {
    if (morphemes.size() < 3)
        return;
    for (std::size_t i = 1; i < morphemes.size(); ++i) {
        if (morphemes[i].partOfSpeech == JapanesePartOfSpeech::particle)
            visit(i);
    }
}

// The first morpheme after `index`, at most `window` places on, whose part
// of speech is one of `kinds`.
inline std::optional<std::size_t> nextOfKind(const std::vector<Morpheme>& morphemes,
                                             std::size_t index, std::size_t window,
                                             std::initializer_list<JapanesePartOfSpeech> kinds) {
    for (std::size_t k = index + 1; k <= index + window && k < morphemes.size(); ++k) {
        for (JapanesePartOfSpeech kind : kinds) {
            if (morphemes[k].partOfSpeech == kind)
                return k;
        }
    }
    return std::nullopt;
}

// The predicate a particle's phrase goes with: the first verb, or noun (a
// verbal noun such as 勉強 before する), at most `window` places after the
// particle at `index`.
inline std::optional<std::size_t> predicateAfter(const std::vector<Morpheme>& morphemes,
                                                 std::size_t index, std::size_t window) {
    return nextOfKind(morphemes, index, window,
                      {JapanesePartOfSpeech::verb, JapanesePartOfSpeech::noun});
}

// The nearest noun before `index`, however far back.
inline const Morpheme* nearestNounBefore(const std::vector<Morpheme>& morphemes,
                                         std::size_t index) {
    for (std::size_t k = std::min(index, morphemes.size()); k-- > 0;) {
        if (morphemes[k].partOfSpeech == JapanesePartOfSpeech::noun)
            return &morphemes[k];
    }
    return nullptr;
}

// Whether `suggestion` ends in the same Character as the `original` it
// replaces (わかりました → 承知しました): then it inflects like the word, and
// what followed the word follows it as well.
inline bool endsAlike(std::string_view original, std::string_view suggestion) {
    return text::canonicallyEqual(text::characterSuffix(original, 1),
                                  text::characterSuffix(suggestion, 1));
}

// Whether a suggestion that brings its own ending (よろしく → よろしくお願いいたします)
// fits where Characters [.., end) stop: after them come at most particles
// (ね, よ) before a symbol or the end of the sentence. A word that goes on
// there would dangle after the new ending (ありがとう|ございました, よろしく|頼む,
// ちょっと待って|から行く), and so would the rest of a word the range cuts.
inline bool endsItsPhrase(const std::vector<Morpheme>& morphemes, int64_t end) {
    // Morphemes come in text order: the first that ends past `end` is found
    // by halving, and the walk from there stops at the first word that is
    // not a particle, so a long sentence costs no more per hit than a short.
    auto m = std::partition_point(morphemes.begin(), morphemes.end(),
                                  [end](const Morpheme& x) { return x.range.end <= end; });
    if (m != morphemes.end() && m->range.start < end)
        return false;
    for (; m != morphemes.end(); ++m) {
        if (m->partOfSpeech != JapanesePartOfSpeech::particle)
            return m->partOfSpeech == JapanesePartOfSpeech::symbol;
    }
    return true;
}

// The Characters [start, end) of the sentence exactly as the user wrote
// them: what an issue over morphemes quotes. Never the joined surfaces: the
// analyser drops blanks between morphemes (行くで は) and sees the text in
// NFC. Nothing when the range leaves the text, that is when the morphemes
// are not those of this text.
inline std::optional<std::string> writtenText(std::string_view text, int64_t start, int64_t end) {
    const auto characters = MatchingText::of(text);
    if (start < 0 || end < start || end > characters->count())
        return std::nullopt;
    return characters->slice(start, end);
}

}  // namespace mivo
