// Where the highlights stand among the windows on a real X server: below
// the correction panel and Mivo's own windows, above the application they
// mark. A box under the panel never takes the pointer, nor does one the
// pointer crosses on its way from a box to its own panel's Apply; a new
// tab in the window under the boxes takes them at once.

#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browsers/browser_launch.hpp"
#include "correction_display/correction_display_controller.hpp"
#include "correction_display/overlay_display_adapters.hpp"
#include "overlay/correction_panel_view.hpp"
#include "overlay/highlight_overlay.hpp"
#include "overlay/overlay_coordinator.hpp"
#include "overlay/overlay_desktop_fixture.hpp"
#include "overlay/qt_correction_panel_window.hpp"
#include "overlay/qt_highlight_windows.hpp"
#include "platform/linux/x11/x11_properties.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "settings/mivo_settings_store.hpp"
#include "ui/qt_edge.hpp"

// Last: Xlib's macros (None, Bool, Status) clash with GoogleTest and Qt.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace mivo::desktop_test {
namespace {

// The first managed window of the process.
Window managedWindowOf(Display* display, Pid pid) {
    const auto windows =
        linux_desktop::cardinalProperty(display, DefaultRootWindow(display),
                                        XInternAtom(display, "_NET_CLIENT_LIST", False), XA_WINDOW);
    for (const unsigned long w : windows.value_or(std::vector<unsigned long>{})) {
        const auto pids = linux_desktop::cardinalProperty(
            display, w, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL);
        if (pids && !pids->empty() && static_cast<Pid>(pids->front()) == pid)
            return w;
    }
    return 0;
}

// Whether the top-level window holding `upper` lies above the one holding
// `lower` in the X server's stacking order.
bool stackedAbove(Display* display, Window upper, Window lower) {
    const Window top = topLevelOf(display, upper);
    const Window bottom = topLevelOf(display, lower);
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &rootReturn, &parent, &children, &count) ==
        0)
        return false;
    int topAt = -1;
    int bottomAt = -1;
    for (unsigned i = 0; i < count; ++i) {
        if (children[i] == top)
            topAt = static_cast<int>(i);
        if (children[i] == bottom)
            bottomAt = static_cast<int>(i);
    }
    if (children != nullptr)
        XFree(children);
    return topAt >= 0 && bottomAt >= 0 && topAt > bottomAt;
}

// What the display controller would check and measure, never asked here.
class UnusedChecker : public CorrectionChecker {
  public:
    std::vector<CorrectionIssue> analyze(const CompletedSentenceCandidate&,
                                         const LocalCorrectionOptions&) override {
        return {};
    }
};
class UnusedField : public CorrectionTextField {
  public:
    std::optional<Rect> boundsForRange(uint64_t, int64_t, int64_t) override { return std::nullopt; }
    bool stillReadsAsChecked(uint64_t, const std::string&, int64_t) override { return false; }
    std::optional<Rect> visibleFrame(uint64_t) override { return std::nullopt; }
    std::optional<TimePoint> lastEditSeen() override { return std::nullopt; }
    void applyReplacement(uint64_t, const CorrectionIssue&) override {}
    void applyReplacements(uint64_t, const std::vector<CorrectionIssue>&) override {}
};

