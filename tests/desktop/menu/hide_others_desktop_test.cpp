// "Hide Others" and "Show All" under openbox with two GTK editors beside a
// window of Mivo's: what the window manager reports after each, read on a
// connection of the test's own.

#include <QAction>
#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "desktop_test_support.hpp"
#include "platform/linux/x11/x11_properties.hpp"
#include "platform/linux/x11/x11_top_level_windows.hpp"
#include "shell/mivo_main_menu.hpp"
#include "shell/other_applications.hpp"
#include "x_windows.hpp"

// Xlib after Qt: its macros clash with Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <unistd.h>

namespace mivo::desktop_test {
namespace {

class X11 : public XConnection {
  public:
    // The managed top-level window of a process.
    std::optional<Window> windowOf(Pid pid) {
        std::optional<Window> found;
        for (const unsigned long w :
             items(DefaultRootWindow(display_), "_NET_CLIENT_LIST", XA_WINDOW)) {
            const auto pids = items(w, "_NET_WM_PID", XA_CARDINAL);
            if (!pids.empty() && static_cast<Pid>(pids.front()) == pid)
                found = w;
        }
        return found;
    }

    // Iconic in the ICCCM sense: what the window manager says of it.
    bool iconic(Window w) {
        const auto state = items(w, "WM_STATE", XInternAtom(display_, "WM_STATE", False));
        return !state.empty() && state.front() == IconicState;
    }

    // What the user does with the title bar's minimise button.
    void minimizeAsTheUser(Window w) {
        XIconifyWindow(display_, w, DefaultScreen(display_));
        XFlush(display_);
    }

    void pressChord(std::initializer_list<KeySym> keys) {
        for (const KeySym k : keys)
            XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, k), True, CurrentTime);
        for (auto k = std::rbegin(keys); k != std::rend(keys); ++k)
            XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, *k), False, CurrentTime);
        XFlush(display_);
    }

  private:
    std::vector<unsigned long> items(Window w, const char* property, Atom type) {
        return linux_desktop::cardinalProperty(display_, w, XInternAtom(display_, property, False),
                                               type)
            .value_or(std::vector<unsigned long>{});
    }
};

class HideOthersDesktopTest : public DesktopTest {
  protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_NE(x.display(), nullptr);
        first = startEditor({.title = "First"});
        second = startEditor({.title = "Second"});
        ASSERT_TRUE(first && second);
        firstWindow = x.windowOf(first->pid());
        secondWindow = x.windowOf(second->pid());
        ASSERT_TRUE(firstWindow && secondWindow);

        windows = std::make_unique<linux_desktop::X11TopLevelWindows>(session_->desktop().x11());
        others = std::make_unique<OtherApplications>(*windows, static_cast<Pid>(::getpid()));
        menu.model().onHideOthers = [this] { others->hideOthers(); };
        menu.model().onShowAll = [this] { others->showAll(); };
        menu.install();
        mivoWindow.setWindowTitle("Mivo Settings");
        mivoWindow.resize(400, 300);
        menu.attach(&mivoWindow);
        mivoWindow.show();
        mivoWindow.activateWindow();
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &mivoWindow; }, 10));
    }

    void hideOthersByKey() {
        // Ctrl+Alt+H, typed while Mivo's window has the keyboard.
        x.pressChord({XK_Control_L, XK_Alt_L, XK_h});
    }

    void showAll() {
        QAction* showAll = menu.action(MenuCommand::showAll);
        ASSERT_NE(showAll, nullptr);
        showAll->trigger();
    }

    X11 x;
    std::unique_ptr<TestEditor> first;
    std::unique_ptr<TestEditor> second;
    std::optional<Window> firstWindow;
    std::optional<Window> secondWindow;
    std::unique_ptr<linux_desktop::X11TopLevelWindows> windows;
    std::unique_ptr<OtherApplications> others;
    MivoMainMenu menu;
    QWidget mivoWindow;
};

TEST_F(HideOthersDesktopTest, HidesBothEditorsLeavesMivoAndShowAllBringsThemBack) {
    hideOthersByKey();
    EXPECT_TRUE(waitUntil([&] { return x.iconic(*firstWindow) && x.iconic(*secondWindow); }))
        << "first iconic: " << x.iconic(*firstWindow)
        << ", second iconic: " << x.iconic(*secondWindow);
    spinFor(0.2);
    EXPECT_TRUE(mivoWindow.isVisible());
    EXPECT_FALSE(mivoWindow.isMinimized());

    showAll();
    EXPECT_TRUE(waitUntil([&] { return !x.iconic(*firstWindow) && !x.iconic(*secondWindow); }));
    // The editors take text again.
    EXPECT_TRUE(workspace().activate(first->pid()));
    EXPECT_TRUE(waitUntil([&] {
        const auto front = workspace().frontmostApplication();
        return front && front->pid == first->pid();
    }));
}

TEST_F(HideOthersDesktopTest, AWindowTheUserMinimisedBeforeStaysMinimised) {
    x.minimizeAsTheUser(*firstWindow);
    ASSERT_TRUE(waitUntil([&] { return x.iconic(*firstWindow); }));
    mivoWindow.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &mivoWindow; }, 10));

    hideOthersByKey();
    ASSERT_TRUE(waitUntil([&] { return x.iconic(*secondWindow); }));
    showAll();
    EXPECT_TRUE(waitUntil([&] { return !x.iconic(*secondWindow); }));
    spinFor(0.5);
    EXPECT_TRUE(x.iconic(*firstWindow));
}

}  // namespace
}  // namespace mivo::desktop_test
