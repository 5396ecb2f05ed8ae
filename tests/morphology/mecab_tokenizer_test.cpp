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

// One tagger for the whole suite, as the program keeps one.
class MecabTokenizer : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        auto t = Tokenizer::create(testing::buildDictionary());
        if (t)
            tokenizer = std::move(*t);
        else
            openingError = t.error().text;
    }
    static void TearDownTestSuite() { tokenizer.reset(); }
    void SetUp() override { ASSERT_NE(tokenizer, nullptr) << openingError; }

    static std::vector<Annotation> tokenize(std::string_view text, T script) {
        return tokenizer->tokenize(text, script);
    }

    static inline std::unique_ptr<Tokenizer> tokenizer;
    static inline std::string openingError;
};

std::string describe(const std::vector<Annotation>& annotations) {
    std::string out;
    for (const auto& a : annotations)
        out += a.description() + " [" + std::to_string(a.range.start) + "," +
               std::to_string(a.range.end) + ") ";
    return out;
}

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

TEST(MecabVersion, IsTheLinkedLibrarys) {
    EXPECT_EQ(Tokenizer::version(), "0.996");
}

TEST_F(MecabTokenizer, ReadingsAndFormsAreTheKatakanaColumns) {
    const std::string text = "本をを読む。";
    const auto a = tokenize(text, T::katakana);
    ASSERT_EQ(a.size(), 5u) << describe(a);
    const Annotation expected[] = {
        {"本", "ホン", P::noun, {0, 3}, "本", T::katakana},
        {"を", "ヲ", P::particle, {3, 6}, "を", T::katakana},
        // The second を is found after the first, never on it again.
        {"を", "ヲ", P::particle, {6, 9}, "を", T::katakana},
        {"読む", "ヨム", P::verb, {9, 15}, "読む", T::katakana},
        {"。", "。", P::symbol, {15, 18}, "。", T::katakana},
    };
    for (std::size_t i = 0; i < a.size(); ++i)
        EXPECT_EQ(a[i], expected[i]) << i << ": " << describe(a);
}

TEST_F(MecabTokenizer, EmptyTextAndSentenceMarkersGiveNothing) {
    EXPECT_TRUE(tokenize("", T::katakana).empty());
    EXPECT_TRUE(tokenize("   ", T::katakana).empty());
    for (const auto& a : tokenize("今日は晴れ。", T::katakana)) {
        EXPECT_FALSE(a.base.empty());
        EXPECT_NE(a.reading, "BOS/EOS");
    }
}

TEST_F(MecabTokenizer, DecomposedKanaIsAnalysedComposedButRangedInTheCallersBytes) {
    // "かばんを持つ" with ば written as は + U+3099 (combining voiced mark).
    const std::string text = "かは\u3099んを持つ";
    const auto a = tokenize(text, T::katakana);
    ASSERT_EQ(a.size(), 3u) << describe(a);
    EXPECT_EQ(a[0].base, "かばん");
    EXPECT_EQ(a[0].reading, "カバン");
    EXPECT_EQ(a[0].range, (ByteRange{0, 12}));  // three kana and the 3-byte mark
    EXPECT_EQ(a[1].range, (ByteRange{12, 15}));
    EXPECT_EQ(a[2].range, (ByteRange{15, 21}));
}

TEST_F(MecabTokenizer, WordsMecabCutInsideOneCharacterAreJoined) {
    // A family emoji is one Character of three emoji joined by ZWJ; MeCab
    // gives five nodes.
    const std::string family = "👨\u200D👩\u200D👧";
    const std::string text = "猫" + family + "です";
    const auto a = tokenize(text, T::katakana);
    ASSERT_EQ(a.size(), 3u) << describe(a);
    EXPECT_EQ(a[1].base, family);
    EXPECT_EQ(a[1].range, (ByteRange{3, 3 + family.size()}));
    EXPECT_EQ(a[1].reading, family);  // no reading column: the surface
    EXPECT_EQ(a[2].base, "です");
}

TEST_F(MecabTokenizer, TransliterationAppliesToReadingAndForm) {
    const struct {
        T script;
        std::string reading;
        std::string form;
    } cases[] = {
        {T::katakana, "トウキョウ", "東京"},
        {T::hiragana, "とうきょう", "東京"},
        {T::romaji, "t\u014Dky\u014D", "東京"},
    };
    for (const auto& c : cases) {
        const auto a = tokenize("東京", c.script);
        ASSERT_EQ(a.size(), 1u);
        EXPECT_EQ(a[0].reading, c.reading);
        EXPECT_EQ(a[0].dictionaryForm, c.form);
        EXPECT_EQ(a[0].transliteration, c.script);
    }
    const auto verb = tokenize("読んだ", T::hiragana);
    ASSERT_FALSE(verb.empty());
    EXPECT_EQ(verb[0].reading, "よん");
    EXPECT_EQ(verb[0].dictionaryForm, "読む");
}

TEST(AnnotationTest, DescriptionAndKanji) {
    const Annotation a{"本", "ホン", P::noun, {0, 3}, "本", T::katakana};
    EXPECT_EQ(a.description(), "Base: 本, reading: ホン, POS: noun");
    EXPECT_TRUE(a.containsKanji());
    EXPECT_FALSE(
        (Annotation{"ほん", "ホン", P::noun, {0, 6}, "ほん", T::katakana}).containsKanji());
}

struct TokenCase {
    const char* name;
    const char* surface;
    std::size_t length;
    const char* feature;
    std::optional<std::pair<std::string, std::string>> readingAndForm;
};

TEST(MecabToken, ColumnsFallBackToTheSurface) {
    const SealedIPADic ipa("/x");
    const TokenCase cases[] = {
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
    EXPECT_GT(message.size(), prefix.size()) << message;
}

TEST_F(MecabTokenizerOpening, AFolderWithoutADictionaryFailsWithoutAborting) {
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
}

TEST_F(MecabTokenizerOpening, AnEmptyPathIsAConversionFailure) {
    const auto t = Tokenizer::create(std::make_unique<SystemDictionary>());
    ASSERT_FALSE(t.has_value());
    EXPECT_EQ(t.error().text, "URL Conversion Failed SystemDictionary()");
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
