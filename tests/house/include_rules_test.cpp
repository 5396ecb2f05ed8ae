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

TEST(HouseRules, NoIncludeInTheTreeBreaksTheRules) {
    const auto models = modelFilesOfThisBuild();
    ASSERT_GT(models.size(), 50u) << "the list of plain C++ sources was not written";
    const auto breaches = breachesIn(MIVO_SOURCE_DIR "/src", houseRules(), models);
    EXPECT_TRUE(breaches.empty()) << describe(breaches);
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
                    FolderCase{"platform/linux/x11_connection.cpp", "platform/linux"},
                    FolderCase{"platform/linux/atspi/bus.cpp", "platform/linux"},
                    FolderCase{"platform/sim/sim_desktop.cpp", "platform/sim"},
                    FolderCase{"correction/rules/keigo_misuse_rule.cpp", "correction"},
                    FolderCase{"main.cpp", ""}));

struct HeaderCase {
    const char* header;
    bool toolkit;
};

class ToolkitHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(ToolkitHeader, IsRecognised) {
    EXPECT_EQ(isToolkitHeader(GetParam().header), GetParam().toolkit) << GetParam().header;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ToolkitHeader,
    testing::Values(HeaderCase{"QWidget", true}, HeaderCase{"QtCore/QString", true},
                    HeaderCase{"X11/Xlib.h", true}, HeaderCase{"xcb/xcb.h", true},
                    HeaderCase{"atspi/atspi.h", true}, HeaderCase{"glib.h", true},
                    HeaderCase{"glib-object.h", true}, HeaderCase{"libsecret/secret.h", true},
                    HeaderCase{"queue", false}, HeaderCase{"string", false},
                    HeaderCase{"mecab.h", false}, HeaderCase{"nlohmann/json.hpp", false}));

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
        return breachesIn(root_, rules_, models);
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
    EXPECT_EQ(found[0].what, "toolkit header <QTimer>");
}

}  // namespace
}  // namespace mivo::house
