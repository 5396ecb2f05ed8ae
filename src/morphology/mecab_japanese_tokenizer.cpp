#include "morphology/mecab_japanese_tokenizer.hpp"

#include "morphology/ipadic.hpp"
#include "shared/text.hpp"

#include <array>

namespace mivo {

JapanesePartOfSpeech japanesePartOfSpeech(Dictionary::PartOfSpeech partOfSpeech) {
    // Matched by name; computed once per class, not once per morpheme.
    static const auto table = [] {
        constexpr std::size_t n = static_cast<std::size_t>(Dictionary::PartOfSpeech::unknown) + 1;
        std::array<JapanesePartOfSpeech, n> t{};
        for (std::size_t i = 0; i < n; ++i) {
            t[i] = partOfSpeechFromRaw(
                       Dictionary::description(static_cast<Dictionary::PartOfSpeech>(i)))
                       .value_or(JapanesePartOfSpeech::unknown);
        }
        return t;
    }();
    return table[static_cast<std::size_t>(partOfSpeech)];
}

std::expected<std::unique_ptr<MecabJapaneseTokenizer>, TokenizerError>
MecabJapaneseTokenizer::create(std::unique_ptr<DictionaryProviding> dictionary) {
    auto tokenizer = Tokenizer::create(std::move(dictionary));
    if (!tokenizer)
        return std::unexpected(std::move(tokenizer.error()));
    return std::unique_ptr<MecabJapaneseTokenizer>(
        new MecabJapaneseTokenizer(std::move(*tokenizer)));
}

std::expected<std::unique_ptr<MecabJapaneseTokenizer>, TokenizerError>
MecabJapaneseTokenizer::create() {
    auto dictionary = SealedIPADic::locate();
    if (!dictionary)
        return std::unexpected(std::move(dictionary.error()));
    return create(std::make_unique<SealedIPADic>(std::move(*dictionary)));
}

MecabJapaneseTokenizer* MecabJapaneseTokenizer::shared() {
    static const std::unique_ptr<MecabJapaneseTokenizer> instance =
        []() -> std::unique_ptr<MecabJapaneseTokenizer> {
        // Whatever goes wrong, the engine goes on without morphology; the
        // attempt is not repeated.
        try {
            auto made = create();
            return made ? std::move(*made) : nullptr;
        } catch (...) {
            return nullptr;
        }
    }();
    return instance.get();
}

std::vector<Morpheme> MecabJapaneseTokenizer::tokenize(std::string_view text) const {
    std::vector<Morpheme> out;
    if (text.empty())
        return out;
    const text::CharacterText characters{std::string(text)};
    auto annotations = tokenizer_->tokenize(characters, Tokenizer::Transliteration::katakana);
    out.reserve(annotations.size());
    for (auto& a : annotations) {
        // Annotation ranges lie on Character boundaries of this very text.
        const int64_t start = characters.characterIndex(a.range.start).value_or(0);
        const int64_t end = characters.characterIndex(a.range.end).value_or(start);
        out.push_back(Morpheme{std::move(a.base), std::move(a.dictionaryForm), std::move(a.reading),
                               japanesePartOfSpeech(a.partOfSpeech), TextRange{start, end}});
    }
    return out;
}

}  // namespace mivo
