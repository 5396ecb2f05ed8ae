#include "morphology/ipadic.hpp"

#include "morphology_test_support.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace mivo {
namespace {
namespace fs = std::filesystem;
using P = Dictionary::PartOfSpeech;

struct PosCase {
    uint16_t posID;
    P expected;
};

// Both ends of every class of the IPA pos-id file, and the ids between them
// that have no class of their own.
const PosCase kIpaTable[] = {
    {0, P::unknown},      // その他
    {2, P::unknown},      // 感動詞
    {3, P::symbol},       // 記号, first
    {9, P::symbol},       // 記号, last
    {10, P::adjective},   // 形容詞, first
    {12, P::adjective},   // 形容詞, last
    {13, P::particle},    // 助詞, first
    {24, P::particle},    // 助詞, last
    {25, P::unknown},     // 助動詞
    {26, P::unknown},     // 接続詞
    {27, P::prefix},      // 接頭詞, first
    {30, P::prefix},      // 接頭詞, last
    {31, P::verb},        // 動詞, first
    {33, P::verb},        // 動詞, last
    {34, P::adverb},      // 副詞, first
    {35, P::adverb},      // 副詞, last
    {36, P::noun},        // 名詞, first
    {67, P::noun},        // 名詞, last
    {68, P::unknown},     // 連体詞
    {69, P::unknown},     // past the file
    {65535, P::unknown},  // largest id
};

TEST(IpaPartOfSpeech, FoldsEveryClassAtItsBounds) {
    const IPADic ipa("/x");
    const SealedIPADic sealed("/x");
    for (const auto& c : kIpaTable) {
        EXPECT_EQ(ipa.partOfSpeech(c.posID), c.expected) << "posID " << c.posID;
        EXPECT_EQ(sealed.partOfSpeech(c.posID), c.expected) << "posID " << c.posID;
    }
}

TEST(DictionaryRendering, EscapesTheFolderAsAFileUrl) {
    EXPECT_EQ(SealedIPADic("/a b/日").rendering(), "SealedIPADic(url: file:///a%20b/%E6%97%A5)");
}

class DictionaryLookup : public testing::ScratchFolder {
  protected:
    fs::path bundleWithFolder(const std::string& name) {
        const fs::path bundle = root / name / "MecabTokenizer_IPADic.bundle";
        fs::create_directories(bundle / "ipadic dictionary");
        return bundle;
    }
};

TEST_F(DictionaryLookup, SealedBundleWinsWithoutTouchingTheModuleBundle) {
    const fs::path sealed = bundleWithFolder("sealed");
    bundleWithFolder("module");
    int moduleLookups = 0;
    const auto d = SealedIPADic::locate(ResourceBundle(sealed), [&] {
        ++moduleLookups;
        return IPADic::locate(root / "module" / "MecabTokenizer_IPADic.bundle", root / "none");
    });
    ASSERT_TRUE(d.has_value()) << d.error().text;
    EXPECT_EQ(d->url(), sealed / "ipadic dictionary");
    EXPECT_EQ(moduleLookups, 0);
}

TEST_F(DictionaryLookup, FallsBackToTheModuleBundleAndItsTwoPlacesInOrder) {
    fs::create_directories(root / "sealed" / "MecabTokenizer_IPADic.bundle");
    const fs::path first = bundleWithFolder("first");
    const fs::path second = bundleWithFolder("second");
    const auto d = SealedIPADic::locate(ResourceBundle(root / "sealed"),
                                        [&] { return IPADic::locate(root / "missing", second); });
    ASSERT_TRUE(d.has_value()) << d.error().text;
    EXPECT_EQ(d->url(), second / "ipadic dictionary");
    EXPECT_EQ(IPADic::locate(first, second)->url(), first / "ipadic dictionary");
}

TEST_F(DictionaryLookup, NoUsableBundleIsAnError) {
    const auto d = SealedIPADic::locate(ResourceBundle(root / "gone.bundle"),
                                        [&] { return IPADic::locate(root / "a", root / "b"); });
    ASSERT_FALSE(d.has_value());
    EXPECT_EQ(d.error().kind, TokenizerError::Kind::initializationFailure);
    EXPECT_EQ(d.error().localizedDescription(), "could not load resource bundle: from " +
                                                    (root / "a").string() + " or " +
                                                    (root / "b").string());
    // A plain file of the folder's name is not a dictionary folder.
    fs::create_directories(root / "empty.bundle");
    std::ofstream(root / "empty.bundle" / "ipadic dictionary") << "x";
    const auto file = IPADic::locate(root / "empty.bundle", root / "b");
    ASSERT_FALSE(file.has_value());
    EXPECT_NE(file.error().text.find("ipadic dictionary"), std::string::npos) << file.error().text;
}

TEST(DictionaryBundle, TheBuildPutsTheDictionaryBesideTheExecutable) {
    const auto d = SealedIPADic::locate();
    ASSERT_TRUE(d.has_value()) << d.error().text;
    EXPECT_EQ(d->url().filename(), "ipadic dictionary");
    EXPECT_TRUE(fs::exists(d->url() / "sys.dic"));
}

}  // namespace
}  // namespace mivo
