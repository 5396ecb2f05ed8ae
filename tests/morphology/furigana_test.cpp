#include "morphology/furigana.hpp"
#include "morphology/kana.hpp"
#include "morphology/mecab_tokenizer.hpp"
#include "morphology/system_tokenizer.hpp"
#include "morphology_test_support.hpp"
#include "shared/records.hpp"
#include "shared/text.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {
using T = Tokenizer::Transliteration;

struct WordCase {
    const char* why;
    std::string base;
    std::string reading;
    // Expected kanji-only furigana: reading and the Characters of base it
    // covers; nothing when `expected` is empty.
    std::string expected;
    TextRange over;
};

const WordCase kKanjiOnly[] = {
    {"okurigana cut from the end", "美味しい", "おいしい", "おい", {0, 2}},
    {"kana cut from both ends", "お上がり", "おあがり", "あ", {1, 2}},
    {"inner run becomes an ideographic space", "書き方", "かきかた", "か\u3000かた", {0, 3}},
    {"inner and trailing runs", "取り消し", "とりけし", "と\u3000け", {0, 3}},
    {"all hiragana gives nothing", "ひらがな", "ひらがな", "", {}},
    {"reading shorter than the kana to cut", "読まれる", "よ", "", {}},
    {"reading that is only the okurigana", "読む", "む", "", {}},
    {"kanji only keeps the whole reading", "日本", "にほん", "にほん", {0, 2}},
    // A katakana reading is cut by length alike; inner runs are not found.
    {"katakana reading", "書き方", "カキカタ", "カキカタ", {0, 3}},
};

TEST(KanjiOnlyFurigana, CutsTheReadingToTheKanji) {
    for (const auto& c : kKanjiOnly) {
        // The word stands after a prefix, so ranges are not from 0.
        const std::string text = "「" + c.base + "」";
        const ByteRange range{3, 3 + c.base.size()};
        const auto f = furiganaAnnotation(c.base, c.reading, range, text, true);
        if (c.expected.empty()) {
            EXPECT_FALSE(f.has_value()) << c.why << ": " << f->description();
            continue;
        }
        ASSERT_TRUE(f.has_value()) << c.why;
        EXPECT_EQ(f->reading, c.expected) << c.why;
        const text::CharacterText word{c.base};
        EXPECT_EQ(f->range,
                  (ByteRange{3 + word.byteOffset(c.over.start), 3 + word.byteOffset(c.over.end)}))
            << c.why;
    }
}

TEST(KanjiOnlyFurigana, MovesByCharactersOfTheTextNotOfTheBase) {
    // The text spells が decomposed; the base (as MeCab saw it) is composed.
    const std::string text = "上か\u3099り";
    const auto f = furiganaAnnotation("上がり", "あがり", ByteRange{0, text.size()}, text, true);
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->reading, "あ");
    EXPECT_EQ(f->range, (ByteRange{0, 3}));
}

Annotation word(std::string base, std::string reading) {
    const std::size_t n = base.size();
    return Annotation{
        std::move(base), std::move(reading), Dictionary::PartOfSpeech::noun, ByteRange{0, n}, "",
        T::hiragana};
}

TEST(AnnotationOptions, FiltersByKanji) {
    const auto loose = AnnotationOption::filter({"本"}, false);
    const auto strict = AnnotationOption::filter({"本"}, true);
    const struct {
        const char* why;
        Annotation word;
        AnnotationOption option;
        bool kept;
    } cases[] = {
        {"loose: all kanji disallowed", word("本", "ほん"), loose, false},
        {"loose: one kanji allowed", word("日本", "にほん"), loose, true},
        {"loose: no kanji counts as all disallowed", word("ほん", "ほん"), loose, false},
        {"strict: one kanji disallowed", word("日本", "にほん"), strict, false},
        {"strict: none disallowed", word("日", "ひ"), strict, true},
        {"strict: no kanji", word("ほん", "ほん"), strict, true},
        {"kanji only: no kanji", word("ほん", "ほん"), AnnotationOption::kanjiOnly(), false},
    };
    for (const auto& c : cases) {
        const auto f = c.word.furiganaAnnotation({c.option}, c.word.base);
        EXPECT_EQ(f.has_value(), c.kept) << c.why;
    }
    const auto whole = word("読む", "よむ");
    EXPECT_EQ(whole.furiganaAnnotation({}, "読む"), whole.furiganaAnnotation("ignored"));
    EXPECT_EQ(whole.furiganaAnnotation({AnnotationOption::kanjiOnly()}, "読む"),
              (FuriganaAnnotation{"よ", {0, 3}}));
}

TEST(TokenizerFurigana, RubyTagsAndAnnotationsAroundTheKanjiOfEachWord) {
    auto t = Tokenizer::create(testing::buildDictionary());
    ASSERT_TRUE(t.has_value()) << t.error().text;
    const Tokenizer& tokenizer = **t;
    const std::vector<AnnotationOption> kanjiOnly{AnnotationOption::kanjiOnly()};
    EXPECT_EQ(tokenizer.addRubyTags("本を読む。", T::hiragana, kanjiOnly),
              "<ruby>本<rt>ほん</rt></ruby>を<ruby>読<rt>よ</rt></ruby>む。");
    EXPECT_EQ(tokenizer.addRubyTags("これはペンです。", T::hiragana, kanjiOnly),
              "これはペンです。");
    EXPECT_EQ(tokenizer.furiganaAnnotations("東京へ行く", T::hiragana, kanjiOnly),
              (std::vector<FuriganaAnnotation>{{"とうきょう", {0, 6}}, {"い", {9, 12}}}));
}

TEST(SystemTokenizer, KanaWordsReadAsThemselvesAndKanjiWordsAreLeftOut) {
    const std::string text = "ラーメンを食べた";
    const auto a = systemTokenizerFuriganaAnnotations(text);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a[0], (SystemTokenizerAnnotation{"ラーメン", "ラーメン", {0, 12}}));
    for (const auto& x : a) {
        EXPECT_FALSE(containsKanjiCharacters(x.base)) << x.base;
        EXPECT_EQ(text.substr(x.range.start, x.range.length()), x.base);
    }
    EXPECT_TRUE(systemTokenizerFuriganaAnnotations("").empty());

    const Tokenizer& system = Tokenizer::systemTokenizer();
    EXPECT_TRUE(system.isSystemTokenizer());
    const auto words = system.tokenize("ラーメンを", T::hiragana);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].reading, "らーめん");
    EXPECT_EQ(words[0].dictionaryForm, "らーめん");  // the word itself, per word
    EXPECT_EQ(words[1].range, (ByteRange{12, 15}));
    // A katakana word keeps its reading, in hiragana, over the whole word; a
    // hiragana word spells itself and needs none.
    EXPECT_EQ(furiganaReplacements("ペンを"), (std::vector<FuriganaAnnotation>{{"ぺん", {0, 6}}}));
}

}  // namespace
}  // namespace mivo
