// The application menu as a user has it: the real `mivo` under openbox,
// its menu bar on the settings window reached over the accessibility bus
// the way a screen reader reaches it (the bar's menus opened and their
// items run through their accessible actions), each item's effect read
// from the window manager, the accessibility tree, the update feed's server
// and the process itself.

#include <QDir>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "accessible_buttons.hpp"
#include "accessible_menus.hpp"
#include "desktop_test_support.hpp"
#include "mivo_child.hpp"
#include "platform/linux/x11/x11_properties.hpp"
#include "stub_process.hpp"
#include "x_windows.hpp"

// Last: Xlib's macros (None, Bool, Status) clash with GoogleTest and Qt.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace mivo::desktop_test {
namespace {

class MainMenuDesktopTest : public MivoChildTest {
  protected:
    QProcessEnvironment mivoEnvironment(const std::string& updateFeedURL) const {
        auto env = MivoChildTest::mivoEnvironment();
        if (!updateFeedURL.empty())
            env.insert("MIVO_UPDATE_FEED_URL", QString::fromStdString(updateFeedURL));
        return env;
    }

    // `mivo` past onboarding; without a tray on this X server it opens its
    // settings window, which carries the menu bar.
    void startMivo(const std::string& updateFeedURL = {}) {
        ASSERT_NO_FATAL_FAILURE(prepareHome());
        env_ = mivoEnvironment(updateFeedURL);
        ASSERT_NO_FATAL_FAILURE(launchMivo(env_));
        ASSERT_TRUE(waitUntil(
            [this] { return (settings_ = mivoWindowTitled("Settings")).has_value(); }, 15))
            << "the settings window did not open";
        ASSERT_TRUE(waitUntil([this] { return accessibleMenuBar(mivoPid()).has_value(); }, 10))
            << "no menu bar on the accessibility bus";
    }

    std::vector<unsigned long> items(Window w, const char* property, Atom type) {
        return linux_desktop::cardinalProperty(display(), w,
                                               XInternAtom(display(), property, False), type)
            .value_or(std::vector<unsigned long>{});
    }

    // The managed top-level windows of `pid`, with their titles.
    std::vector<std::pair<Window, std::string>> windowsOf(Pid pid) {
        std::vector<std::pair<Window, std::string>> out;
        for (const unsigned long w :
             items(DefaultRootWindow(display()), "_NET_CLIENT_LIST", XA_WINDOW)) {
            const auto pids = items(w, "_NET_WM_PID", XA_CARDINAL);
            if (pids.empty() || static_cast<Pid>(pids.front()) != pid)
                continue;
            out.emplace_back(w, linux_desktop::stringProperty(
                                    display(), w, XInternAtom(display(), "_NET_WM_NAME", False),
                                    XInternAtom(display(), "UTF8_STRING", False))
                                    .value_or(""));
        }
        return out;
    }

    std::optional<Window> mivoWindowTitled(const std::string& title) {
        for (const auto& [w, name] : windowsOf(mivoPid())) {
            if (name == title)
                return w;
        }
        return std::nullopt;
    }

    std::optional<Window> windowOf(Pid pid) {
        const auto windows = windowsOf(pid);
        return windows.empty() ? std::nullopt : std::optional(windows.front().first);
    }

    bool iconic(Window w) {
        const auto state = items(w, "WM_STATE", XInternAtom(display(), "WM_STATE", False));
        return !state.empty() && state.front() == IconicState;
    }

    bool maximized(Window w) {
        const auto states = items(w, "_NET_WM_STATE", XA_ATOM);
        const auto has = [&](const char* name) {
            return std::ranges::find(states, XInternAtom(display(), name, False)) != states.end();
        };
        return has("_NET_WM_STATE_MAXIMIZED_VERT") && has("_NET_WM_STATE_MAXIMIZED_HORZ");
    }

    // What a task bar does with a click on a window's entry: activates it,
    // which brings a minimised one back.
    void activateAsTheTaskBar(Window w) {
        // 2: a pager.
        askWindowManager(display(), w, "_NET_ACTIVE_WINDOW", 2, CurrentTime);
    }

    // The window the window manager says is active.
    std::optional<Window> activeWindow() {
        const auto active = items(DefaultRootWindow(display()), "_NET_ACTIVE_WINDOW", XA_WINDOW);
        return active.empty() || active.front() == 0 ? std::nullopt
                                                     : std::optional<Window>(active.front());
    }

