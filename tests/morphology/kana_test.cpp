#include "morphology/kana.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

TEST(CharacterSetTest, RangesAreInclusiveAtBothEnds) {
    const struct {
        char32_t c;
        bool kanji, hiragana, katakana;
    } cases[] = {
        {0x4DFF, false, false, false}, {0x4E00, true, false, false},  {0x9FBF, true, false, false},
        {0x9FC0, false, false, false}, {0x303F, false, false, false}, {0x3040, false, true, false},
        {0x309F, false, true, false},  {0x30A0, false, false, true},  {0x30FF, false, false, true},
        {0x3100, false, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CharacterSet::kanji.contains(c.c), c.kanji)
            << std::hex << static_cast<uint32_t>(c.c);
        EXPECT_EQ(CharacterSet::hiragana.contains(c.c), c.hiragana)
            << std::hex << static_cast<uint32_t>(c.c);
        EXPECT_EQ(CharacterSet::katakana.contains(c.c), c.katakana)
            << std::hex << static_cast<uint32_t>(c.c);
    }
}

TEST(ScriptTypeTest, CollectsTheScriptsOfEachCharactersFirstScalar) {
    const struct {
        std::string text;
        int rawValue;
    } cases[] = {
        {"", 1},  // exactly noJapaneseScript
        {"abc 123", 1},
        {"ひらがな", 1 | 2},
        {"カタカナー", 1 | 4},
        {"漢字", 1 | 8},
        {"漢字とカナ", 1 | 2 | 4 | 8},
        // A decomposed kana is one Character led by its hiragana base.
        {"か\u3099", 1 | 2},
        // A kanji with a variation selector is still a kanji.
        {"葛\U000E0100", 1 | 8},
        // Its first scalar decides: a combining mark after a space is no kana.
        {" \u3099", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(japaneseScriptType(c.text).rawValue, c.rawValue) << c.text;
    EXPECT_TRUE(japaneseScriptType("").contains(ScriptType::noJapaneseScript));
}

TEST(KanjiTest, KanjiCharactersOncePerKanjiInOrderOfAppearance) {
    EXPECT_TRUE(containsKanjiCharacters("かな漢"));
    EXPECT_FALSE(containsKanjiCharacters("かなカナabc"));
    EXPECT_EQ(kanjiCharacters("日本の日本語と本"), (std::vector<std::string>{"日", "本", "語"}));
    EXPECT_TRUE(kanjiCharacters("ひらがな").empty());
}

TEST(HiraganaRangesTest, RunsInCharactersAtTheirOwnPlaces) {
    EXPECT_EQ(hiraganaRanges("お取り消し"), (std::vector<TextRange>{{0, 1}, {2, 3}, {4, 5}}));
    // The second run repeats the first one's text and still gets its own place.
    EXPECT_EQ(hiraganaRanges("かな漢かな"), (std::vector<TextRange>{{0, 2}, {3, 5}}));
    EXPECT_EQ(hiraganaRanges("か\u3099く字"), (std::vector<TextRange>{{0, 2}}));
    EXPECT_TRUE(hiraganaRanges("漢字カナ").empty());
}

TEST(HiraganaStringTest, TurnsKatakanaLettersOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"カタカナ", "かたかな"},
        // The prolonged sound mark belongs to the hiragana spelling as well.
        {"ラーメン", "らーめん"},
        {"ヴァイオリン", "ゔぁいおりん"},
        {"ヽヾ", "ゝゞ"},
        // The small ka and ke have hiragana letters of their own.
        {"ヵヶ", "\u3095\u3096"},
        // ワ ヰ ヱ ヲ with the voiced mark have none: the letter and a
        // combining voiced mark.
        {"ヷヸヹヺ", "わ\u3099ゐ\u3099ゑ\u3099を\u3099"},
        {"ｶﾀｶﾅ", "ｶﾀｶﾅ"},
        {"漢字とabc・", "漢字とabc・"},
        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(hiraganaString(in), out) << in;
}

TEST(RomanizedStringTest, KanaToLatin) {
    const struct {
        std::string text;
        RomanizationMethod method;
        std::string expected;
    } cases[] = {
        // ICU's own Katakana-Latin would give "touki~you".
        {"トウキョウ", RomanizationMethod::waPro, "toukyou"},
        {"トウキョウ", RomanizationMethod::hepburn, "t\u014Dky\u014D"},
        {"とうきょう", RomanizationMethod::hepburn, "t\u014Dky\u014D"},
        {"おおさか", RomanizationMethod::hepburn, "\u014Dsaka"},
        // "aa" becomes two scalars, a and a combining macron.
        {"おばあさん", RomanizationMethod::hepburn, "oba\u0304san"},
        {"おばあさん", RomanizationMethod::waPro, "obaasan"},
        {"シャシン", RomanizationMethod::waPro, "shashin"},
        // With both scripts only the hiragana is romanised.
        {"ひらがなカタカナ", RomanizationMethod::waPro, "hiraganaカタカナ"},
        {"漢字", RomanizationMethod::hepburn, "漢字"},
        // Long vowels go pair by pair from the most specific one ("ou" before
        // "uu" sees its u), keep their case, and only the table's pairs count.
        {"ouu", RomanizationMethod::hepburn, "\u014Du"},
        {"Oo", RomanizationMethod::hepburn, "\u014C"},
        {"Aa", RomanizationMethod::hepburn, "\u0100"},
        {"aA", RomanizationMethod::hepburn, "aA"},
        {"OU", RomanizationMethod::hepburn, "OU"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(romanizedString(c.text, c.method), c.expected) << c.text;
}

}  // namespace
}  // namespace mivo
