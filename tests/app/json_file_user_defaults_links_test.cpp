// A settings file that the user's dotfiles manager links elsewhere: followed
// and written through when every piece of the way is the user's own, kept
// aside like any stranger otherwise. Real files and links in a temporary
// folder.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>

#include "../shared/planted_files.hpp"
#include "platform/json_file_user_defaults.hpp"
#include "platform/sim/captured_log.hpp"

namespace mivo {
namespace {

namespace fs = std::filesystem;

constexpr const char* kKey = "settings.application.mivoEnabled";
const std::string kStoredOff = R"({"settings.application.mivoEnabled": false})";

class SettingsLinkTest : public ::testing::Test {
  protected:
    SettingsLinkTest() {
        std::string pattern = (fs::temp_directory_path() / "mivo-links-XXXXXX").string();
        root = mkdtemp(pattern.data());
        file = root / "config" / "Mivo" / "defaults.json";
        dotfiles = root / "dotfiles" / "mivo" / "defaults.json";
        fs::create_directories(file.parent_path());
        fs::create_directories(dotfiles.parent_path());
    }
    ~SettingsLinkTest() override { fs::remove_all(root); }

    static std::string readFile(const fs::path& p) {
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
    static std::size_t entries(const fs::path& folder) {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
    fs::path broken(const fs::path& p) const {
        fs::path aside = p;
        aside += ".broken";
        return aside;
    }

    fs::path root;
    fs::path file;
    fs::path dotfiles;
    sim::CapturedLog log;
};

struct FollowedCase {
    const char* name;
    // Makes the link (or links) at `file` that lead to `dotfiles`.
    std::function<void(const fs::path& root, const fs::path& file, const fs::path& dotfiles)> link;
};

void PrintTo(const FollowedCase& c, std::ostream* os) {
    *os << c.name;
}

class FollowedLink : public SettingsLinkTest, public ::testing::WithParamInterface<FollowedCase> {};

TEST_P(FollowedLink, IsReadAndWrittenThroughWithTheLinkKept) {
    std::ofstream(dotfiles) << kStoredOff;
    GetParam().link(root, file, dotfiles);
    const fs::path linkTarget = fs::read_symlink(file);

    JsonFileUserDefaults defaults(file, log);
    EXPECT_EQ(defaults.object(kKey), DefaultsValue(false));
    EXPECT_TRUE(log.lines().empty()) << log.lines().front();

    defaults.set(kKey, true);
    ASSERT_TRUE(fs::is_symlink(fs::symlink_status(file))) << "the link was replaced";
    EXPECT_EQ(fs::read_symlink(file), linkTarget);
    EXPECT_NE(readFile(dotfiles).find("\"settings.application.mivoEnabled\": true"),
              std::string::npos)
        << readFile(dotfiles);
    EXPECT_EQ(mode(dotfiles), 0600u);
    // Replaced in its own folder: no temporary file stays beside it, and
    // nothing but the link sits in the settings folder.
    EXPECT_EQ(entries(dotfiles.parent_path()), 1u);
    EXPECT_EQ(entries(file.parent_path()), 1u);
    EXPECT_EQ(JsonFileUserDefaults(file, log).object(kKey), DefaultsValue(true));
    EXPECT_TRUE(log.lines().empty()) << log.lines().front();
}

INSTANTIATE_TEST_SUITE_P(
    Links, FollowedLink,
    ::testing::Values(
        FollowedCase{"Absolute",
                     [](const fs::path&, const fs::path& file, const fs::path& dotfiles) {
                         fs::create_symlink(dotfiles, file);
                     }},
        FollowedCase{"Relative",
                     [](const fs::path&, const fs::path& file, const fs::path&) {
                         fs::create_symlink("../../dotfiles/mivo/defaults.json", file);
                     }},
        FollowedCase{"ThroughASecondLink",
                     [](const fs::path& root, const fs::path& file, const fs::path& dotfiles) {
                         fs::create_directories(root / "stow");
                         fs::create_symlink(dotfiles, root / "stow" / "defaults.json");
                         fs::create_symlink(root / "stow" / "defaults.json", file);
                     }}),
    [](const auto& info) { return std::string(info.param.name); });

// Linked to a file that is not there yet (a fresh dotfiles checkout): the
// first launch's defaults, and the first change makes the file there.
TEST_F(SettingsLinkTest, ALinkToAFileNotYetMadeIsAFirstLaunch) {
    fs::create_symlink(dotfiles, file);
    JsonFileUserDefaults defaults(file, log);
    EXPECT_FALSE(defaults.object(kKey));
    EXPECT_TRUE(log.lines().empty()) << log.lines().front();
    defaults.set(kKey, false);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file)));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dotfiles)));
    EXPECT_EQ(JsonFileUserDefaults(file, log).object(kKey), DefaultsValue(false));
}

