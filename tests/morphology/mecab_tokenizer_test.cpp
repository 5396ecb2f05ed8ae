#include "morphology/mecab_tokenizer.hpp"

#include "morphology/mecab_token.hpp"
#include "morphology_test_support.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string_view>

namespace mivo {
namespace {
namespace fs = std::filesystem;
using P = Dictionary::PartOfSpeech;
using T = Tokenizer::Transliteration;

// Restores an environment variable when the test ends.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(MecabTokenizer, TransliterationAppliesToReadingAndForm) {
    auto t = Tokenizer::create(testing::buildDictionary());
    ASSERT_TRUE(t.has_value()) << t.error().text;
    EXPECT_TRUE((*t)->tokenize("   ", T::katakana).empty());
    // Romaji goes through hiragana: ICU's Katakana-Latin gives "touki~you".
    const std::pair<T, std::string> cases[] = {
        {T::katakana, "トウキョウ"}, {T::hiragana, "とうきょう"}, {T::romaji, "t\u014Dky\u014D"}};
    for (const auto& [script, reading] : cases) {
        const auto a = (*t)->tokenize("東京", script);
        ASSERT_EQ(a.size(), 1u);
        EXPECT_EQ(a[0].reading, reading);
        EXPECT_EQ(a[0].dictionaryForm, "東京");
    }
    const auto verb = (*t)->tokenize("読んだ", T::hiragana);
    ASSERT_FALSE(verb.empty());
    EXPECT_EQ(verb[0].reading, "よん");
    EXPECT_EQ(verb[0].dictionaryForm, "読む");
}

// A long writing session meets one new word after another: what the
// tokenizer keeps of the words it saw stays within its bound, the words of
// every sentence are not among those it forgets, and a text reads the same
// after the kept words were forgotten as before.
std::string ideograph(char32_t c) {
    return {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
}

TEST(MecabTokenizer, WhatItKeepsOfTheWordsItSawStaysBounded) {
    auto t = Tokenizer::create(testing::buildDictionary());
    ASSERT_TRUE(t.has_value()) << t.error().text;
    const std::string probe = "昨日は友達と図書館で宿題を終わらせました。";
    const auto before = (*t)->tokenize(probe, T::hiragana);
    // Every ideograph of the unified block, as a word of its own and inside
    // words around it: several thousand entries of the dictionary.
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } sessions[] = {
        {"onItsOwn", "", "、"},
        {"asAVerb", "お", "する。"},
        {"asANoun", "この", "は"},
    };
    std::size_t previous = 0;
    bool forgot = false;
    for (const auto& session : sessions) {
        SCOPED_TRACE(session.name);
        for (char32_t from = 0x4E00; from < 0x9FA0; from += 100) {
            std::string text;
            for (char32_t c = from; c < from + 100; ++c)
                text += session.before + ideograph(c) + session.after;
            (*t)->tokenize(text, T::hiragana);
            const std::size_t kept = (*t)->featureColumnsKept();
            ASSERT_LE(kept, Tokenizer::kFeatureColumnsKept);
            forgot = forgot || kept < previous;
            // Written between the new words, the probe finds its own still
            // kept: it adds none.
            (*t)->tokenize(probe, T::hiragana);
            previous = (*t)->featureColumnsKept();
            ASSERT_LE(previous, kept) << "from U+" << std::hex << static_cast<uint32_t>(from);
        }
        const auto after = (*t)->tokenize(probe, T::hiragana);
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < after.size(); ++i) {
            EXPECT_EQ(after[i].base, before[i].base);
            EXPECT_EQ(after[i].reading, before[i].reading);
            EXPECT_EQ(after[i].dictionaryForm, before[i].dictionaryForm);
            EXPECT_EQ(after[i].partOfSpeech, before[i].partOfSpeech);
        }
    }
    // The sessions met more words than are kept: some were forgotten.
    EXPECT_TRUE(forgot);
}