TEST_F(OverlayDesktopTest, ThePointerGlidingFromABoxToApplyAcrossAnotherBoxAppliesItsOwn) {
    // Errors in lines 2 and 4, one above the other: the panel opened for
    // line 2 hangs over lines 3 to 5, line 4's box under it.
    auto editor =
        startEditor({.viewText = "今日は晴れです。\n東京で住んでいます。\n明日も晴れです。\n"
                                 "大阪で住んでいます。\n終わりです。"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const Rect second = textRect(view, {11, 1});  // で of line 2
    const Rect fourth = textRect(view, {31, 1});  // で of line 4
    ASSERT_GT(second.width, 0);
    ASSERT_LT(fourth.maxY(), second.minY()) << "line 4 below line 2";

    QtHighlightWindows windows;
    HighlightOverlay overlay(windows);
    QtCorrectionPanelWindow window;
    OverlayCoordinator coordinator(window, scheduler(), session_->desktop().screens());
    // The display controller between them, as the application wires it;
    // the boxes are shown here, so it checks and measures nothing.
    sim::MemoryUserDefaults defaults;
    MivoSettingsStore settings(defaults, scheduler());
    UnusedChecker checker;
    UnusedField field;
    HighlightDisplayAdapter highlightDisplay(overlay);
    PanelDisplayAdapter panelDisplay(coordinator);
    CorrectionDisplayController controller(scheduler(), checker, field, highlightDisplay,
                                           panelDisplay, settings);
    const auto two = issue("2", "で", "に", CorrectionIssue::Severity::critical);
    const auto four = issue("4", "で", "に", CorrectionIssue::Severity::critical);
    std::vector<std::string> hovered;
    overlay.onHoverIssue = [&](const CorrectionIssue& i, const Rect& r) {
        hovered.push_back(i.id);
        controller.handleHoverIssue(i, r);
    };
    overlay.onHoverEnded = [&](const CorrectionIssue& i) { controller.handleHoverEnded(i); };
    coordinator.onHoverChanged = [&](bool h) { controller.handlePanelHoverChanged(h); };
    std::vector<std::string> applied;
    coordinator.onApply = [&](const std::vector<CorrectionIssue>& issues) {
        for (const auto& i : issues)
            applied.push_back(i.id);
    };
    movePointer(5, 5);
    overlay.show({{second, two.severity, two}, {fourth, four.severity, four}});
    ASSERT_TRUE(waitUntil([&] { return overlay.count() == 2; }));
    spinFor(0.2);

    // Resting on line 2's box opens its panel below it.
    const QRect box = qt_edge::toX11(second);
    movePointer(box.center().x(), box.center().y());
    ASSERT_TRUE(waitUntil([&] { return coordinator.state().issues().size() == 1; }));
    ASSERT_TRUE(waitUntil([&] { return isViewable(display(), window.window()->winId()); }));
    spinFor(0.3);
    QWidget* apply = window.view()->findChild<QWidget*>("applyButton");
    ASSERT_NE(apply, nullptr);
    const QPoint target = onX11(apply->mapToGlobal(apply->rect().center()));
    ASSERT_GT(target.y(), qt_edge::toX11(fourth).y()) << "Apply lies below line 4";
    screenshot("overlay-panel-over-another-box.png");

    // Straight down to Apply, as a hand moves, across line 4's box.
    const QPoint from = box.center();
    constexpr int kSteps = 40;
    for (int step = 1; step <= kSteps; ++step) {
        movePointer(from.x() + (target.x() - from.x()) * step / kSteps,
                    from.y() + (target.y() - from.y()) * step / kSteps);
        spinFor(0.01);
    }
    click(target.x(), target.y());
    ASSERT_TRUE(waitUntil([&] { return !applied.empty(); }, 2))
        << "hovered: " << ::testing::PrintToString(hovered);
    EXPECT_EQ(applied, (std::vector<std::string>{"2"}))
        << "hovered: " << ::testing::PrintToString(hovered);
    overlay.hide();
}

// A panel along the top edge, as every desktop's task bar is: a bare
// window of the dock type, which the window manager keeps over all others.
class DockPanel {
  public:
    explicit DockPanel(Display* display) : display_(display) {
        const int width = DisplayWidth(display, DefaultScreen(display));
        window_ = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0,
                                      static_cast<unsigned>(width), 24, 0, 0, 0x303030);
        const Atom dock = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DOCK", False);
        XChangeProperty(display, window_, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False),
                        XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&dock),
                        1);
        const long strut[] = {0, 0, 24, 0, 0, 0, 0, 0, 0, width - 1, 0, 0};
        XChangeProperty(display, window_, XInternAtom(display, "_NET_WM_STRUT_PARTIAL", False),
                        XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(strut), 12);
        XMapWindow(display, window_);
        XFlush(display);
    }
    ~DockPanel() {
        XDestroyWindow(display_, window_);
        XFlush(display_);
    }
    DockPanel(const DockPanel&) = delete;
    DockPanel& operator=(const DockPanel&) = delete;
    Window window() const { return window_; }

  private:
    Display* display_;
    Window window_ = 0;
};