// A linked file that does not parse is kept aside beside itself; the link
// stays, and the next change writes a fresh file through it.
TEST_F(SettingsLinkTest, ABrokenLinkedFileIsKeptAsideBesideItself) {
    std::ofstream(dotfiles) << "{\"settings.application.mivoEnabled\": fal";
    fs::create_symlink(dotfiles, file);
    JsonFileUserDefaults defaults(file, log);
    EXPECT_FALSE(defaults.object(kKey));
    EXPECT_EQ(log.count("(linked to " + dotfiles.string() + ") does not parse; kept aside as " +
                        broken(dotfiles).string()),
              1u)
        << log.lines().front();
    EXPECT_EQ(readFile(broken(dotfiles)), "{\"settings.application.mivoEnabled\": fal");
    defaults.set(kKey, true);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file)));
    EXPECT_EQ(JsonFileUserDefaults(file, log).object(kKey), DefaultsValue(true));
}

struct RefusedCase {
    const char* name;
    bool needsRoot;  // only root can give a file away
    // Plants a link at `file` that must not be followed; the file that the
    // link leads to holds kStoredOff, if there is one.
    std::function<void(const fs::path& root, const fs::path& file, const fs::path& dotfiles)> plant;
    // What the log says the path is.
    const char* said;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusedLink : public SettingsLinkTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedLink, IsKeptAsideAndWhatItLeadsToIsNeverTouched) {
    const RefusedCase& c = GetParam();
    if (c.needsRoot && ::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    std::ofstream(dotfiles) << kStoredOff;
    c.plant(root, file, dotfiles);

    JsonFileUserDefaults defaults(file, log);
    EXPECT_FALSE(defaults.object(kKey));
    ASSERT_EQ(log.lines().size(), 1u);
    const std::string& line = log.lines().front();
    EXPECT_NE(line.find(file.string() + " is " + c.said), std::string::npos) << line;
    EXPECT_NE(line.find(", not a settings file; kept aside as " + broken(file).string()),
              std::string::npos)
        << line;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(broken(file))));

    defaults.set(kKey, true);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
    EXPECT_EQ(readFile(dotfiles), kStoredOff);
}

INSTANTIATE_TEST_SUITE_P(
    Links, RefusedLink,
    ::testing::Values(
        RefusedCase{"TargetInAFolderEveryoneCanWrite", false,
                    [](const fs::path&, const fs::path& file, const fs::path& dotfiles) {
                        ::chmod(dotfiles.parent_path().c_str(), 0777);
                        fs::create_symlink(dotfiles, file);
                    },
                    "a link into a folder not the user's own"},
        RefusedCase{"TargetOfAnotherUser", true,
                    [](const fs::path&, const fs::path& file, const fs::path& dotfiles) {
                        ASSERT_EQ(::chown(dotfiles.c_str(), testing::kNobody, testing::kNobody), 0);
                        fs::create_symlink(dotfiles, file);
                    },
                    "a link to another user's file"},
        RefusedCase{"LinkOfAnotherUser", true,
                    [](const fs::path&, const fs::path& file, const fs::path& dotfiles) {
                        fs::create_symlink(dotfiles, file);
                        ASSERT_EQ(::lchown(file.c_str(), testing::kNobody, testing::kNobody), 0);
                    },
                    "another user's link"},
        RefusedCase{"SecondLinkInAFolderEveryoneCanWrite", false,
                    [](const fs::path& root, const fs::path& file, const fs::path& dotfiles) {
                        fs::create_directories(root / "open");
                        ::chmod((root / "open").c_str(), 0777);
                        fs::create_symlink(dotfiles, root / "open" / "defaults.json");
                        fs::create_symlink(root / "open" / "defaults.json", file);
                    },
                    "a link into a folder not the user's own"},
        RefusedCase{"LinkToAFolder", false,
                    [](const fs::path&, const fs::path& file, const fs::path& dotfiles) {
                        fs::create_symlink(dotfiles.parent_path(), file);
                    },
                    "a link to a folder"},
        RefusedCase{"LinkToItself", false,
                    [](const fs::path&, const fs::path& file, const fs::path&) {
                        fs::create_symlink(file, file);
                    },
                    "a chain of links too long to follow"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mivo
