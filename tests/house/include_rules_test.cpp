#include "include_rules.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace mivo::house {
namespace {

std::string describe(const std::vector<Breach>& breaches) {
    std::ostringstream text;
    for (const auto& breach : breaches)
        text << "\n  src/" << breach.file << ":" << breach.line << ": " << breach.what;
    return text.str();
}

std::vector<std::string> modelFilesOfThisBuild() {
    // One path below src/ per line, written by the build from the sources
    // of every library that must build without a display.
    std::ifstream in(MIVO_MODEL_SOURCES_LIST);
    std::vector<std::string> files;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty())
            files.push_back(line);
    }
    return files;
}

const HeaderOrigins& originsOfThisMachine() {
    static const HeaderOrigins origins = [] {
        std::vector<std::string> searchPath;
        std::istringstream dirs(MIVO_COMPILER_INCLUDE_DIRS);
        for (std::string dir; std::getline(dirs, dir, ':');)
            searchPath.push_back(dir);
        return HeaderOrigins::ofThisMachine(searchPath);
    }();
    return origins;
}

TEST(HouseRules, NoIncludeInTheTreeBreaksTheRules) {
    const auto models = modelFilesOfThisBuild();
    ASSERT_GT(models.size(), 50u) << "the list of plain C++ sources was not written";
    ASSERT_GT(originsOfThisMachine().size(), 1000u) << "the package database was not read";
    const auto breaches =
        breachesIn(MIVO_SOURCE_DIR "/src", houseRules(), models, originsOfThisMachine());
    EXPECT_TRUE(breaches.empty()) << describe(breaches);
}

TEST(HouseRules, NoRowAllowsMoreThanItsFolderUses) {
    const auto slack = slackIn(MIVO_SOURCE_DIR "/src", houseRules(), originsOfThisMachine());
    std::string text;
    for (const auto& line : slack)
        text += "\n  " + line;
    EXPECT_TRUE(slack.empty()) << text;
}

struct FolderCase {
    const char* path;
    const char* folder;
};

class FolderOf : public testing::TestWithParam<FolderCase> {};

