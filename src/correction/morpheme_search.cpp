#include "correction/morpheme_search.hpp"

#include <algorithm>

namespace mivo {

std::optional<std::size_t> nextOfKind(const std::vector<Morpheme>& morphemes, std::size_t index,
                                      std::size_t window,
                                      std::initializer_list<JapanesePartOfSpeech> kinds) {
    for (std::size_t k = index + 1; k <= index + window && k < morphemes.size(); ++k) {
        if (std::find(kinds.begin(), kinds.end(), morphemes[k].partOfSpeech) != kinds.end())
            return k;
    }
    return std::nullopt;
}

const Morpheme* nearestNounBefore(const std::vector<Morpheme>& morphemes, std::size_t index) {
    for (std::size_t k = std::min(index, morphemes.size()); k-- > 0;) {
        if (morphemes[k].partOfSpeech == JapanesePartOfSpeech::noun)
            return &morphemes[k];
    }
    return nullptr;
}

std::string joinedSurfaces(const std::vector<Morpheme>& morphemes, std::size_t from,
                           std::size_t to) {
    std::string joined;
    for (std::size_t k = from; k < to && k < morphemes.size(); ++k)
        joined += morphemes[k].surface;
    return joined;
}

}  // namespace mivo
