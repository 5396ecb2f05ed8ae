#include "shell/main_menu_model.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace mivo {
namespace {

// One line per entry of a menu: the item's title and its key as the user
// reads it, or "---" for a separator.
std::vector<std::string> lines(const Menu& menu) {
    std::vector<std::string> out;
    for (const MenuEntry& entry : menu.entries) {
        if (const auto* item = std::get_if<MenuItem>(&entry)) {
            const std::string keys = keyEquivalentText(*item);
            out.push_back(keys.empty() ? item->title : item->title + " | " + keys);
        } else {
            out.push_back("---");
        }
    }
    return out;
}

TEST(MainMenuModel, TheMenusItemsSeparatorsAndLinuxKeys) {
    const auto& layout = mainMenuLayout();
    ASSERT_EQ(layout.size(), 3u);
    struct Row {
        std::string title;
        std::vector<std::string> lines;
    };
    const std::vector<Row> expected = {
        {"Mivo",
         {"About Mivo", "Check for Updates\u2026", "---", "Settings\u2026 | Ctrl+,", "---",
          "Hide Mivo | Ctrl+H", "Hide Others | Ctrl+Alt+H", "Show All", "---",
          "Quit Mivo | Ctrl+Q"}},
        {"File", {"Close Window | Ctrl+W"}},
        {"Window", {"Minimize | Ctrl+M", "Zoom"}},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].title);
        EXPECT_EQ(layout[i].title, expected[i].title);
        EXPECT_EQ(lines(layout[i]), expected[i].lines);
    }
}

// Alt and a letter must reach exactly one menu of the bar, and one item of
// an open menu; each mnemonic is a letter of its own title.
TEST(MainMenuModel, MnemonicsAreLettersOfTheTitleAndUniqueWithinEachMenu) {
    std::set<char> bar;
    for (const Menu& menu : mainMenuLayout()) {
        SCOPED_TRACE(menu.title);
        EXPECT_TRUE(bar.insert(static_cast<char>(std::tolower(menu.mnemonic))).second);
        EXPECT_NE(mnemonicTitle(menu.title, menu.mnemonic), menu.title);
        std::set<char> letters;
        for (const MenuEntry& entry : menu.entries) {
            const auto* item = std::get_if<MenuItem>(&entry);
            if (item == nullptr)
                continue;
            SCOPED_TRACE(item->title);
            EXPECT_NE(item->title.find(item->mnemonic), std::string::npos);
            EXPECT_TRUE(letters.insert(static_cast<char>(std::tolower(item->mnemonic))).second);
        }
    }
}

TEST(MainMenuModel, MnemonicTitleMarksTheFirstOccurrenceOfItsLetter) {
    struct Case {
        std::string title;
        char mnemonic;
        std::string marked;
    };
    for (const Case& c : std::vector<Case>{
             {"Show All", 'w', "Sho&w All"},
             {"Hide Others", 'O', "Hide &Others"},
             {"Minimize", 'M', "&Minimize"},
             {"Zoom", 'x', "Zoom"},  // not in the title: unmarked
             {"Zoom", 0, "Zoom"},
         }) {
        EXPECT_EQ(mnemonicTitle(c.title, c.mnemonic), c.marked) << c.title;
    }
}

TEST(MainMenuModel, AboutTextsShowTheVersionWithADashForWhatIsMissing) {
    struct Case {
        AppVersion version;
        std::string line;
    };
    for (const Case& c : std::vector<Case>{
             {{"1.4.2", "57"}, "Version 1.4.2 (57)"},
             {{"1.4.2", AppVersion::unknown}, "Version 1.4.2 (\u2014)"},
             {{}, "Version \u2014 (\u2014)"},
         }) {
        const AboutTexts texts = aboutTexts(c.version);
        EXPECT_EQ(texts.version, c.line);
        EXPECT_EQ(texts.windowTitle, "About Mivo");
        EXPECT_EQ(texts.name, "Mivo");
    }
}