TEST_P(FolderOf, NamesTheRowThatHoldsAFile) {
    EXPECT_EQ(folderOf(GetParam().path), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FolderOf,
    testing::Values(FolderCase{"monitor/replacement_ladder.cpp", "monitor"},
                    FolderCase{"platform/accessibility.hpp", "platform"},
                    FolderCase{"platform/linux/key_typing.cpp", "platform/linux"},
                    FolderCase{"platform/linux/atspi/bus.cpp", "platform/linux/atspi"},
                    FolderCase{"platform/linux/x11/x11_connection.cpp", "platform/linux/x11"},
                    FolderCase{"platform/sim/sim_desktop.cpp", "platform/sim"},
                    FolderCase{"correction/rules/keigo_misuse_rule.cpp", "correction"},
                    FolderCase{"main.cpp", ""}));

// A few installed headers, as the package database lists them.
HeaderOrigins fewPackages() {
    return HeaderOrigins({"/usr/include/c++/12", "/usr/include/x86_64-linux-gnu", "/usr/include"},
                         {{"/usr/include/c++/12/vector", "libstdc++-12-dev"},
                          {"/usr/include/c++/12/queue", "libstdc++-12-dev"},
                          {"/usr/include/c++/12/string", "libstdc++-12-dev"},
                          {"/usr/include/x86_64-linux-gnu/sys/socket.h", "libc6-dev"},
                          {"/usr/include/unistd.h", "libc6-dev"},
                          {"/usr/include/mecab.h", "libmecab-dev"},
                          {"/usr/include/unicode/uchar.h", "libicu-dev"},
                          {"/usr/include/nlohmann/json.hpp", "nlohmann-json3-dev"},
                          {"/usr/include/x86_64-linux-gnu/qt6/QtWidgets/QWidget", "qt6-base-dev"},
                          {"/usr/include/x86_64-linux-gnu/qt6/QtCore/QTimer", "qt6-base-dev"},
                          {"/usr/include/x86_64-linux-gnu/qt6/QtCore/QString", "qt6-base-dev"},
                          {"/usr/include/x86_64-linux-gnu/qt6/QtGui/QColor", "qt6-base-dev"},
                          {"/usr/include/X11/Xlib.h", "libx11-dev"},
                          {"/usr/include/xkbcommon/xkbcommon.h", "libxkbcommon-dev"},
                          {"/usr/include/glib-2.0/glib.h", "libglib2.0-dev"},
                          // Namesakes of standard headers in other libraries' folders.
                          {"/usr/include/x86_64-linux-gnu/qt6/QtCore/string", "qt6-base-dev"},
                          {"/usr/include/other/sys/socket.h", "libother-dev"}});
}

struct HeaderCase {
    const char* header;
    const char* toolkit;  // nullptr: none
};

class ToolkitOf : public testing::TestWithParam<HeaderCase> {};

TEST_P(ToolkitOf, NamesThePackageAHeaderComesFrom) {
    const auto toolkit = toolkitOf(GetParam().header, fewPackages());
    EXPECT_EQ(toolkit.value_or("none"), GetParam().toolkit ? GetParam().toolkit : "none");
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ToolkitOf,
    testing::Values(HeaderCase{"vector", nullptr}, HeaderCase{"queue", nullptr},
                    HeaderCase{"sys/socket.h", nullptr}, HeaderCase{"unistd.h", nullptr},
                    HeaderCase{"mecab.h", nullptr}, HeaderCase{"unicode/uchar.h", nullptr},
                    HeaderCase{"nlohmann/json.hpp", nullptr},
                    // Found where the compiler looks first, not by a namesake.
                    HeaderCase{"string", nullptr}, HeaderCase{"QWidget", "qt6-base-dev"},
                    HeaderCase{"QtWidgets/QWidget", "qt6-base-dev"},
                    HeaderCase{"X11/Xlib.h", "libx11-dev"},
                    HeaderCase{"xkbcommon/xkbcommon.h", "libxkbcommon-dev"},
                    HeaderCase{"glib.h", "libglib2.0-dev"},
                    // Of namesakes outside the search path, a toolkit's wins.
                    HeaderCase{"socket.h", "libother-dev"},
                    HeaderCase{"gone/away.h", "no installed package"}));

// The same questions put to this machine's package database, for the
// libraries every build of the house needs.
class ToolkitOfThisMachine : public testing::TestWithParam<HeaderCase> {};

TEST_P(ToolkitOfThisMachine, NamesThePackageAHeaderComesFrom) {
    const auto toolkit = toolkitOf(GetParam().header, originsOfThisMachine());
    EXPECT_EQ(toolkit.value_or("none"), GetParam().toolkit ? GetParam().toolkit : "none");
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ToolkitOfThisMachine,
    testing::Values(HeaderCase{"string", nullptr}, HeaderCase{"cstddef", nullptr},
                    HeaderCase{"fcntl.h", nullptr}, HeaderCase{"sys/socket.h", nullptr},
                    HeaderCase{"mecab.h", nullptr}, HeaderCase{"unicode/brkiter.h", nullptr},
                    HeaderCase{"nlohmann/json_fwd.hpp", nullptr},
                    HeaderCase{"openssl/sha.h", nullptr}, HeaderCase{"QWidget", "qt6-base-dev"},
                    HeaderCase{"atspi/atspi.h", "libatspi2.0-dev"},
                    HeaderCase{"libsecret/secret.h", "libsecret-1-dev"},
                    HeaderCase{"X11/extensions/XTest.h", "libxtst-dev"}));

// A small tree on disk for each case, so the walk over real files is what
// is checked.
class RulesOverATree : public testing::Test {
  protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("mivo-house-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    void write(const std::string& below, const std::string& text) {
        const auto path = root_ / below;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    std::vector<Breach> breaches(const std::vector<std::string>& models = {}) {
        return breachesIn(root_, rules_, models, fewPackages());
    }

    std::filesystem::path root_;
    std::vector<FolderRule> rules_{{"shared", {}, Toolkit::None},
                                   {"monitor", {"shared"}, Toolkit::None},
                                   {"overlay", {"shared"}, Toolkit::ViewsOnly},
                                   {"ui", {"shared"}, Toolkit::Anywhere}};
};

TEST_F(RulesOverATree, FindsEachKindOfBreach) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> models;
        std::vector<std::string> breachingFiles;
    };
    const std::vector<Case> cases{
        {"a folder below names one above",
         {{"shared/a.hpp", "#include \"monitor/b.hpp\"\n"}, {"monitor/b.hpp", ""}},
         {},
         {"shared/a.hpp"}},
        {"a folder names one that is not in its row",
         {{"monitor/a.cpp", "#include \"overlay/v.hpp\"\n"}, {"overlay/v.hpp", ""}},
         {},
         {"monitor/a.cpp"}},
        {"a plain folder includes Qt",
         {{"monitor/a.cpp", "#include <QString>\n"}},
         {},
         {"monitor/a.cpp"}},
        {"a view includes Qt", {{"overlay/view.cpp", "#include <QWidget>\n"}}, {}, {}},
        {"a model file includes X11",
         {{"overlay/model.cpp", "  #  include <X11/Xlib.h>\n"}},
         {"overlay/model.cpp"},
         {"overlay/model.cpp"}},
        {"a model reaches Qt through a header of its own folder",
         {{"overlay/model.cpp", "#include \"overlay/model_parts.hpp\"\n"},
          {"overlay/model_parts.hpp", "#include <QColor>\n"}},
         {"overlay/model.cpp"},
         {"overlay/model_parts.hpp"}},
        {"a model reaches Qt through a header beside it",
         {{"overlay/model.cpp", "#include \"parts.hpp\"\n"},
          {"overlay/parts.hpp", "#include <QColor>\n"}},
         {"overlay/model.cpp"},
         {"overlay/parts.hpp"}},
        {"a folder with no row", {{"stray/a.cpp", ""}}, {}, {"stray/a.cpp"}},
        {"a plain folder includes a toolkit no list names",
         {{"monitor/a.cpp", "#include <xkbcommon/xkbcommon.h>\n"}},
         {},
         {"monitor/a.cpp"}},
        {"a plain folder includes a header no package holds",
         {{"monitor/a.cpp", "#include <gone/away.h>\n"}},
         {},
         {"monitor/a.cpp"}},
        {"a plain folder writes a toolkit header in quotes",
         {{"monitor/a.cpp", "#include \"QWidget\"\n"}},
         {},
         {"monitor/a.cpp"}},
        {"a plain folder's file of another extension includes Qt",
         {{"monitor/table.inc", "#include <QString>\n"}},
         {},
         {"monitor/table.inc"}},
        {"a folder names one above in angle brackets",
         {{"shared/a.hpp", "#include <monitor/b.hpp>\n"}, {"monitor/b.hpp", ""}},
         {},
         {"shared/a.hpp"}},
        {"standard and third-party headers are free",
         {{"shared/a.cpp",
           "#include <vector>\n#include \"nlohmann/json.hpp\"\n#include \"a.hpp\"\n"},
          {"shared/a.hpp", ""}},
         {"shared/a.cpp"},
         {}},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(root_);
        for (const auto& [path, text] : c.files)
            write(path, text);
        std::vector<std::string> found;
        for (const auto& breach : breaches(c.models))
            found.push_back(breach.file);
        EXPECT_EQ(found, c.breachingFiles) << c.name;
    }
}

TEST_F(RulesOverATree, ABreachNamesItsLine) {
    write("monitor/a.cpp", "#include <vector>\n\n#include <QTimer>\n");
    const auto found = breaches();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].line, 3);
    EXPECT_EQ(found[0].what, "toolkit header <QTimer> from qt6-base-dev");
}

TEST_F(RulesOverATree, FindsWhatARowAllowsAndItsFolderNeverUses) {
    write("shared/a.hpp", "#include <vector>\n");
    write("monitor/a.cpp", "#include \"shared/a.hpp\"\n");
    write("overlay/view.cpp", "#include \"overlay/model.hpp\"\n");
    write("overlay/model.hpp", "");
    write("ui/edge.cpp", "#include <QWidget>\n#include \"shared/a.hpp\"\n");
    EXPECT_EQ(slackIn(root_, rules_, fewPackages()),
              (std::vector<std::string>{"overlay may include shared/ and never does",
                                        "overlay may include a toolkit and never does"}));
}

}  // namespace
}  // namespace mivo::house
