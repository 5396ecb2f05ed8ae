#pragma once

// One MeCab node as the tokenizer reads it: its surface and its feature
// columns, both viewing MeCab's own memory (valid until the tagger's next
// analysis).

#include "morphology/dictionary.hpp"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace mivo {

struct Token {
    std::string_view surface;
    // The feature text split at "," with empty pieces dropped.
    std::vector<std::string_view> features;
    Dictionary::PartOfSpeech partOfSpeech = Dictionary::PartOfSpeech::unknown;
    const TokenIndexProviding* tokenDescription = nullptr;

    // Nothing without a surface pointer, for bytes that are not UTF-8, or
    // for a feature text that is absent, not UTF-8 or has no pieces.
    static std::optional<Token> make(const char* surface, std::size_t length, const char* feature,
                                     uint16_t posID, const DictionaryProviding& dictionary);
    // The same into this token, keeping the storage of its feature list (one
    // token serves a whole node list); false where make() gives nothing.
    bool assign(const char* surface, std::size_t length, const char* feature, uint16_t posID,
                const DictionaryProviding& dictionary);

    // The same with the feature text already split (by splitFeature()):
    // only the surface is checked.
    bool assignSplit(const char* surface, std::size_t length,
                     const std::vector<std::string_view>& featureColumns, uint16_t posID,
                     const DictionaryProviding& dictionary);
    // A feature text split at "," with empty pieces dropped; nothing when it
    // is not UTF-8 or has no pieces.
    static bool splitFeature(std::string_view feature, std::vector<std::string_view>& columns);

    // The dictionary's column when the node has it, else the surface.
    std::string_view reading() const;
    std::string_view dictionaryForm() const;
};

}  // namespace mivo
