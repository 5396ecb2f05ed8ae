#pragma once

// Classifying kana and kanji, and moving readings between katakana, hiragana
// and Latin letters. A Character is classified by its first scalar.

#include "shared/records.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace mivo {

struct ScalarRange {
    char32_t first;
    char32_t last;
    constexpr bool contains(char32_t c) const { return c >= first && c <= last; }
};

namespace CharacterSet {
inline constexpr ScalarRange kanji{0x4E00, 0x9FBF};
inline constexpr ScalarRange hiragana{0x3040, 0x309F};
inline constexpr ScalarRange katakana{0x30A0, 0x30FF};
}  // namespace CharacterSet

// Which Japanese scripts a text uses. noJapaneseScript is where every result
// starts, so it is always contained.
struct ScriptType {
    int rawValue = 0;

    static const ScriptType noJapaneseScript;
    static const ScriptType hiragana;
    static const ScriptType katakana;
    static const ScriptType kanji;

    constexpr bool contains(ScriptType o) const { return (rawValue & o.rawValue) == o.rawValue; }
    constexpr ScriptType operator|(ScriptType o) const { return {rawValue | o.rawValue}; }
    constexpr bool operator==(const ScriptType&) const = default;
};
inline constexpr ScriptType ScriptType::noJapaneseScript{1};
inline constexpr ScriptType ScriptType::hiragana{2};
inline constexpr ScriptType ScriptType::katakana{4};
inline constexpr ScriptType ScriptType::kanji{8};

enum class RomanizationMethod { waPro = 0, hepburn = 1 };

ScriptType japaneseScriptType(std::string_view s);
bool containsKanjiCharacters(std::string_view s);
// Characters holding a kanji, each once, in order of first appearance.
std::vector<std::string> kanjiCharacters(std::string_view s);
// Maximal runs of hiragana Characters, each at its own place, in order.
std::vector<TextRange> hiraganaRanges(std::string_view s);

// Katakana letters turned into hiragana; the prolonged sound mark "ー",
// the middle dot and half-width forms stay as they are.
std::string hiraganaString(std::string_view s);
// Hiragana, else katakana, in Latin letters (a text with both scripts has
// only its hiragana romanised); Hepburn then writes long vowels with macrons.
std::string romanizedString(std::string_view s, RomanizationMethod method);

// The elements in order, each kept at its first occurrence only.
template <typename T>
std::vector<T> uniqueElements(const std::vector<T>& elements) {
    std::vector<T> out;
    std::unordered_set<T> seen;
    for (const auto& e : elements) {
        if (seen.insert(e).second)
            out.push_back(e);
    }
    return out;
}

}  // namespace mivo
