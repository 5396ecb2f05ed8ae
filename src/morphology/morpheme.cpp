#include "morphology/morpheme.hpp"

#include <array>

namespace mivo {
namespace {
constexpr std::array<std::string_view, 10> kNames{
    "adjective", "adverb", "auxiliaryVerb", "interjection", "noun",
    "particle",  "prefix", "symbol",        "verb",         "unknown"};
}

std::string_view rawValue(JapanesePartOfSpeech v) {
    return kNames[static_cast<std::size_t>(v)];
}

std::optional<JapanesePartOfSpeech> partOfSpeechFromRaw(std::string_view raw) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == raw)
            return static_cast<JapanesePartOfSpeech>(i);
    }
    return std::nullopt;
}

}  // namespace mivo
