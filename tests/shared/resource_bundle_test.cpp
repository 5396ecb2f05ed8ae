#include "shared/resource_bundle.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace mivo {
namespace {
namespace fs = std::filesystem;

class BundleLookup : public ::testing::Test {
  protected:
    void SetUp() override {
        root =
            fs::temp_directory_path() /
            ("mivo-bundles-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "resources");
        fs::create_directories(root / "app");
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root;
    int fallbackCalls = 0;
    std::function<ResourceBundle()> fallback = [this] {
        ++fallbackCalls;
        return ResourceBundle(root / "fallback.bundle");
    };
    std::vector<std::optional<fs::path>> folders() const {
        return {root / "resources", root / "app"};
    }
};

TEST_F(BundleLookup, AppendsTheExtensionOnlyWhenMissing) {
    fs::create_directories(root / "app" / "Mivo_Tone.bundle");
    EXPECT_EQ(mivoSealedResourceBundle("Mivo_Tone", folders(), fallback).folder(),
              root / "app" / "Mivo_Tone.bundle");
    EXPECT_EQ(mivoSealedResourceBundle("Mivo_Tone.bundle", folders(), fallback).folder(),
              root / "app" / "Mivo_Tone.bundle");
    // Another letter case is not the extension: ".bundle" is appended again.
    fs::create_directories(root / "app" / "Mivo_Tone.BUNDLE.bundle");
    EXPECT_EQ(mivoSealedResourceBundle("Mivo_Tone.BUNDLE", folders(), fallback).folder(),
              root / "app" / "Mivo_Tone.BUNDLE.bundle");
    EXPECT_EQ(fallbackCalls, 0);
}

TEST_F(BundleLookup, ResourceFolderWinsOverTheExecutableFolder) {
    fs::create_directories(root / "resources" / "X.bundle");
    fs::create_directories(root / "app" / "X.bundle");
    EXPECT_EQ(mivoSealedResourceBundle("X", folders(), fallback).folder(),
              root / "resources" / "X.bundle");
}

TEST_F(BundleLookup, FallbackRunsExactlyOnceWhenNothingIsFound) {
    const auto b = mivoSealedResourceBundle("Nowhere", {std::nullopt, root / "app"}, fallback);
    EXPECT_EQ(fallbackCalls, 1);
    EXPECT_EQ(b.folder(), root / "fallback.bundle");
    // A plain file of the bundle's name is not a bundle.
    std::ofstream(root / "app" / "File.bundle") << "x";
    mivoSealedResourceBundle("File", folders(), fallback);
    EXPECT_EQ(fallbackCalls, 2);
}

TEST_F(BundleLookup, FindsResourcesInsideTheBundle) {
    fs::create_directories(root / "app" / "E.bundle" / "RulePacks");
    std::ofstream(root / "app" / "E.bundle" / "RulePacks" / "pack.json") << "{}";
    const auto b = mivoSealedResourceBundle("E", folders(), fallback);
    EXPECT_TRUE(b.urlForResource("pack", "json", "RulePacks").has_value());
    EXPECT_FALSE(b.urlForResource("pack", "json").has_value());
    EXPECT_FALSE(b.urlForResource("RulePacks", "").has_value());  // a folder is not a file
    EXPECT_TRUE(b.urlForFolder("RulePacks").has_value());
    EXPECT_FALSE(ResourceBundle().urlForResource("pack", "json").has_value());
}

TEST(BundleDefaults, BuildTreeIsNotAnInstalledCopy) {
    EXPECT_FALSE(runningFromInstalledCopy());
    ASSERT_TRUE(executableFolder().has_value());
    EXPECT_TRUE(fs::is_directory(sourceResourcesFolder().parent_path() / "src"));
}

}  // namespace
}  // namespace mivo