    bool frontIs(Pid pid) {
        const auto front = workspace().frontmostApplication();
        return front && front->pid == pid;
    }

    // The user brings the settings window forward, then uses its menu.
    void choose(std::string_view menu, std::string_view item) {
        activateAsTheTaskBar(*settings_);
        ASSERT_TRUE(waitUntil([&] { return frontIs(mivoPid()); }, 5)) << "mivo is not in front";
        spinFor(0.2);
        ASSERT_TRUE(chooseMenuItem(mivoPid(), menu, item)) << menu << " > " << item;
    }

    void key(KeySym symbol, bool down) {
        XTestFakeKeyEvent(display(), XKeysymToKeycode(display(), symbol), down ? True : False,
                          CurrentTime);
        XFlush(display());
    }
    void press(std::initializer_list<KeySym> chord) {
        for (const KeySym k : chord)
            key(k, true);
        for (auto k = std::rbegin(chord); k != std::rend(chord); ++k)
            key(*k, false);
        spinFor(0.3);
    }

    // The root's children, bottom to top.
    std::vector<Window> stacking() {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        std::vector<Window> out;
        if (XQueryTree(display(), DefaultRootWindow(display()), &root, &parent, &children,
                       &count) == 0)
            return out;
        out.assign(children, children + count);
        if (children != nullptr)
            XFree(children);
        return out;
    }

    // Mivo's highlights: windows of its own that bypass the window manager
    // and draw, on screen.
    std::vector<Window> highlights() {
        std::vector<Window> out;
        for (const Window w : stacking()) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(display(), w, &a) == 0 || !a.override_redirect ||
                a.map_state != IsViewable || a.c_class != InputOutput)
                continue;
            const auto pids = items(w, "_NET_WM_PID", XA_CARDINAL);
            if (!pids.empty() && static_cast<Pid>(pids.front()) == mivoPid())
                out.push_back(w);
        }
        return out;
    }

    // Whether every highlight lies below the frame of `w` (a managed window).
    bool highlightsBelow(Window w) {
        Window frame = w;
        for (;;) {
            Window root = 0;
            Window parent = 0;
            Window* children = nullptr;
            unsigned count = 0;
            if (XQueryTree(display(), frame, &root, &parent, &children, &count) == 0)
                return false;
            if (children != nullptr)
                XFree(children);
            if (parent == root)
                break;
            frame = parent;
        }
        const auto order = stacking();
        const auto at = [&](Window x) { return std::ranges::find(order, x) - order.begin(); };
        const auto shown = highlights();
        return !shown.empty() &&
               std::ranges::all_of(shown, [&](Window h) { return at(h) < at(frame); });
    }

    QProcessEnvironment env_;
    std::optional<Window> settings_;
};

