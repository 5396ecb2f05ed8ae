#include "morphology/mecab_token.hpp"

#include "shared/text.hpp"

#include <cstring>

namespace mivo {
namespace {

std::string_view column(const Token& token, int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < token.features.size())
        return token.features[static_cast<std::size_t>(index)];
    return token.surface;
}

}  // namespace

std::optional<Token> Token::make(const char* surface, std::size_t length, const char* feature,
                                 uint16_t posID, const DictionaryProviding& dictionary) {
    if (surface == nullptr || feature == nullptr)
        return std::nullopt;
    Token token;
    token.surface = std::string_view(surface, length);
    const std::string_view featureText(feature, std::strlen(feature));
    if (!text::isValidUtf8(token.surface) || !text::isValidUtf8(featureText))
        return std::nullopt;
    token.features.reserve(10);
    std::size_t from = 0;
    while (from <= featureText.size()) {
        std::size_t comma = featureText.find(',', from);
        if (comma == std::string_view::npos)
            comma = featureText.size();
        if (comma > from)
            token.features.push_back(featureText.substr(from, comma - from));
        from = comma + 1;
    }
    if (token.features.empty())
        return std::nullopt;
    token.partOfSpeech = dictionary.partOfSpeech(posID);
    token.tokenDescription = &dictionary;
    return token;
}

std::string_view Token::reading() const {
    return column(*this, tokenDescription ? tokenDescription->readingIndex() : -1);
}

std::string_view Token::dictionaryForm() const {
    return column(*this, tokenDescription ? tokenDescription->dictionaryFormIndex() : -1);
}

}  // namespace mivo
