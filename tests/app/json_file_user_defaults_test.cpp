#include "platform/json_file_user_defaults.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/sim/captured_log.hpp"

namespace mivo {
namespace {

namespace fs = std::filesystem;

class JsonFileUserDefaultsTest : public ::testing::Test {
  protected:
    JsonFileUserDefaultsTest() {
        std::string pattern = (fs::temp_directory_path() / "mivo-defaults-XXXXXX").string();
        root = mkdtemp(pattern.data());
        file = root / "config" / "Mivo" / "defaults.json";
    }
    ~JsonFileUserDefaultsTest() override { fs::remove_all(root); }

    void writeFile(const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    std::string readFile(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static unsigned mode(const fs::path& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 0777;
    }

    fs::path root;
    fs::path file;
    sim::CapturedLog log;
};

TEST_F(JsonFileUserDefaultsTest, EveryTypeSurvivesARelaunch) {
    const std::string bytes("\0\xff{\"a\"}\n", 8);
    {
        JsonFileUserDefaults defaults(file, log);
        defaults.set("flag", false);
        defaults.set("count", std::int64_t{-7});
        defaults.set("zero.fraction", 2.0);
        defaults.set("text", std::string("⌘⇧J"));
        defaults.set("blob", DefaultsData{bytes});
        defaults.set("gone", true);
        defaults.remove("gone");
    }
    JsonFileUserDefaults reread(file, log);
    EXPECT_EQ(reread.object("flag"), DefaultsValue(false));
    EXPECT_EQ(reread.object("count"), DefaultsValue(std::int64_t{-7}));
    EXPECT_EQ(reread.object("zero.fraction"), DefaultsValue(2.0));
    EXPECT_EQ(reread.object("text"), DefaultsValue(std::string("⌘⇧J")));
    EXPECT_EQ(reread.object("blob"), DefaultsValue(DefaultsData{bytes}));
    EXPECT_FALSE(reread.object("gone"));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(JsonFileUserDefaultsTest, FileIsTheUsersOnlyAndNoTemporaryFileStaysBehind) {
    JsonFileUserDefaults defaults(file, log);
    EXPECT_FALSE(fs::exists(file)) << "reading wrote a file";
    defaults.set("settings.application.mivoEnabled", false);
    EXPECT_EQ(mode(file), 0600u);
    EXPECT_EQ(mode(file.parent_path()), 0700u);
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()),
              1);
    EXPECT_NE(readFile(file).find("\"settings.application.mivoEnabled\": false"),
              std::string::npos);
}

TEST_F(JsonFileUserDefaultsTest, BrokenFileIsKeptAsideAndDefaultsApply) {
    writeFile("{\"settings.application.mivoEnabled\": fal");
    JsonFileUserDefaults defaults(file, log);
    EXPECT_FALSE(defaults.object("settings.application.mivoEnabled"));
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.contains("[Mivo][Settings] defaults: "));
    fs::path aside = file;
    aside += ".broken";
    EXPECT_EQ(readFile(aside), "{\"settings.application.mivoEnabled\": fal");

    defaults.set("settings.tone.hotKey", DefaultsData{"{}"});
    EXPECT_EQ(JsonFileUserDefaults(file, log).data("settings.tone.hotKey"), DefaultsData{"{}"});
    EXPECT_EQ(readFile(aside), "{\"settings.application.mivoEnabled\": fal") << "aside overwritten";
}

// Files written by hand or by another version: what each entry reads as.
TEST(DefaultsFileTest, EntriesThatAreNoValueOfOursAreLeftOut) {
    const auto values = decodeDefaultsFile(R"({
        "bool": true, "int": 3, "big": 18446744073709551615, "fraction": 0.5, "text": "x",
        "data": {"data": "AAE="}, "noPadding": {"data": "AAE"}, "badLetter": {"data": "A*=="},
        "twoKeys": {"data": "AA==", "x": 1}, "list": [1], "nothing": null})");
    ASSERT_TRUE(values);
    const std::map<std::string, DefaultsValue, std::less<>> expected{
        {"bool", true},
        {"int", std::int64_t{3}},
        {"big", 18446744073709551615.0},
        {"fraction", 0.5},
        {"text", std::string("x")},
        {"data", DefaultsData{std::string("\0\1", 2)}},
    };
    EXPECT_EQ(*values, expected);
    EXPECT_FALSE(decodeDefaultsFile("[]"));
    EXPECT_FALSE(decodeDefaultsFile("\"text\""));
    EXPECT_FALSE(decodeDefaultsFile(""));
}

TEST(DefaultsFileTest, DataOfEveryLengthRoundTrips) {
    std::string bytes;
    for (int n = 0; n <= 7; ++n) {
        const std::map<std::string, DefaultsValue, std::less<>> values{{"k", DefaultsData{bytes}}};
        EXPECT_EQ(decodeDefaultsFile(encodeDefaultsFile(values)), values) << n << " bytes";
        bytes += static_cast<char>(0xf0 + n);
    }
    EXPECT_NE(encodeDefaultsFile({{"k", DefaultsData{"Mivo"}}}).find("\"TWl2bw==\""),
              std::string::npos);
}

TEST(DefaultsFileTest, PathFollowsXdgConfigHome) {
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = savedXdg ? savedXdg : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "/etc/xdg-test", 1);
    EXPECT_EQ(JsonFileUserDefaults::defaultPath(), fs::path("/etc/xdg-test/Mivo/defaults.json"));
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(JsonFileUserDefaults::defaultPath(),
              fs::path(home) / ".config" / "Mivo" / "defaults.json");
    if (savedXdg)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace mivo
