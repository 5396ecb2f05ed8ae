#pragma once

// What the correction engine sees of morphological analysis: morphemes with
// Character ranges, and the one tokenizer interface.

#include "shared/records.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

enum class JapanesePartOfSpeech {
    adjective,
    adverb,
    auxiliaryVerb,
    interjection,
    noun,
    particle,
    prefix,
    symbol,
    verb,
    unknown,
};

std::string_view rawValue(JapanesePartOfSpeech v);
// Exact, case-sensitive; nothing for any other string.
std::optional<JapanesePartOfSpeech> partOfSpeechFromRaw(std::string_view raw);

struct Morpheme {
    std::string surface;  // NFC form of the text MeCab saw
    std::string lemma;    // dictionary form
    std::string reading;  // katakana
    JapanesePartOfSpeech partOfSpeech = JapanesePartOfSpeech::unknown;
    TextRange range;  // Characters of the tokenised text

    bool operator==(const Morpheme&) const = default;
};

class JapaneseTokenizer {
  public:
    virtual ~JapaneseTokenizer() = default;
    // Morphemes in text order; gaps are allowed (white space, dropped words).
    virtual std::vector<Morpheme> tokenize(std::string_view text) const = 0;
};

}  // namespace mivo