TEST(MecabToken, ColumnsFallBackToTheSurface) {
    const SealedIPADic ipa("/x");
    const struct {
        const char* name;
        const char* surface;
        std::size_t length;
        const char* feature;
        std::optional<std::pair<std::string, std::string>> readingAndForm;
    } cases[] = {
        {"nine columns", "本", 3, "名詞,一般,*,*,*,*,本,ホン,ホン", {{"ホン", "本"}}},
        {"seven columns", "☃", 3, "記号,一般,*,*,*,*,*", {{"☃", "*"}}},
        {"six columns", "☃", 3, "記号,一般,*,*,*,*", {{"☃", "☃"}}},
        // Empty pieces are dropped, so later columns move forward.
        {"empty pieces", "本", 3, "名詞,一般,*,*,*,*,,本,ホン", {{"ホン", "本"}}},
        {"no pieces", "本", 3, ",,,", std::nullopt},
        {"empty feature", "本", 3, "", std::nullopt},
        {"no feature", "本", 3, nullptr, std::nullopt},
        {"no surface", nullptr, 0, "名詞", std::nullopt},
        {"surface not UTF-8", "\xE6\x9C", 2, "名詞", std::nullopt},
        {"feature not UTF-8", "本", 3, "\xFF,a", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto token = Token::make(c.surface, c.length, c.feature, 38, ipa);
        ASSERT_EQ(token.has_value(), c.readingAndForm.has_value()) << c.name;
        // The columns the tokenizer keeps of a feature text make the same
        // word as the whole split.
        if (c.feature != nullptr) {
            const auto word = Token::wordColumns(c.feature, ipa);
            Token kept;
            ASSERT_EQ(word && kept.assignWord(c.surface, c.length, *word, 38, ipa),
                      token.has_value())
                << c.name;
            if (token) {
                EXPECT_EQ(kept.reading(), token->reading()) << c.name;
                EXPECT_EQ(kept.dictionaryForm(), token->dictionaryForm()) << c.name;
            }
        }
        if (!token)
            continue;
        EXPECT_EQ(token->reading(), c.readingAndForm->first) << c.name;
        EXPECT_EQ(token->dictionaryForm(), c.readingAndForm->second) << c.name;
        EXPECT_EQ(token->partOfSpeech, P::noun) << c.name;
    }
}

class MecabTokenizerOpening : public testing::ScratchFolder {};

TEST_F(MecabTokenizerOpening, AFolderWithBlanksInItsPathOpens) {
    const fs::path folder = root / "two words" / "ipadic dictionary";
    fs::create_directories(folder.parent_path());
    fs::create_directory_symlink(testing::buildDictionary()->url(), folder);
    auto t = Tokenizer::create(std::make_unique<IPADic>(folder));
    ASSERT_TRUE(t.has_value()) << t.error().text;
    EXPECT_EQ((*t)->tokenize("本", T::katakana).size(), 1u);
    EXPECT_FALSE((*t)->isSystemTokenizer());
}

TEST_F(MecabTokenizerOpening, AMissingFolderFailsWithMecabsText) {
    const fs::path folder = root / "no such" / "ipadic dictionary";
    const auto t = Tokenizer::create(std::make_unique<SealedIPADic>(folder));
    ASSERT_FALSE(t.has_value());
    const std::string prefix =
        "Opening Dictionary Failed SealedIPADic(url: " + fileUrlString(folder) + ") ";
    const std::string& message = t.error().localizedDescription();
    ASSERT_TRUE(message.starts_with(prefix)) << message;
    // MeCab's own reason follows, naming the file it could not read.
    EXPECT_NE(message.find("no such"), std::string::npos) << message;
}

TEST_F(MecabTokenizerOpening, UnusableFoldersFailWithoutAborting) {
    fs::create_directories(root / "empty");
    fs::create_directories(root / "half");
    std::ofstream(root / "half" / "dicrc") << "cost-factor = 800\n";
    std::ofstream(root / "half" / "sys.dic") << "not a dictionary";
    for (const char* name : {"empty", "half"}) {
        const auto t = Tokenizer::create(std::make_unique<IPADic>(root / name));
        ASSERT_FALSE(t.has_value()) << name;
        EXPECT_TRUE(t.error().text.starts_with("Opening Dictionary Failed IPADic(url: "))
            << t.error().text;
    }
    const auto none = Tokenizer::create(std::make_unique<SystemDictionary>());
    ASSERT_FALSE(none.has_value());
    EXPECT_EQ(none.error().text, "URL Conversion Failed SystemDictionary()");
}

TEST_F(MecabTokenizerOpening, NoRcFileChangesTheDictionary) {
    // An rc file that would send MeCab to a missing user dictionary and
    // another system dictionary: were it read, opening would fail.
    const fs::path rc = root / "mecabrc";
    std::ofstream(rc) << "dicdir = " << (root / "elsewhere").string() << "\n"
                      << "userdic = " << (root / "missing.dic").string() << "\n";
    std::ofstream(root / ".mecabrc") << "userdic = " << (root / "missing.dic").string() << "\n";
    const ScopedEnv mecabrc("MECABRC", rc.string());
    const ScopedEnv home("HOME", root.string());
    auto t = Tokenizer::create(testing::buildDictionary());
    ASSERT_TRUE(t.has_value()) << t.error().text;
    const auto a = (*t)->tokenize("読む", T::katakana);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].reading, "ヨム");
}

}  // namespace
}  // namespace mivo
