#pragma once

// Walks over a sentence's morphemes that the morphology rules share: the
// particles, the noun before one and the word after it, the text of a run.

#include "morphology/morpheme.hpp"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
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

// The nearest noun before `index`, however far back.
inline const Morpheme* nearestNounBefore(const std::vector<Morpheme>& morphemes,
                                         std::size_t index) {
    for (std::size_t k = std::min(index, morphemes.size()); k-- > 0;) {
        if (morphemes[k].partOfSpeech == JapanesePartOfSpeech::noun)
            return &morphemes[k];
    }
    return nullptr;
}

// The surfaces of the morphemes [from, to) one after another.
inline std::string joinedSurfaces(const std::vector<Morpheme>& morphemes, std::size_t from,
                                  std::size_t to) {
    std::string joined;
    for (std::size_t k = from; k < to && k < morphemes.size(); ++k)
        joined += morphemes[k].surface;
    return joined;
}

}  // namespace mivo
