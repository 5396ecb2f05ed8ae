#include "platform/json_file_user_defaults.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../shared/planted_files.hpp"
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

// Whatever sits at the path, Mivo starts at once with its defaults, keeps the
// thing aside and writes a fresh private file; the target of a link that is
// not followed (here: into a folder every user can write) is never touched.
TEST_F(JsonFileUserDefaultsTest, AnythingButARegularFileIsKeptAsideWithoutBlockingOrGrowing) {
    using testing::Planted;
    fs::create_directories(root / "shared");
    ::chmod((root / "shared").c_str(), 0777);
    const fs::path elsewhere = root / "shared" / "elsewhere.json";
    const std::string elsewhereText = R"({"settings.application.mivoEnabled": false})";
    std::ofstream(elsewhere) << elsewhereText;
    for (const Planted kind : {Planted::namedPipe, Planted::linkToDevZero, Planted::folder,
                               Planted::oversized, Planted::linkToFile}) {
        SCOPED_TRACE(testing::nameOf(kind));
        fs::remove_all(file.parent_path());
        log.clear();
        testing::plant(kind, file, JsonFileUserDefaults::kMaxFileBytes + 1, elsewhere);
        JsonFileUserDefaults defaults(file, log);
        EXPECT_FALSE(defaults.object("settings.application.mivoEnabled"));
        EXPECT_EQ(log.count("; kept aside as " + file.string() + ".broken; using defaults"), 1u)
            << (log.lines().empty() ? "" : log.lines().front());

        defaults.set("settings.application.mivoEnabled", true);
        fs::path aside = file;
        aside += ".broken";
        EXPECT_TRUE(fs::exists(fs::symlink_status(aside)));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
        EXPECT_EQ(mode(file), 0600u);
        EXPECT_EQ(JsonFileUserDefaults(file, log).object("settings.application.mivoEnabled"),
                  DefaultsValue(true));
        EXPECT_EQ(readFile(elsewhere), elsewhereText);
    }
}

// A file that exists but cannot be read holds the user's settings: it is
// neither kept aside nor written over, however the settings change.
TEST_F(JsonFileUserDefaultsTest, AnUnreadableFileIsLeftUntouchedAndNothingIsWrittenOverIt) {
    const std::string text = R"({"settings.application.mivoEnabled": false})";
    writeFile(text);
    ::chmod(file.c_str(), 0);
    const std::string failure = testing::runUnprivileged(root, [&]() -> std::string {
        JsonFileUserDefaults defaults(file, log);
        if (defaults.object("settings.application.mivoEnabled"))
            return "a value was read from an unreadable file";
        if (log.count("defaults: cannot read " + file.string() +
                      ": Permission denied; using defaults and leaving the file untouched") != 1)
            return "no log line for the unreadable file";
        defaults.set("settings.application.mivoEnabled", true);
        if (defaults.object("settings.application.mivoEnabled") != DefaultsValue(true))
            return "the change was not kept for this run";
        if (!log.contains("defaults: not saved, because " + file.string() + " cannot be read"))
            return "no log line for the refused save";
        return {};
    });
    EXPECT_EQ(failure, "");
    ::chmod(file.c_str(), 0600);
    EXPECT_EQ(readFile(file), text);
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()),
              1);
}

// A settings folder that others can write, or that belongs to someone else
// (as /tmp/.config/Mivo would), is neither read nor written.
TEST_F(JsonFileUserDefaultsTest, AFolderOpenToOthersOrOfAnotherUserIsNotUsed) {
    const std::string text = R"({"settings.application.mivoEnabled": false})";
    struct Row {
        const char* what;
        mode_t mode;
        bool otherOwner;
    };
    for (const Row row : {Row{"open to all", 0777, false}, Row{"another user's", 0700, true}}) {
        SCOPED_TRACE(row.what);
        if (row.otherOwner && ::geteuid() != 0)
            continue;  // only root can give a folder away
        fs::remove_all(file.parent_path());
        log.clear();
        writeFile(text);
        ::chmod(file.parent_path().c_str(), row.mode);
        if (row.otherOwner) {
            ASSERT_EQ(::chown(file.parent_path().c_str(), testing::kNobody, testing::kNobody), 0);
        }
        JsonFileUserDefaults defaults(file, log);
        EXPECT_FALSE(defaults.object("settings.application.mivoEnabled"));
        EXPECT_TRUE(log.contains("defaults: not using " + file.string()));
        defaults.set("settings.application.mivoEnabled", true);
        EXPECT_EQ(readFile(file), text);
        EXPECT_EQ(
            std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);
    }
}

// A change that cannot be written is kept for the run, and the user is told
// once, with the folder and the system's reason; every failure is logged.
TEST_F(JsonFileUserDefaultsTest, AChangeThatCannotBeWrittenIsToldOnceWithTheFolder) {
    fs::create_directories(file.parent_path());
    ::chmod(file.parent_path().c_str(), 0500);
    const std::string failure = testing::runUnprivileged(root, [&]() -> std::string {
        JsonFileUserDefaults defaults(file, log);
        std::vector<std::string> told;
        defaults.onNotSaved = [&](const fs::path& folder, const std::string& reason) {
            told.push_back(folder.string() + " | " + reason);
        };
        defaults.set("settings.application.mivoEnabled", false);
        defaults.set("settings.application.mivoEnabled", true);
        if (told != std::vector<std::string>{file.parent_path().string() + " | Permission denied"})
            return "told " + std::to_string(told.size()) +
                   " times: " + (told.empty() ? std::string() : told.front());
        if (log.count("defaults: cannot write " + file.string() + ": Permission denied") != 2)
            return "not every failed write was logged";
        if (defaults.object("settings.application.mivoEnabled") != DefaultsValue(true))
            return "the change was not kept for this run";
        return {};
    });
    EXPECT_EQ(failure, "");
    ::chmod(file.parent_path().c_str(), 0700);
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(JsonFileUserDefaultsTest, WithoutAHomeFolderSettingsLastUntilQuitAndNothingIsWritten) {
    JsonFileUserDefaults defaults(fs::path(), log);
    defaults.set("settings.application.mivoEnabled", false);
    EXPECT_EQ(defaults.object("settings.application.mivoEnabled"), DefaultsValue(false));
    EXPECT_TRUE(log.contains("defaults: no home folder is known; settings last until Mivo quits"));
    EXPECT_TRUE(log.contains("defaults: not saved, because no home folder is known"));
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
    // Without HOME: the password database's home folder, never a shared one.
    unsetenv("XDG_CONFIG_HOME");
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative"}) {
        if (value)
            setenv("HOME", value, 1);
        else
            unsetenv("HOME");
        const fs::path path = JsonFileUserDefaults::defaultPath();
        EXPECT_TRUE(path.empty() || path.is_absolute()) << path;
        EXPECT_FALSE(path.string().starts_with("/tmp")) << path;
    }
    setenv("HOME", home.c_str(), 1);
    if (savedXdg)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace mivo
