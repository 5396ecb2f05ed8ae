#pragma once

// Looking around a particle in a sentence's morphemes, for the rules that
// read the words a particle joins: the noun before it, the predicate after.

#include "morphology/morpheme.hpp"

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
std::optional<std::size_t> nextOfKind(const std::vector<Morpheme>& morphemes, std::size_t index,
                                      std::size_t window,
                                      std::initializer_list<JapanesePartOfSpeech> kinds);

// The nearest noun before `index`, however far back.
const Morpheme* nearestNounBefore(const std::vector<Morpheme>& morphemes, std::size_t index);

// The surfaces of the morphemes [from, to) one after another.
std::string joinedSurfaces(const std::vector<Morpheme>& morphemes, std::size_t from,
                           std::size_t to);

}  // namespace mivo
