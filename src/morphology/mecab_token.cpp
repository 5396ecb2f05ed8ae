#include "morphology/mecab_token.hpp"

#include <cstring>

namespace mivo {
namespace {

std::string_view column(const std::vector<std::string_view>& features, int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < features.size())
        return features[static_cast<std::size_t>(index)];
    return {};
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
// Every feature text of every node passes here, so it is kept to a byte loop.
bool isUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        std::size_t n;
        unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            if (c == 0xE0)
                lo = 0xA0;
            else if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) <= n || p[1] < lo || p[1] > hi)
            return false;
        for (std::size_t k = 2; k <= n; ++k) {
            if ((p[k] & 0xC0) != 0x80)
                return false;
        }
        p += n + 1;
    }
    return true;
}

}  // namespace

std::optional<Token> Token::make(const char* surface, std::size_t length, const char* feature,
                                 uint16_t posID, const DictionaryProviding& dictionary) {
    Token token;
    if (!token.assign(surface, length, feature, posID, dictionary))
        return std::nullopt;
    return token;
}

bool Token::splitFeature(std::string_view feature, std::vector<std::string_view>& columns) {
    columns.clear();
    if (!isUtf8(feature))
        return false;
    std::size_t from = 0;
    while (from <= feature.size()) {
        std::size_t comma = feature.find(',', from);
        if (comma == std::string_view::npos)
            comma = feature.size();
        if (comma > from)
            columns.push_back(feature.substr(from, comma - from));
        from = comma + 1;
    }
    return !columns.empty();
}

bool Token::assign(const char* surface, std::size_t length, const char* feature, uint16_t posID,
                   const DictionaryProviding& dictionary) {
    features.clear();
    if (surface == nullptr || feature == nullptr)
        return false;
    if (!splitFeature(std::string_view(feature, std::strlen(feature)), features))
        return false;
    return assignWord(surface, length,
                      WordColumns{column(features, dictionary.readingIndex()),
                                  column(features, dictionary.dictionaryFormIndex())},
                      posID, dictionary);
}

std::optional<WordColumns> Token::wordColumns(std::string_view feature,
                                              const TokenIndexProviding& dictionary) {
    if (!isUtf8(feature))
        return std::nullopt;
    const int readingIndex = dictionary.readingIndex();
    const int formIndex = dictionary.dictionaryFormIndex();
    WordColumns word;
    int index = 0;
    std::size_t from = 0;
    while (from <= feature.size()) {
        std::size_t comma = feature.find(',', from);
        if (comma == std::string_view::npos)
            comma = feature.size();
        if (comma > from) {
            const std::string_view piece = feature.substr(from, comma - from);
            if (index == readingIndex)
                word.reading = piece;
            if (index == formIndex)
                word.dictionaryForm = piece;
            ++index;
        }
        from = comma + 1;
    }
    if (index == 0)
        return std::nullopt;
    return word;
}

bool Token::assignWord(const char* surface, std::size_t length, const WordColumns& word,
                       uint16_t posID, const DictionaryProviding& dictionary) {
    if (surface == nullptr)
        return false;
    this->surface = std::string_view(surface, length);
    if (!isUtf8(this->surface))
        return false;
    columns = word;
    partOfSpeech = dictionary.partOfSpeech(posID);
    tokenDescription = &dictionary;
    return true;
}

std::string_view Token::reading() const {
    return columns.reading.data() != nullptr ? columns.reading : surface;
}

std::string_view Token::dictionaryForm() const {
    return columns.dictionaryForm.data() != nullptr ? columns.dictionaryForm : surface;
}

}  // namespace mivo
