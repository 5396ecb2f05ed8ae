#include "correction/rule_pack.hpp"

#include "correction/rules/surface_pattern_rule.hpp"
#include "pack_test_support.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace mivo {
namespace {
namespace fs = std::filesystem;

const char* const kOnePattern = R"({"patterns":[{"id":"t.one","pattern":"あれわ",
    "suggestion":"あれは","severity":"critical","category":"particle","confidence":0.5,
    "explanationEn":"one"}]})";

SurfacePatternRulePack onePatternPack() {
    return {.patterns = {{"t.one", "あれわ", "あれは", CorrectionIssue::Severity::critical,
                          CorrectionIssue::Category::particle, 0.5, "one"}}};
}

class RulePackLoading : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = fs::temp_directory_path() /
               (std::string("mivo-packs-") + info->test_suite_name() + "-" + info->name());
        fs::remove_all(root);
        fs::create_directories(root / "RulePacks");
    }
    void TearDown() override { fs::remove_all(root); }

    void write(const fs::path& relative, std::string_view content) const {
        std::ofstream(root / relative, std::ios::binary) << content;
    }
    SurfacePatternRulePack load() const {
        return loadRulePack("surface-patterns", &surfacePatternRulePackFromJson,
                            SurfacePatternRule::fallbackRulePack(), ResourceBundle(root));
    }

    fs::path root;
};

TEST_F(RulePackLoading, RulePacksFolderWinsOverTheTopLevel) {
    write("RulePacks/surface-patterns.json", kOnePattern);
    write("surface-patterns.json", R"({"patterns":[]})");
    EXPECT_EQ(load(), onePatternPack());
}

TEST_F(RulePackLoading, TopLevelPackIsUsedWhenRulePacksHasNone) {
    write("surface-patterns.json", kOnePattern);
    EXPECT_EQ(load(), onePatternPack());
}

TEST_F(RulePackLoading, MissingPackOrBundleGivesTheFallback) {
    EXPECT_EQ(load(), SurfacePatternRule::fallbackRulePack());
    EXPECT_EQ(
        loadRulePack("surface-patterns", &surfacePatternRulePackFromJson,
                     SurfacePatternRule::fallbackRulePack(), ResourceBundle(root / "nowhere")),
        SurfacePatternRule::fallbackRulePack());
    EXPECT_EQ(loadRulePack("surface-patterns", &surfacePatternRulePackFromJson,
                           SurfacePatternRule::fallbackRulePack(), ResourceBundle()),
              SurfacePatternRule::fallbackRulePack());
}

TEST_F(RulePackLoading, AFolderInPlaceOfThePackIsNotAPack) {
    fs::create_directories(root / "RulePacks" / "surface-patterns.json");
    write("surface-patterns.json", kOnePattern);
    EXPECT_EQ(load(), onePatternPack());
}

struct BadPack {
    std::string why;
    std::string json;
};

TEST_F(RulePackLoading, AnyFaultReplacesTheWholePackByTheFallback) {
    const std::string good =
        R"({"id":"a","pattern":"p","suggestion":"s","severity":"style","category":"grammar","confidence":1,"explanationEn":"e"})";
    const std::vector<BadPack> cases = {
        {"not JSON", "{\"patterns\": ["},
        {"required key missing", R"({"pattern":[]})"},
        {"array of the wrong type", R"({"patterns":{}})"},
        {"entry key missing", R"({"patterns":[{"id":"a","pattern":"p","suggestion":"s",
            "severity":"style","category":"grammar","confidence":1}]})"},
        {"number given as text", R"({"patterns":[{"id":"a","pattern":"p","suggestion":"s",
            "severity":"style","category":"grammar","confidence":"1","explanationEn":"e"}]})"},
        {"unknown severity after a good entry",
         R"({"patterns":[)" + good + R"(,{"id":"b","pattern":"p","suggestion":"s",
            "severity":"warning","category":"grammar","confidence":1,"explanationEn":"e"}]})"},
        {"unknown category", R"({"patterns":[{"id":"a","pattern":"p","suggestion":"s",
            "severity":"style","category":"spelling","confidence":1,"explanationEn":"e"}]})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        write("RulePacks/surface-patterns.json", c.json);
        EXPECT_EQ(load(), SurfacePatternRule::fallbackRulePack());
    }
}

TEST_F(RulePackLoading, EmptyButValidPackIsUsedAsItIs) {
    write("RulePacks/surface-patterns.json", R"({"patterns":[]})");
    EXPECT_EQ(load(), SurfacePatternRulePack{});
}

TEST_F(RulePackLoading, KeysThePackDoesNotNameAreIgnored) {
    write("RulePacks/surface-patterns.json",
          R"({"version":3,"patterns":[{"id":"t.one","pattern":"あれわ","note":"x",
              "suggestion":"あれは","severity":"critical","category":"particle",
              "confidence":0.5,"explanationEn":"one"}]})");
    EXPECT_EQ(load(), onePatternPack());
}

TEST_F(RulePackLoading, RepeatedKeysKeepTheFirstAndNeverStopLoading) {
    // The second "patterns" and the second "pattern" are dropped, even the
    // malformed ones.
    write("RulePacks/surface-patterns.json",
          R"({"patterns":[{"id":"t.one","pattern":"あれわ","pattern":7,
              "suggestion":"あれは","severity":"critical","severity":"bogus",
              "category":"particle","confidence":0.5,"explanationEn":"one"}],
              "patterns":"not an array"})");
    EXPECT_EQ(load(), onePatternPack());
}

TEST(LocalCorrectionResources, TheEngineBundleIsFoundWithItsRulePacks) {
    const ResourceBundle& bundle = localCorrectionResources();
    EXPECT_TRUE(bundle.exists());
    EXPECT_EQ(bundle.folder().filename(), "Mivo_LocalCorrection.bundle");
    EXPECT_TRUE(bundle.urlForFolder("RulePacks").has_value());
}

}  // namespace
}  // namespace mivo