TEST_F(MainMenuDesktopTest, TheMenuBarListsEveryItemAboutShowsTheVersionAndUpdatesAreChecked) {
    testing::StubProcess stub(
        {"--update-version", "99.0.0", "--update-notes-url", "https://mivo.test/notes"});
    startMivo(stub.baseURL() + "/update/feed.json");

    const std::vector<AccessibleMenu> expected = {
        {"Mivo",
         {"About Mivo", "Check for Updates\u2026", "Settings\u2026", "Hide Mivo", "Hide Others",
          "Show All", "Quit Mivo"}},
        {"File", {"Close Window"}},
        {"Window", {"Minimize", "Zoom", "Settings"}},
    };
    EXPECT_TRUE(waitUntil([&] { return accessibleMenuBar(mivoPid()) == expected; }, 5));
    EXPECT_EQ(accessibleMenuBar(mivoPid()), expected);

    choose("Mivo", "About Mivo");
    std::optional<Window> about;
    ASSERT_TRUE(waitUntil([&] { return (about = mivoWindowTitled("About Mivo")).has_value(); }, 5))
        << "no about dialog";
    // The build as `mivo --version` names it (a number, a commit, or none:
    // the about card's dash).
    QProcess versionRun;
    versionRun.start(MIVO_APP, {"--version"});
    ASSERT_TRUE(versionRun.waitForFinished(5000));
    const std::string line =
        QString::fromUtf8(versionRun.readAllStandardOutput()).trimmed().toStdString();
    const std::string prefix = std::string("Mivo ") + MIVO_VERSION;
    ASSERT_TRUE(line.starts_with(prefix)) << line;
    const std::string build = line == prefix
                                  ? std::string("\u2014")
                                  : line.substr(prefix.size() + 2, line.size() - prefix.size() - 3);
    const std::string version = std::string("Version ") + MIVO_VERSION + " (" + build + ")";
    EXPECT_TRUE(waitUntil([&] { return showsAccessibleName(mivoPid(), version); }, 5)) << version;
    EXPECT_TRUE(showsAccessibleName(mivoPid(), "A writing assistant for Japanese."));
    screenshot("main-menu-about.png");

    // The Window menu lists both windows; choosing one brings it forward.
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto bar = accessibleMenuBar(mivoPid());
            return bar && bar->size() == 3 &&
                   (*bar)[2].items ==
                       std::vector<std::string>{"Minimize", "Zoom", "About Mivo", "Settings"};
        },
        5))
        << "the Window menu does not list the about dialog and the settings window";
    ASSERT_TRUE(chooseMenuItem(mivoPid(), "Window", "Settings"));
    EXPECT_TRUE(waitUntil([&] { return activeWindow() == settings_; }, 5))
        << "the settings window did not come forward";
    ASSERT_TRUE(chooseMenuItem(mivoPid(), "Window", "About Mivo"));
    EXPECT_TRUE(waitUntil([&] { return activeWindow() == about; }, 5))
        << "the about dialog did not come forward";

    // Close Window closes Mivo's active window: the about dialog, in front.
    ASSERT_TRUE(waitUntil([&] { return frontIs(mivoPid()); }, 5));
    ASSERT_TRUE(chooseMenuItem(mivoPid(), "File", "Close Window"));
    EXPECT_TRUE(waitUntil([&] { return !mivoWindowTitled("About Mivo").has_value(); }, 5))
        << "the about dialog stayed";
    EXPECT_TRUE(isViewable(display(), *settings_));

    choose("Mivo", "Check for Updates\u2026");
    EXPECT_TRUE(waitUntil(
        [&] { return pushButtonCentre(mivoPid(), "View Release Notes").has_value(); }, 10))
        << "no new-version alert";
    EXPECT_EQ(stub.requestsTo("/update/feed.json").size(), 1u);
    screenshot("main-menu-update-available.png");
}

TEST_F(MainMenuDesktopTest, HideOthersAndShowAllMinimiseAndRestoreTheEditors) {
    auto first = startEditor({.title = "First"});
    auto second = startEditor({.title = "Second"});
    ASSERT_TRUE(first && second);
    const auto firstWindow = windowOf(first->pid());
    const auto secondWindow = windowOf(second->pid());
    ASSERT_TRUE(firstWindow && secondWindow);
    startMivo();

    choose("Mivo", "Hide Others");
    EXPECT_TRUE(waitUntil([&] { return iconic(*firstWindow) && iconic(*secondWindow); }))
        << "first iconic: " << iconic(*firstWindow) << ", second: " << iconic(*secondWindow);
    EXPECT_FALSE(iconic(*settings_));
    screenshot("main-menu-hide-others.png");

    // The user brings the first editor back from the task bar; a second
    // "Hide Others" hides it again.
    activateAsTheTaskBar(*firstWindow);
    ASSERT_TRUE(waitUntil([&] { return !iconic(*firstWindow); }));
    choose("Mivo", "Hide Others");
    EXPECT_TRUE(waitUntil([&] { return iconic(*firstWindow); })) << "the first editor stayed";

    choose("Mivo", "Show All");
    EXPECT_TRUE(waitUntil([&] { return !iconic(*firstWindow) && !iconic(*secondWindow); }))
        << "first iconic: " << iconic(*firstWindow) << ", second: " << iconic(*secondWindow);
}

