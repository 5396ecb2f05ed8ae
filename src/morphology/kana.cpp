#include "morphology/kana.hpp"

#include "shared/text.hpp"

#include <array>
#include <utility>

namespace mivo {
namespace {

char32_t firstScalar(std::string_view character) {
    std::size_t i = 0;
    return text::decodeNext(character, i);
}

void replaceAll(std::string& s, std::string_view find, std::string_view with) {
    std::size_t at = 0;
    while ((at = s.find(find, at)) != std::string::npos) {
        s.replace(at, find.size(), with);
        at += with.size();
    }
}

// Long vowels, most specific first: "ou" must go before "uu" can see it.
constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kHepburnLongVowels{{
    {"ou", "\u014D"},
    {"Ou", "\u014C"},
    {"Oo", "\u014C"},
    {"oo", "\u014D"},
    {"aa", "a\u0304"},
    {"Aa", "\u0100"},
    {"ee", "e\u0304"},
    {"Ee", "\u0112"},
    {"ii", "i\u0304"},
    {"Ii", "\u012A"},
    {"uu", "\u016B"},
    {"Uu", "\u016A"},
}};

}  // namespace

std::optional<RomanizationMethod> romanizationMethodFromRaw(int raw) {
    switch (raw) {
        case 0:
            return RomanizationMethod::waPro;
        case 1:
            return RomanizationMethod::hepburn;
        default:
            return std::nullopt;
    }
}

ScriptType japaneseScriptType(std::string_view s) {
    ScriptType out = ScriptType::noJapaneseScript;
    for (const auto& c : text::characters(s)) {
        const char32_t first = firstScalar(c);
        if (CharacterSet::kanji.contains(first))
            out = out | ScriptType::kanji;
        else if (CharacterSet::hiragana.contains(first))
            out = out | ScriptType::hiragana;
        else if (CharacterSet::katakana.contains(first))
            out = out | ScriptType::katakana;
    }
    return out;
}

bool containsKanjiCharacters(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        if (CharacterSet::kanji.contains(text::decodeNext(s, i)))
            return true;
    }
    return false;
}

std::vector<std::string> kanjiCharacters(std::string_view s) {
    std::vector<std::string> withKanji;
    for (auto& c : text::characters(s)) {
        if (containsKanjiCharacters(c))
            withKanji.push_back(std::move(c));
    }
    return uniqueElements(withKanji);
}

std::vector<TextRange> hiraganaRanges(std::string_view s) {
    std::vector<TextRange> runs;
    int64_t index = 0;
    for (const auto& c : text::characters(s)) {
        if (CharacterSet::hiragana.contains(firstScalar(c))) {
            if (!runs.empty() && runs.back().end == index)
                runs.back().end = index + 1;
            else
                runs.push_back(TextRange{index, index + 1});
        }
        ++index;
    }
    return runs;
}

std::string hiraganaString(std::string_view s) {
    // ICU's whole Katakana-Hiragana also turns "ー" into a vowel and folds
    // half-width forms; only the full-width letters ァ to ヴ and the
    // iteration marks are meant.
    return text::transliterate(s, "[\u30A1-\u30F4\u30FD\u30FE] Katakana-Hiragana");
}

std::string romanizedString(std::string_view s, RomanizationMethod method) {
    const ScriptType scripts = japaneseScriptType(s);
    std::string out;
    if (scripts.contains(ScriptType::hiragana)) {
        out = text::transliterate(s, "Hiragana-Latin");
    } else if (scripts.contains(ScriptType::katakana)) {
        // ICU's Katakana-Latin spells ョ after イ-row kana as "~yo"
        // ("touki~you"); its hiragana rules do not.
        out = text::transliterate(hiraganaString(s), "Hiragana-Latin");
    } else {
        out = std::string(s);
    }
    if (method == RomanizationMethod::hepburn) {
        for (const auto& [find, with] : kHepburnLongVowels)
            replaceAll(out, find, with);
    }
    return out;
}

}  // namespace mivo
