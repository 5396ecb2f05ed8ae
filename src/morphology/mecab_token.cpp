#include "morphology/mecab_token.hpp"

#include <cstring>

namespace mivo {
namespace {

std::string_view column(const Token& token, int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < token.features.size())
        return token.features[static_cast<std::size_t>(index)];
    return token.surface;
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
    return assignSplit(surface, length, features, posID, dictionary);
}

bool Token::assignSplit(const char* surface, std::size_t length,
                        const std::vector<std::string_view>& featureColumns, uint16_t posID,
                        const DictionaryProviding& dictionary) {
    if (surface == nullptr || featureColumns.empty())
        return false;
    this->surface = std::string_view(surface, length);
    if (!isUtf8(this->surface))
        return false;
    if (&featureColumns != &features)
        features = featureColumns;
    partOfSpeech = dictionary.partOfSpeech(posID);
    tokenDescription = &dictionary;
    return true;
}

std::string_view Token::reading() const {
    return column(*this, tokenDescription ? tokenDescription->readingIndex() : -1);
}

std::string_view Token::dictionaryForm() const {
    return column(*this, tokenDescription ? tokenDescription->dictionaryFormIndex() : -1);
}

}  // namespace mivo