// The topmost window the window manager lists in its stacking order.
Window topOfManagedStacking(Display* display) {
    const auto stacking = linux_desktop::cardinalProperty(
        display, DefaultRootWindow(display),
        XInternAtom(display, "_NET_CLIENT_LIST_STACKING", False), XA_WINDOW);
    return stacking && !stacking->empty() ? static_cast<Window>(stacking->back()) : 0;
}

TEST_F(OverlayDesktopTest, OurOwnWindowOverABoxedFieldCoversTheBox) {
    auto editor = startEditor({.viewText = "東京で住んでいます。"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const Rect word = textRect(view, {2, 1});
    QtHighlightWindows windows;
    HighlightOverlay overlay(windows);
    overlay.show({{word, CorrectionIssue::Severity::critical,
                   issue("1", "で", "に", CorrectionIssue::Severity::critical)}});
    std::vector<QWidget*> shown;
    ASSERT_TRUE(waitUntil([&] {
        shown = shownHighlights();
        return shown.size() == 1 && isViewable(display(), shown[0]->winId());
    }));
    const Window editorWindow = managedWindowOf(display(), editor->pid());
    ASSERT_NE(editorWindow, 0u);
    EXPECT_TRUE(stackedAbove(display(), shown[0]->winId(), editorWindow));
    QWidget settings;
    settings.setWindowTitle("Mivo Settings stand-in");
    const QRect over = qt_edge::toX11(word);
    settings.setGeometry(over.x() - 100, over.y() - 100, 400, 300);

    // On a bare desktop, then with a task bar, which the window manager
    // lists over every other window whichever is active.
    std::unique_ptr<DockPanel> dock;
    for (const bool withPanel : {false, true}) {
        SCOPED_TRACE(withPanel ? "with a panel" : "without a panel");
        if (withPanel) {
            dock = std::make_unique<DockPanel>(display());
            ASSERT_TRUE(
                waitUntil([&] { return topOfManagedStacking(display()) == dock->window(); }));
        }
        // A window of Mivo's own (Settings, as a second launch brings it
        // up) comes over the text: the box lies under it.
        settings.show();
        settings.raise();
        settings.activateWindow();
        ASSERT_TRUE(waitUntil([&] { return isViewable(display(), settings.winId()); }));
        EXPECT_TRUE(waitUntil([&] {
            return stackedAbove(display(), settings.winId(), shown[0]->winId());
        })) << "the box stays over Mivo's own window";
        screenshot(withPanel ? "overlay-own-window-over-box-with-panel.png"
                             : "overlay-own-window-over-box.png");

        // The user goes back to the editor: its text and its box show again.
        askWindowManager(display(), editorWindow, "_NET_ACTIVE_WINDOW", 2, 0);
        EXPECT_TRUE(waitUntil([&] {
            return stackedAbove(display(), editorWindow, settings.winId()) &&
                   stackedAbove(display(), shown[0]->winId(), editorWindow);
        })) << "the box went under the editor";

        // Settings again, chosen on the task bar: the box goes under it.
        askWindowManager(display(), settings.winId(), "_NET_ACTIVE_WINDOW", 2, 0);
        EXPECT_TRUE(waitUntil([&] {
            return stackedAbove(display(), settings.winId(), editorWindow) &&
                   stackedAbove(display(), settings.winId(), shown[0]->winId());
        })) << "the box stays over Settings chosen on the task bar";
        askWindowManager(display(), editorWindow, "_NET_ACTIVE_WINDOW", 2, 0);
        ASSERT_TRUE(
            waitUntil([&] { return stackedAbove(display(), editorWindow, settings.winId()); }));
        settings.hide();
    }
    overlay.hide();
}

// A field whose one issue stands where it was checked, at a fixed place.
class FixedField : public CorrectionTextField {
  public:
    explicit FixedField(Rect rect) : rect_(rect) {}
    std::optional<Rect> boundsForRange(uint64_t, int64_t, int64_t) override { return rect_; }
    bool stillReadsAsChecked(uint64_t, const std::string&, int64_t) override { return true; }
    std::optional<Rect> visibleFrame(uint64_t) override { return std::nullopt; }
    std::optional<TimePoint> lastEditSeen() override { return std::nullopt; }
    void applyReplacement(uint64_t, const CorrectionIssue&) override {}
    void applyReplacements(uint64_t, const std::vector<CorrectionIssue>&) override {}

  private:
    Rect rect_;
};
class OneIssue : public CorrectionChecker {
  public:
    std::vector<CorrectionIssue> analyze(const CompletedSentenceCandidate&,
                                         const LocalCorrectionOptions&) override {
        CorrectionIssue i;
        i.id = "1";
        i.original = "で";
        i.suggestion = "に";
        i.range = TextRange{2, 3};
        i.category = CorrectionIssue::Category::particle;
        return {i};
    }
};

TEST_F(OverlayDesktopTest, ANewTabInABrowsersPageTakesItsBoxesAtOnce) {
    auto browser = launchBrowser(BrowserKind::chromium, MIVO_BROWSER_PAGE);
    ASSERT_NE(browser, nullptr);
    std::optional<AXElement> field;
    ASSERT_TRUE(waitUntil(
        [&] { return (field = pageField(ax(), browser->pid(), "hands")).has_value(); }, 40))
        << browser->failure;
    const auto frame = readPoint(ax(), *field, kAXPositionAttribute);
    ASSERT_TRUE(frame.has_value());
    // A box over the page, which the field answers for as long as asked:
    // only the window's new title can tell that the page is gone.
    const Rect box{frame->x + 20, primaryHeight() - frame->y - 30, 20, 20};
    QtHighlightWindows windows;
    HighlightOverlay overlay(windows);
    QtCorrectionPanelWindow window;
    OverlayCoordinator coordinator(window, scheduler(), session_->desktop().screens());
    sim::MemoryUserDefaults defaults;
    MivoSettingsStore settings(defaults, scheduler());
    OneIssue checker;
    FixedField fixed(box);
    HighlightDisplayAdapter highlightDisplay(overlay);
    PanelDisplayAdapter panelDisplay(coordinator);
    CorrectionDisplayController controller(scheduler(), checker, fixed, highlightDisplay,
                                           panelDisplay, settings);
    overlay.onViewChanged = [&] { controller.handleViewChanged(); };
    movePointer(5, 5);
    CompletedSentenceCandidate checked;
    checked.text = "東京で住んでいます。";
    checked.range = TextRange{0, 10};
    controller.showCorrectionIssues(checked);
    ASSERT_TRUE(waitUntil([&] { return overlay.count() == 1; }, 3));
    spinFor(1.5);
    ASSERT_EQ(overlay.count(), 1u);

    // Chromium renames its window within a few hundredths of a second,
    // before it tells of the new tab over the accessibility bus.
    pressCombination(display(), {XK_Control_L}, XK_t);
    EXPECT_TRUE(waitUntil([&] { return overlay.count() == 0; }, 0.3))
        << "the box stood over the new tab";
    screenshot("overlay-new-tab.png");
    controller.clearCorrectionUIForContextChange();
}

}  // namespace
}  // namespace mivo::desktop_test
