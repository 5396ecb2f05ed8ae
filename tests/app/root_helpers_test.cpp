#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/scratch_file.hpp"
#include "settings/support_mail.hpp"

namespace mivo {
namespace {

namespace fs = std::filesystem;

TEST(SupportMail, SubjectAndBodyAreEncodedAndAnEmptyBodyStays) {
    EXPECT_EQ(supportMailURL("Mivo account deletion request", std::nullopt),
              "mailto:support@mivo.app?subject=Mivo%20account%20deletion%20request");
    EXPECT_EQ(supportMailURL("Mivo feedback", std::string()),
              "mailto:support@mivo.app?subject=Mivo%20feedback&body=");
    // & and = in the text must not start another query item.
    EXPECT_EQ(
        supportMailURL("Mivo feedback", std::string("a&b=c 日本")),
        "mailto:support@mivo.app?subject=Mivo%20feedback&body=a%26b%3Dc%20%E6%97%A5%E6%9C%AC");
    EXPECT_EQ(supportMailURL("", std::nullopt), std::nullopt);
}

class ScratchFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/mivo-scratch-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;  // mkdtemp makes it 0700
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(ScratchFileTest, CreatedPrivateOnceThenReopenedWithItsContent) {
    const auto first = prepareScratchFile({.runtimeDir = root.string(), .tempDir = {}});
    ASSERT_TRUE(first.has_value()) << first.error();
    EXPECT_EQ(*first, root / "Mivo Scratchpad.txt");
    struct stat info {};
    ASSERT_EQ(stat(first->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::ofstream(*first) << "今日は";
    const auto second = prepareScratchFile({.runtimeDir = root.string(), .tempDir = {}});
    ASSERT_TRUE(second.has_value());
    std::ifstream in(*second);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "今日は");
    EXPECT_EQ(fileURL(*second), "file://" + root.string() + "/Mivo%20Scratchpad.txt");
}

TEST_F(ScratchFileTest, PlantedLinksAndSharedFoldersAreRefused) {
    // A link planted where the file goes: never followed.
    fs::create_symlink("/etc/hostname", root / "Mivo Scratchpad.txt");
    EXPECT_FALSE(prepareScratchFile({.runtimeDir = root.string(), .tempDir = {}}).has_value());
    fs::remove(root / "Mivo Scratchpad.txt");

    // A runtime folder others can write is passed over for a private one.
    const fs::path shared = root / "shared";
    fs::create_directory(shared);
    chmod(shared.c_str(), 0777);
    const auto path = prepareScratchFile({.runtimeDir = shared.string(), .tempDir = root.string()});
    ASSERT_TRUE(path.has_value()) << path.error();
    EXPECT_EQ(path->parent_path(), root / ("mivo-" + std::to_string(geteuid())));

    // A private folder name already taken by a world-writable one: refused.
    const fs::path other = root / "other";
    fs::create_directories(other / ("mivo-" + std::to_string(geteuid())));
    chmod((other / ("mivo-" + std::to_string(geteuid()))).c_str(), 0777);
    EXPECT_FALSE(prepareScratchFile({.runtimeDir = {}, .tempDir = other.string()}).has_value());
}

}  // namespace
}  // namespace mivo

#include "app/accessibility_settings.hpp"

namespace mivo {
namespace {

TEST(AccessibilitySettings, KnownDesktopsWithTheirProgramInstalled) {
    const auto installed = [](std::string_view program) { return program != "systemsettings"; };
    using Command = std::optional<std::vector<std::string>>;
    EXPECT_EQ(accessibilitySettingsCommand("ubuntu:GNOME", installed),
              (Command{{"gnome-control-center", "universal-access"}}));
    EXPECT_EQ(accessibilitySettingsCommand("KDE", installed), std::nullopt);  // not installed
    EXPECT_EQ(accessibilitySettingsCommand("KDE", [](auto) { return true; }),
              (Command{{"systemsettings", "kcm_access"}}));
    EXPECT_EQ(accessibilitySettingsCommand("XFCE", installed), std::nullopt);
    EXPECT_EQ(accessibilitySettingsCommand("", installed), std::nullopt);
}

}  // namespace
}  // namespace mivo
