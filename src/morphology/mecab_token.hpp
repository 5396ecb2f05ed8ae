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

// What a word takes of a feature text: the columns its dictionary names
// for the reading and the dictionary form. A column the text does not
// have is a view without data, and the surface stands in for it.
struct WordColumns {
    std::string_view reading;
    std::string_view dictionaryForm;
};

struct Token {
    std::string_view surface;
    // The feature text split at "," with empty pieces dropped.
    std::vector<std::string_view> features;
    Dictionary::PartOfSpeech partOfSpeech = Dictionary::PartOfSpeech::unknown;
    const TokenIndexProviding* tokenDescription = nullptr;
    // The reading and dictionary form columns of `features`.
    WordColumns columns;

    // Nothing without a surface pointer, for bytes that are not UTF-8, or
    // for a feature text that is absent, not UTF-8 or has no pieces.
    static std::optional<Token> make(const char* surface, std::size_t length, const char* feature,
                                     uint16_t posID, const DictionaryProviding& dictionary);
    // The same into this token, keeping the storage of its feature list (one
    // token serves a whole node list); false where make() gives nothing.
    bool assign(const char* surface, std::size_t length, const char* feature, uint16_t posID,
                const DictionaryProviding& dictionary);

    // The same with the word's columns of the feature text already taken
    // (by wordColumns()): only the surface is checked, and `features` is
    // left as it was.
    bool assignWord(const char* surface, std::size_t length, const WordColumns& word,
                    uint16_t posID, const DictionaryProviding& dictionary);
    // A feature text split at "," with empty pieces dropped; nothing when it
    // is not UTF-8 or has no pieces.
    static bool splitFeature(std::string_view feature, std::vector<std::string_view>& columns);
    // The word's columns of a feature text split so; nothing where
    // splitFeature() gives nothing.
    static std::optional<WordColumns> wordColumns(std::string_view feature,
                                                  const TokenIndexProviding& dictionary);

    // The dictionary's column when the node has it, else the surface.
    std::string_view reading() const;
    std::string_view dictionaryForm() const;
};

}  // namespace mivo
