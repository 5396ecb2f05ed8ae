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
    // Only the full-width katakana letters and iteration marks are meant:
    // not "ー" (which ICU's Katakana-Hiragana turns into a vowel) and not the
    // half-width forms. ヷ to ヺ have no hiragana letter of their own: they
    // become ワ ヰ ヱ ヲ's hiragana with a combining voiced mark.
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t at = i;
        const char32_t c = text::decodeNext(s, i);
        if (c >= 0x30A1 && c <= 0x30F6) {
            out += text::fromCodePoint(c - 0x60);  // ァ..ヶ -> ぁ..ゖ
        } else if (c >= 0x30F7 && c <= 0x30FA) {
            out += text::fromCodePoint(c - 0x30F7 + 0x308F);  // ヷ..ヺ -> わ..を
            out += text::fromCodePoint(0x3099);
        } else if (c == 0x30FD || c == 0x30FE) {
            out += text::fromCodePoint(c - 0x60);  // ヽヾ -> ゝゞ
        } else {
            out.append(s.substr(at, i - at));
        }
    }
    return out;
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
