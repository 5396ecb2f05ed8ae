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
