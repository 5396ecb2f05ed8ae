#pragma once

// The correction engine's tokenizer: MeCab over the sealed IPA dictionary,
// with katakana readings and Character ranges.

#include "morphology/dictionary.hpp"
#include "morphology/mecab_tokenizer.hpp"
#include "morphology/morpheme.hpp"
#include "morphology/tokenizer_error.hpp"

#include <expected>
#include <memory>

namespace mivo {

class MecabJapaneseTokenizer : public JapaneseTokenizer {
  public:
    // Over SealedIPADic; fails when the dictionary is missing or MeCab
    // cannot open it.
    static std::expected<std::unique_ptr<MecabJapaneseTokenizer>, TokenizerError> create();
    // Over a given dictionary description.
    static std::expected<std::unique_ptr<MecabJapaneseTokenizer>, TokenizerError> create(
        std::unique_ptr<DictionaryProviding> dictionary);

    // The process-wide tokenizer, built on the first call (thread-safe) and
    // kept for the life of the process; nullptr when building it failed, and
    // it is not tried again. The engine then runs without morphology.
    static MecabJapaneseTokenizer* shared();

    std::vector<Morpheme> tokenize(std::string_view text) const override;

    const Tokenizer& tokenizer() const { return *tokenizer_; }

  private:
    explicit MecabJapaneseTokenizer(std::unique_ptr<Tokenizer> tokenizer)
        : tokenizer_(std::move(tokenizer)) {}

    std::unique_ptr<Tokenizer> tokenizer_;
};

// By case name; anything the engine has no name for is unknown.
JapanesePartOfSpeech japanesePartOfSpeech(Dictionary::PartOfSpeech partOfSpeech);

}  // namespace mivo
