#include "morphology/mecab_japanese_tokenizer.hpp"

#include "morphology_test_support.hpp"
#include "shared/text.hpp"

#include <gtest/gtest.h>

#include <thread>

namespace mivo {
namespace {
using J = JapanesePartOfSpeech;

std::string describe(const std::vector<Morpheme>& morphemes) {
    std::string out;
    for (const auto& m : morphemes) {
        out += m.surface + "/" + std::string(rawValue(m.partOfSpeech)) + "/" + m.lemma + "/" +
               m.reading + "[" + std::to_string(m.range.start) + "," + std::to_string(m.range.end) +
               ") ";
    }
    return out;
}

class JapaneseTokenizerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tokenizer = MecabJapaneseTokenizer::shared();
        ASSERT_NE(tokenizer, nullptr);
    }
    const MecabJapaneseTokenizer* tokenizer = nullptr;
};

TEST_F(JapaneseTokenizerTest, DoubledParticleSentenceAndALeadingBlank) {
    std::vector<Morpheme> expected{
        {"本", "本", "ホン", J::noun, {0, 1}},   {"を", "を", "ヲ", J::particle, {1, 2}},
        {"を", "を", "ヲ", J::particle, {2, 3}}, {"読む", "読む", "ヨム", J::verb, {3, 5}},
        {"。", "。", "。", J::symbol, {5, 6}},
    };
    const auto plain = tokenizer->tokenize("本をを読む。");
    EXPECT_EQ(plain, expected) << describe(plain);
    for (auto& m : expected)
        m.range = {m.range.start + 1, m.range.end + 1};
    const auto blank = tokenizer->tokenize(" 本をを読む。");
    EXPECT_EQ(blank, expected) << describe(blank);
}

struct RangeCase {
    const char* why;
    std::string text;
    // Surface (as MeCab saw it) and Character range of the word to find.
    std::string surface;
    TextRange range;
};

// Texts whose bytes, UTF-16 units and Characters all count differently.
const RangeCase kRangeCases[] = {
    {"kanji outside the BMP (4 bytes, 2 UTF-16 units)", "𠮷野家で食べる", "で", {3, 4}},
    {"emoji with skin tone is one Character", "👍🏽いいね", "いい", {1, 3}},
    {"ZWJ family is one Character and one morpheme",
     "👨\u200D👩\u200D👧です",
     "👨\u200D👩\u200D👧",
     {0, 1}},
    {"word after a ZWJ family", "👨\u200D👩\u200D👧です", "です", {1, 3}},
    {"decomposed ば counts once", "かは\u3099んを持つ", "かばん", {0, 3}},
    {"word after a decomposed kana", "かは\u3099んを持つ", "持つ", {4, 6}},
    {"CR LF is one Character", "a\r\n本を読む", "を", {3, 4}},
    {"ideographic space", "\u3000本を読む", "を", {2, 3}},
};

TEST_F(JapaneseTokenizerTest, RangesCountCharacters) {
    for (const auto& c : kRangeCases) {
        const auto m = tokenizer->tokenize(c.text);
        const auto it = std::find_if(m.begin(), m.end(),
                                     [&](const Morpheme& x) { return x.surface == c.surface; });
        ASSERT_NE(it, m.end()) << c.why << ": " << describe(m);
        EXPECT_EQ(it->range, c.range) << c.why << ": " << describe(m);
    }
}

TEST_F(JapaneseTokenizerTest, RangesGoForwardInsideTheText) {
    // In NFC text every morpheme is exactly the text under its range.
    for (const std::string text : {"今日は雨が降っているので、傘を持って行きます。",
                                   "ＡＢＣと abc、１２３。", "お寿司🍣を食べた。"}) {
        const text::CharacterText t{text};
        for (const auto& x : tokenizer->tokenize(text))
            EXPECT_EQ(t.slice(x.range.start, x.range.end), x.surface) << text;
    }
    EXPECT_TRUE(tokenizer->tokenize("").empty());
    const std::string cases[] = {
        "東京タワーへ行きました！本当に楽しかったです😊",
        std::string("本\0を読む", 11),  // an embedded NUL
        "本\xFF\xFEを読む",             // bytes that are not UTF-8
        "\u3099本を読む",               // a combining mark with no base
        "か\u0301を読む",               // a mark with no precomposed form
        std::string(3000, 'a') + "本を読む",
    };
    for (const auto& text : cases) {
        const auto count = text::characterCount(text);
        const auto m = tokenizer->tokenize(text);
        int64_t previousEnd = 0;
        for (const auto& x : m) {
            EXPECT_GE(x.range.start, previousEnd) << describe(m);
            EXPECT_LT(x.range.start, x.range.end) << describe(m);
            EXPECT_LE(x.range.end, count);
            previousEnd = x.range.end;
        }
    }
}

TEST_F(JapaneseTokenizerTest, ClassesOfTheDictionaryAndTheRestAsUnknown) {
    // です (auxiliary verb), しかし (conjunction), ああ (interjection) and
    // この (adnominal) have no class of their own in the IPA table.
    const std::pair<std::string, std::vector<J>> rows[] = {
        {"とても熱いご飯を再確認する。",
         {J::adverb, J::adjective, J::noun, J::particle, J::prefix, J::noun, J::verb, J::symbol}},
        {"ああ、しかしこの本です。",
         {J::unknown, J::symbol, J::unknown, J::unknown, J::noun, J::unknown, J::symbol}},
    };
    for (const auto& [text, expected] : rows) {
        const auto m = tokenizer->tokenize(text);
        std::vector<J> classes;
        for (const auto& x : m)
            classes.push_back(x.partOfSpeech);
        EXPECT_EQ(classes, expected) << describe(m);
    }
}

TEST(SharedJapaneseTokenizer, IsMadeOnceForAllThreads) {
    std::vector<const MecabJapaneseTokenizer*> seen(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = MecabJapaneseTokenizer::shared(); });
    for (auto& t : threads)
        t.join();
    for (const auto* s : seen) {
        EXPECT_NE(s, nullptr);
        EXPECT_EQ(s, MecabJapaneseTokenizer::shared());
    }
}

class MissingDictionary : public testing::ScratchFolder {};

TEST_F(MissingDictionary, IsAnErrorWithItsTextAndTheProcessGoesOn) {
    const auto made =
        MecabJapaneseTokenizer::create(std::make_unique<SealedIPADic>(root / "ipadic dictionary"));
    ASSERT_FALSE(made.has_value());
    EXPECT_TRUE(made.error().localizedDescription().starts_with(
        "Opening Dictionary Failed SealedIPADic(url: file://"))
        << made.error().text;
    // The real dictionary still opens afterwards.
    EXPECT_TRUE(MecabJapaneseTokenizer::create(testing::buildDictionary()).has_value());
}

}  // namespace
}  // namespace mivo
