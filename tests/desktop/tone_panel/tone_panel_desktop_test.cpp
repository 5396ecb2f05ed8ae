// The rewrite panel and the trigger icon on a real X server under openbox,
// over the GTK test editor: the panel takes the keyboard and stays above the
// host; the icon takes clicks but never the focus.

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <vector>

#include "desktop_test_support.hpp"
#include "platform/linux/qt_screens.hpp"
#include "platform/linux/x11_properties.hpp"
#include "tone_panel/qt_tone_panel_presenter.hpp"
#include "tone_panel/tone_panel_window.hpp"
#include "tone_panel/tone_trigger_icon.hpp"
#include "tone_panel/tone_trigger_icon_window.hpp"

// Xlib after Qt: its macros clash with Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace mivo::desktop_test {
namespace {

class X11 {
  public:
    X11() : display_(XOpenDisplay(nullptr)) {}
    ~X11() {
        if (display_ != nullptr)
            XCloseDisplay(display_);
    }
    Display* display() const { return display_; }

    std::vector<Window> windowList(const char* property) {
        const auto items =
            linux_desktop::cardinalProperty(display_, DefaultRootWindow(display_),
                                            XInternAtom(display_, property, False), XA_WINDOW);
        return items ? std::vector<Window>(items->begin(), items->end()) : std::vector<Window>{};
    }

    std::optional<long> pidOf(Window w) {
        const auto items = linux_desktop::cardinalProperty(
            display_, w, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL);
        if (!items || items->size() != 1)
            return std::nullopt;
        return static_cast<long>(items->front());
    }

    // Position in the window manager's stacking order, bottom first.
    std::optional<std::size_t> stackIndex(std::function<bool(Window)> matches) {
        const auto stack = windowList("_NET_CLIENT_LIST_STACKING");
        for (std::size_t i = 0; i < stack.size(); ++i) {
            if (matches(stack[i]))
                return i;
        }
        return std::nullopt;
    }

    void pressKey(KeySym keysym) {
        const KeyCode code = XKeysymToKeycode(display_, keysym);
        XTestFakeKeyEvent(display_, code, True, CurrentTime);
        XTestFakeKeyEvent(display_, code, False, CurrentTime);
        XFlush(display_);
    }

    void click(int x, int y) {
        XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
        XFlush(display_);
        spinFor(0.1);
        XTestFakeButtonEvent(display_, 1, True, CurrentTime);
        XTestFakeButtonEvent(display_, 1, False, CurrentTime);
        XFlush(display_);
    }

  private:
    Display* display_;
};

class TonePanelDesktopTest : public DesktopTest {};

TEST_F(TonePanelDesktopTest, ThePanelTakesKeysAndStaysAboveTheHost) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);
    X11 x;
    ASSERT_NE(x.display(), nullptr);
    const auto editorPid = static_cast<long>(editor->pid());

    linux_desktop::QtScreens screens;
    ToneStateBox box;
    QtTonePanelPresenter presenter(screens);
    std::vector<int> keys;
    presenter.open({"今日は会議です。",
                    &box,
                    {},
                    [&](const PanelKeyEvent& key) {
                        keys.push_back(key.keyCode);
                        return true;
                    },
                    Rect{100, 500, 200, 20}});
    TonePanelWindow* window = presenter.window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntil([&] { return window->isActiveWindow(); }, 10))
        << "the panel did not become the active window";

    x.pressKey(XK_Escape);
    x.pressKey(XK_Right);
    ASSERT_TRUE(waitUntil([&] { return keys.size() >= 2; }, 5));
    EXPECT_EQ(keys, (std::vector<int>{panel_keys::escape, panel_keys::rightArrow}));

    const Window panelId = window->winId();
    auto above = [&] {
        const auto panel = x.stackIndex([&](Window w) { return w == panelId; });
        const auto host = x.stackIndex([&](Window w) { return x.pidOf(w) == editorPid; });
        return panel && host && *panel > *host;
    };
    EXPECT_TRUE(waitUntil(above, 5)) << "the panel is not above the editor";

    // The user goes back to the editor: the panel still floats above it.
    ASSERT_TRUE(workspace().activate(editor->pid()));
    ASSERT_TRUE(waitUntil([&] { return !window->isActiveWindow(); }, 5));
    spinFor(0.3);
    EXPECT_TRUE(above()) << "the panel went under the editor";
    presenter.close();
}

TEST_F(TonePanelDesktopTest, TheTriggerIconTakesClicksButNeverTheFocus) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);
    X11 x;
    ASSERT_NE(x.display(), nullptr);

    ToneTriggerIcon icon(scheduler(), ToneTriggerIconWindow::factory());
    int triggers = 0;
    icon.onTrigger = [&] { ++triggers; };
    ToneWarmBuffer::FocusState focus;
    focus.isEligible = true;
    focus.hasTargetCandidate = true;
    focus.surfaceTag = SurfaceTagResolver::SurfaceTag::notesPersonal;
    const Rect primary = linux_desktop::primaryScreenFrame();
    focus.elementFrame = Rect{100, primary.height - 400, 400, 200};  // y up
    icon.apply(focus);
    auto* window = dynamic_cast<ToneTriggerIconWindow*>(icon.window());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntil([&] { return window->isVisible() && window->alpha() >= 1; }, 5));
    // At the field's bottom-right corner: 30 left of its right edge, 8 up.
    const QRect geometry = window->widget()->geometry();
    EXPECT_EQ(geometry.x(), 100 + 400 - 30);
    EXPECT_EQ(geometry.bottom() + 1, static_cast<int>(400 - 8));

    const QPoint centre = geometry.center();
    x.click(centre.x(), centre.y());
    ASSERT_TRUE(waitUntil([&] { return triggers == 1; }, 5)) << "the click did not reach the icon";
    spinFor(0.3);
    EXPECT_FALSE(window->widget()->isActiveWindow());
    EXPECT_EQ(QApplication::activeWindow(), nullptr);
    const auto front = workspace().frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->pid, editor->pid()) << "the icon took the focus from the editor";
    icon.stop();
}

}  // namespace
}  // namespace mivo::desktop_test
