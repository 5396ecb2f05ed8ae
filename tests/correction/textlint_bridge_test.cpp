#include "correction/textlint/textlint_japanese_bridge.hpp"
#include "shared/resource_bundle.hpp"
#include "textlint_stand_in.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace mivo {
namespace {
namespace fs = std::filesystem;
using std::chrono::milliseconds;
using testing::StandInTextlint;

std::vector<TextlintMessage> echo(std::string_view text) {
    return {TextlintMessage{"stand-in/echo", std::string(text), 0, {0, 1}}};
}

// --- enablement -------------------------------------------------------------

TEST(TextlintBridgeEnablement, VariableDecidesEitherWay) {
    struct Row {
        std::optional<std::string_view> variable;
        bool installedCopy;
        bool enabled;
    };
    const Row rows[] = {
        {" Yes ", true, true},  // trimmed and lowercased, also in an installed copy
        {"on\n", false, true},
        {"\tyes\u3000", false, true},  // an ideographic space is white
                                       // space too
        {"0", false, false},           // off even in a build tree
        {"", false, false},
        {"no", false, false},
        {"y es", false, false},
        {std::nullopt, false, true},  // unset: on in a build or source tree
        {std::nullopt, true, false},  // unset: off in an installed copy
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.variable ? "\"" + std::string(*row.variable) + "\"" : "unset");
        SCOPED_TRACE(row.installedCopy ? "installed copy" : "build tree");
        EXPECT_EQ(TextlintJapaneseBridge::enabledFor(row.variable, row.installedCopy), row.enabled);
    }
}

// --- finding the package folder ---------------------------------------------

class TextlintPackageRoot : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "mivo-textlint-root-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override { fs::remove_all(root); }
    void touch(const fs::path& file) const {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "{}";
    }
    fs::path root;
};

TEST_F(TextlintPackageRoot, TheFirstCandidateWithBothFilesWinsAndNothingAboveIt) {
    touch(root / "a" / ".textlintrc.json");  // no package.json beside it
    touch(root / "b" / "package.json");
    touch(root / "b" / ".textlintrc.json");
    touch(root / "c" / "package.json");
    touch(root / "c" / ".textlintrc.json");
    EXPECT_EQ(TextlintJapaneseBridge::findPackageRoot({root / "a", root / "b", root / "c"}),
              root / "b");
    // A candidate's parent holding the package does not make it one.
    EXPECT_EQ(TextlintJapaneseBridge::findPackageRoot({root / "b" / "d"}), std::nullopt);
    // A build finds the source tree's package.
    const auto folders = TextlintJapaneseBridge::defaultPackageFolders();
    EXPECT_EQ(folders.back(), sourceResourcesFolder().parent_path() / "tools" / "textlint");
}

TEST_F(TextlintPackageRoot, TheWorkingFolderAndItsAncestorsAreNeverSearched) {
    // Mivo must not run node in whatever folder it was started from.
    touch(root / "package.json");
    touch(root / ".textlintrc.json");
    fs::create_directories(root / "a");
    const fs::path before = fs::current_path();
    for (const fs::path& folder : {root, root / "a"}) {
        fs::current_path(folder);
        const auto found = TextlintJapaneseBridge::findPackageRoot();
        fs::current_path(before);
        EXPECT_NE(found, root) << folder;
    }
}

// --- when no child may start -------------------------------------------------