TEST_F(MainMenuDesktopTest, SettingsCoverABoxedFieldAndHideOthersTakesItsBoxes) {
    auto editor = startEditor({.title = "Boxed"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const auto editorWindow = windowOf(editor->pid());
    ASSERT_TRUE(editorWindow);
    startMivo();
    waitUntilMonitoring();
    // Back in the editor, the user writes a mistake: it is boxed.
    const auto origin = readPoint(ax(), view, kAXPositionAttribute);
    ASSERT_TRUE(origin.has_value());
    ASSERT_TRUE(waitUntil(
        [&] {
            clickAt(display(), static_cast<int>(origin->x) + 30, static_cast<int>(origin->y) + 15,
                    0.1);
            spinFor(0.3);
            return frontIs(editor->pid());
        },
        10));
    typeText("東京で住んでいます。");
    ASSERT_TRUE(waitUntil([&] { return !highlights().empty(); }, 5)) << "no box";

    // Mivo's settings come up over the text: the box lies under them.
    activateAsTheTaskBar(*settings_);
    ASSERT_TRUE(waitUntil([&] { return frontIs(mivoPid()); }, 5));
    EXPECT_TRUE(waitUntil([&] { return highlightsBelow(*settings_); }, 3))
        << "the box stays drawn over Settings";
    screenshot("main-menu-settings-over-box.png");

    // Hide Others minimises the editor, and its box goes with it.
    choose("Mivo", "Hide Others");
    ASSERT_TRUE(waitUntil([&] { return iconic(*editorWindow); }));
    EXPECT_TRUE(waitUntil([&] { return highlights().empty(); }, 2))
        << "the box stayed over the minimised editor's place";
}

TEST_F(MainMenuDesktopTest, WindowCommandsHideMivoSettingsAndQuit) {
    startMivo();
    const Window settings = *settings_;

    choose("Window", "Zoom");
    EXPECT_TRUE(waitUntil([&] { return maximized(settings); })) << "not maximised";
    choose("Window", "Zoom");
    EXPECT_TRUE(waitUntil([&] { return !maximized(settings); })) << "still maximised";

    choose("Window", "Minimize");
    EXPECT_TRUE(waitUntil([&] { return iconic(settings); })) << "not minimised";
    activateAsTheTaskBar(settings);
    ASSERT_TRUE(waitUntil([&] { return !iconic(settings); }));

    choose("Mivo", "Hide Mivo");
    EXPECT_TRUE(waitUntil([&] { return iconic(settings); })) << "Mivo's window stayed";
    // Settings… brings the window back out of the task bar, in front.
    ASSERT_TRUE(chooseMenuItem(mivoPid(), "Mivo", "Settings\u2026"));
    EXPECT_TRUE(waitUntil([&] { return !iconic(settings) && frontIs(mivoPid()); }))
        << "the settings window did not come back";

    choose("File", "Close Window");
    EXPECT_TRUE(waitUntil([&] { return !isViewable(display(), settings); })) << "the window stayed";
    EXPECT_EQ(mivo_->state(), QProcess::Running);

    // A later launch brings the settings window back, and Quit Mivo ends
    // the process.
    QProcess again;
    again.setProcessEnvironment(env_);
    again.start(MIVO_APP, {});
    ASSERT_TRUE(again.waitForFinished(10000));
    ASSERT_TRUE(waitUntil(
        [&] {
            settings_ = mivoWindowTitled("Settings");
            return settings_ && isViewable(display(), *settings_);
        },
        5))
        << "the settings window did not come back";
    activateAsTheTaskBar(*settings_);
    ASSERT_TRUE(waitUntil([&] { return frontIs(mivoPid()); }, 5));
    chooseMenuItem(mivoPid(), "Mivo", "Quit Mivo");  // the answer may not come back
    EXPECT_TRUE(waitUntil([&] { return mivo_->state() == QProcess::NotRunning; }, 5))
        << "mivo is still running";
    EXPECT_EQ(mivo_->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(mivo_->exitCode(), 0);
}

// Without a mouse: F10 opens the first menu, the arrows and Return choose
// in it; Alt and an underlined letter open a menu, the letter alone runs
// its item.
TEST_F(MainMenuDesktopTest, TheKeyboardReachesTheMenuWithF10AndAltMnemonics) {
    startMivo();
    const Window settings = *settings_;
    activateAsTheTaskBar(settings);
    ASSERT_TRUE(waitUntil([&] { return frontIs(mivoPid()); }, 5));
    spinFor(0.3);

    press({XK_F10});
    press({XK_Down});
    press({XK_Return});
    EXPECT_TRUE(waitUntil([&] { return mivoWindowTitled("About Mivo").has_value(); }, 5))
        << "F10, Down, Return did not open About Mivo";
    // Escape closes the about dialog; the settings window has the keys again.
    press({XK_Escape});
    ASSERT_TRUE(waitUntil([&] { return !mivoWindowTitled("About Mivo").has_value(); }, 5));
    activateAsTheTaskBar(settings);
    ASSERT_TRUE(waitUntil([&] { return frontIs(mivoPid()); }, 5));
    spinFor(0.3);

    press({XK_Alt_L, XK_w});
    press({XK_z});
    EXPECT_TRUE(waitUntil([&] { return maximized(settings); })) << "Alt+W, Z did not zoom";
}

}  // namespace
}  // namespace mivo::desktop_test