// The model with every callback counting, and an active window that the
// test sets.
struct Recorder {
    Recorder() {
        const auto count = [this](MenuCommand command) {
            return [this, command] { ran.push_back(command); };
        };
        model.onAbout = count(MenuCommand::about);
        model.onCheckForUpdates = count(MenuCommand::checkForUpdates);
        model.onOpenSettings = count(MenuCommand::openSettings);
        model.onHideMivo = count(MenuCommand::hideMivo);
        model.onHideOthers = count(MenuCommand::hideOthers);
        model.onShowAll = count(MenuCommand::showAll);
        model.onQuit = count(MenuCommand::quit);
        model.closeActiveWindow = count(MenuCommand::closeWindow);
        model.minimizeActiveWindow = count(MenuCommand::minimize);
        model.toggleZoomActiveWindow = count(MenuCommand::zoom);
        model.activeWindow = [this] { return window; };
        model.canCheckForUpdates = [this] { return updaterIdle; };
    }
    MainMenuModel model;
    std::optional<ActiveWindow> window;
    bool updaterIdle = true;
    std::vector<MenuCommand> ran;
};

constexpr MenuCommand kEveryCommand[] = {
    MenuCommand::about,    MenuCommand::checkForUpdates, MenuCommand::openSettings,
    MenuCommand::hideMivo, MenuCommand::hideOthers,      MenuCommand::showAll,
    MenuCommand::quit,     MenuCommand::closeWindow,     MenuCommand::minimize,
    MenuCommand::zoom,
};

// The Window menu keeps one order however the windows came and went, and
// lists nothing it could not name.
TEST(MainMenuModel, TheWindowListIsByTitleWithoutUntitledWindows) {
    MainMenuModel model;
    EXPECT_TRUE(model.windowList().empty());
    model.openWindows = [] {
        return std::vector<OpenWindow>{{"Welcome to Mivo", false, 1},
                                       {"", false, 2},
                                       {"About Mivo", false, 3},
                                       {"Settings", true, 4}};
    };
    std::vector<std::pair<std::string, bool>> listed;
    for (const OpenWindow& window : model.windowList())
        listed.emplace_back(window.title, window.active);
    EXPECT_EQ(listed, (std::vector<std::pair<std::string, bool>>{
                          {"About Mivo", false}, {"Settings", true}, {"Welcome to Mivo", false}}));
}

TEST(MainMenuModel, EveryItemRunsItsOwnCommandOnce) {
    Recorder r;
    r.window = ActiveWindow{};
    for (const MenuCommand command : kEveryCommand) {
        r.ran.clear();
        r.model.run(command);
        EXPECT_EQ(r.ran, std::vector<MenuCommand>{command}) << mainMenuItem(command).title;
    }
}

TEST(MainMenuModel, WhichItemsCanBeChosen) {
    struct Case {
        const char* situation;
        std::optional<ActiveWindow> window;
        bool updaterIdle;
        std::set<MenuCommand> disabled;
    };
    using enum MenuCommand;
    const std::vector<Case> cases = {
        {"settings window active", ActiveWindow{true, true}, true, {}},
        {"no active window of Mivo's", std::nullopt, true, {closeWindow, minimize, zoom}},
        // The onboarding: fixed in size, not minimisable, but closable.
        {"onboarding active", ActiveWindow{false, false}, true, {minimize, zoom}},
        {"a check under way", ActiveWindow{true, true}, false, {checkForUpdates}},
    };
    for (const Case& c : cases) {
        Recorder r;
        r.window = c.window;
        r.updaterIdle = c.updaterIdle;
        for (const MenuCommand command : kEveryCommand) {
            const bool expected = !c.disabled.contains(command);
            EXPECT_EQ(r.model.isEnabled(command), expected)
                << c.situation << ": " << mainMenuItem(command).title;
            // A disabled item does nothing, whatever reaches it.
            r.ran.clear();
            r.model.run(command);
            EXPECT_EQ(r.ran.size(), expected ? 1u : 0u)
                << c.situation << ": " << mainMenuItem(command).title;
        }
    }
}

TEST(MainMenuModel, WithoutCallbacksNothingRunsAndUpdatesStayChoosable) {
    MainMenuModel model;
    EXPECT_TRUE(model.isEnabled(MenuCommand::checkForUpdates));
    EXPECT_FALSE(model.isEnabled(MenuCommand::closeWindow));
    for (const MenuCommand command : kEveryCommand)
        model.run(command);  // nothing set: nothing happens, nothing breaks
}

}  // namespace
}  // namespace mivo