TEST(TextlintBridgeUnavailable, YieldsNothingAndStartsNoChild) {
    struct Row {
        const char* what;
        void (*change)(const StandInTextlint&, TextlintJapaneseBridge::Settings&);
    };
    const Row rows[] = {
        {"disabled", [](const StandInTextlint&, auto& s) { s.enabled = false; }},
        {"no package folder among the candidates",
         [](const StandInTextlint& t, auto& s) {
             fs::create_directories(t.root / "elsewhere");
             s.packageFolders = std::vector<fs::path>{t.root / "elsewhere", t.root};
         }},
        {"no textlint executable",
         [](const StandInTextlint& t, auto&) {
             fs::remove(t.packageRoot / "node_modules" / ".bin" / "textlint");
         }},
        {"no script", [](const StandInTextlint& t, auto&) { fs::remove(t.scriptPath); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        StandInTextlint standIn;
        auto settings = standIn.settings();
        row.change(standIn, settings);
        TextlintJapaneseBridge bridge(settings);
        EXPECT_FALSE(bridge.isAvailable());
        EXPECT_TRUE(bridge.lint("この服は見れる。").empty());
        EXPECT_EQ(standIn.starts(), 0);
    }
}

// --- exchanges and the cache ---------------------------------------------------

TEST(TextlintBridge, AnswersFromTheChildThenFromTheCacheWithoutAWrite) {
    StandInTextlint standIn;
    TextlintJapaneseBridge bridge(standIn.settings());
    ASSERT_TRUE(bridge.isAvailable());
    EXPECT_EQ(bridge.lint("この服は見れる。"), echo("この服は見れる。"));
    EXPECT_EQ(standIn.requests(), 1);
    EXPECT_EQ(bridge.lint("この服は見れる。"), echo("この服は見れる。"));
    EXPECT_EQ(standIn.requests(), 1);
    // One child serves every sentence.
    EXPECT_EQ(bridge.lint("二行\nの文"), echo("二行\nの文"));
    EXPECT_EQ(standIn.requests(), 2);
    EXPECT_EQ(standIn.starts(), 1);
}

TEST(TextlintBridge, The129thTextEmptiesTheCache) {
    StandInTextlint standIn;
    TextlintJapaneseBridge bridge(standIn.settings());
    for (int i = 0; i < 128; ++i)
        bridge.lint("文" + std::to_string(i));
    ASSERT_EQ(standIn.requests(), 128);
    bridge.lint("文0");  // 128 entries are still kept
    EXPECT_EQ(standIn.requests(), 128);
    bridge.lint("文128");  // the 129th goes in and empties the cache, itself included
    bridge.lint("文128");
    bridge.lint("文0");
    EXPECT_EQ(standIn.requests(), 131);
}

TEST(TextlintBridge, AnswersThatAreNotCached) {
    struct Row {
        const char* text;
        const char* why;
    };
    const Row rows[] = {
        {"error:node failed", "an error"},
        {R"(raw:{"messages":[{"ruleId":"x","message":"m","range":[0,1]}]})",
         "a message without index makes the line undecodable"},
        {R"(raw:{"id":7,"messages":[]})", "an id that is not a string"},
        {"raw:not json", "not JSON"},
    };
    StandInTextlint standIn;
    TextlintJapaneseBridge bridge(standIn.settings());
    int requests = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_TRUE(bridge.lint(row.text).empty());
        EXPECT_TRUE(bridge.lint(row.text).empty());
        requests += 2;
        EXPECT_EQ(standIn.requests(), requests);  // sent again, not cached
    }
    // None of these cost the child: the lines still pair up.
    EXPECT_EQ(standIn.starts(), 1);
}

TEST(TextlintBridge, AnswersWithoutMessagesAreCachedAsEmpty) {
    StandInTextlint standIn;
    TextlintJapaneseBridge bridge(standIn.settings());
    for (const char* text : {"raw:{}", R"(raw:{"messages":null,"other":1})"}) {
        SCOPED_TRACE(text);
        const int before = standIn.requests();
        EXPECT_TRUE(bridge.lint(text).empty());
        EXPECT_TRUE(bridge.lint(text).empty());
        EXPECT_EQ(standIn.requests(), before + 1);
    }
}

TEST(TextlintBridge, PassesMessagesThroughInOrder) {
    StandInTextlint standIn;
    standIn.setAnswers(
        {{"見れる",
          nlohmann::json::array({
              {{"ruleId", "a"}, {"message", "1"}, {"index", 1}, {"range", {1, 2}}, {"line", 1}},
              {{"ruleId", "b"}, {"message", "2"}, {"index", -3}, {"range", {4, 5, 6}}},
          })}});
    TextlintJapaneseBridge bridge(standIn.settings());
    const std::vector<TextlintMessage> expected = {{"a", "1", 1, {1, 2}},
                                                   {"b", "2", -3, {4, 5, 6}}};
    EXPECT_EQ(bridge.lint("見れる"), expected);
}

// --- children that misbehave ------------------------------------------------

TEST(TextlintBridge, AHangingChildIsEndedAfterTheBoundAndTheNextRequestWorks) {
    StandInTextlint standIn;
    TextlintJapaneseBridge bridge(standIn.settings(milliseconds(150)));
    ASSERT_EQ(bridge.lint("一"), echo("一"));

    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(bridge.lint("hang").empty());
    // The warm child's bound applied, not the first answer's ten seconds.
    EXPECT_LT(std::chrono::steady_clock::now() - before, milliseconds(5'000));

    EXPECT_EQ(bridge.lint("二"), echo("二"));
    EXPECT_EQ(standIn.starts(), 2);
    // The hang was not cached: asked again, it is written again.
    bridge.lint("hang");
    EXPECT_EQ(standIn.requests(), 4);
}

TEST(TextlintBridge, AChildWritingOneEndlessLineIsEndedAndTheNextRequestWorks) {
    StandInTextlint standIn;
    TextlintJapaneseBridge bridge(standIn.settings(milliseconds(300)));
    ASSERT_EQ(bridge.lint("一"), echo("一"));
    EXPECT_TRUE(bridge.lint("endless").empty());
    EXPECT_EQ(bridge.lint("二"), echo("二"));
    EXPECT_EQ(standIn.starts(), 2);
}

TEST(TextlintBridge, TheFirstAnswerIsBoundedToo) {
    StandInTextlint standIn;
    auto settings = standIn.settings();
    settings.firstAnswerTimeout = milliseconds(300);
    TextlintJapaneseBridge bridge(settings);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(bridge.lint("hang").empty());
    EXPECT_LT(std::chrono::steady_clock::now() - before, milliseconds(5'000));
}

TEST(TextlintBridge, AChildThatExitedIsReplaced) {
    StandInTextlint standIn;
    TextlintJapaneseBridge bridge(standIn.settings());
    EXPECT_EQ(bridge.lint("then exit 1"), echo("then exit 1"));
    // Whether the next request finds the child already gone or only notices
    // it on the pipe, it is answered by a new child.
    EXPECT_EQ(bridge.lint("一"), echo("一"));
    EXPECT_EQ(standIn.starts(), 2);
    // One that exits without answering yields nothing, and is replaced too.
    EXPECT_TRUE(bridge.lint("exit").empty());
    EXPECT_EQ(bridge.lint("二"), echo("二"));
}

TEST(TextlintBridge, AMismatchedIdYieldsNothingAndTheNextAnswerIsTheRightOne) {
    StandInTextlint standIn;
    TextlintJapaneseBridge bridge(standIn.settings());
    EXPECT_TRUE(bridge.lint("wrong id").empty());
    EXPECT_EQ(bridge.lint("一"), echo("一"));
    EXPECT_EQ(bridge.lint("wrong id"), std::vector<TextlintMessage>{});
    EXPECT_EQ(standIn.requests(), 3);  // not cached either
}

TEST(TextlintBridge, AChildThatNeverReadsCannotBlockOrKillTheCaller) {
    // Exits at once, or lives without reading: a large request meets a
    // closed socket (EPIPE, never SIGPIPE) or a full one (the bound).
    const std::string_view scripts[] = {
        "process.exit(0);\n",
        "setInterval(() => {}, 1000);\n",
    };
    for (const auto script : scripts) {
        SCOPED_TRACE(script);
        StandInTextlint standIn(script);
        auto settings = standIn.settings();
        settings.firstAnswerTimeout = milliseconds(300);
        TextlintJapaneseBridge bridge(settings);
        const std::string large(4 << 20, 'a');
        EXPECT_TRUE(bridge.lint(large).empty());
        EXPECT_TRUE(bridge.lint("一").empty());
    }
}

TEST(TextlintBridge, TextThatIsNotUtf8IsNotSent) {
    StandInTextlint standIn;
    TextlintJapaneseBridge bridge(standIn.settings());
    EXPECT_TRUE(bridge.lint("\xff\xfe").empty());
    EXPECT_EQ(standIn.requests(), 0);
}

}  // namespace
}  // namespace mivo
