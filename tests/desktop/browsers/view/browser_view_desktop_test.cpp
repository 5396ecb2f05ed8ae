// Firefox ESR and Chromium, each started afresh for this process, showing a
// page with a <textarea>, an <input> and a contenteditable: the monitor
// follows the field the page focuses at start and every click from one
// field into another, and of a field scrolled under the browser's toolbar
// only what the page shows counts as visible.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "browsers/shared_browser_test.hpp"
#include "correction/local_correction_service.hpp"
#include "correction_display/correction_display_adapters.hpp"
#include "correction_display/correction_display_controller.hpp"
#include "field/ax_geometry.hpp"
#include "field/ax_text_extractor.hpp"
#include "monitor/accessibility_monitor.hpp"
#include "platform/linux/x11/x11_connection.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "settings/mivo_settings_store.hpp"

// After everything else: Xlib's macros clash with other headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace mivo::desktop_test {
namespace {

class BrowserViewTest : public SharedBrowserTest {
  protected:
    void setUpWithSession() override {
        // The monitor runs from before the browser starts, as Mivo does
        // when the user opens a browser.
        monitor_ = std::make_unique<AccessibilityMonitor>(session_->ports());
        monitor_->start();
        openViewPage();
    }

    void openViewPage() { openBrowser(MIVO_BROWSER_VIEW_PAGE, "area"); }

    void TearDown() override {
        if (monitor_)
            monitor_->stop();
        monitor_.reset();
        DesktopTest::TearDown();
    }

    // The element's frame as the accessibility bus gives it (y down).
    std::optional<Rect> frameOf(const AXElement& e) {
        const auto position = ax().copyAttributeValue(e, kAXPositionAttribute);
        const auto size = ax().copyAttributeValue(e, kAXSizeAttribute);
        const auto p = position ? position->asPoint() : std::nullopt;
        const auto s = size ? size->asSize() : std::nullopt;
        if (!p || !s)
            return std::nullopt;
        return Rect{p->x, p->y, s->width, s->height};
    }

    // A real click in the middle of the element.
    bool click(const AXElement& e) {
        std::optional<Rect> frame;
        waitUntil([&] { return (frame = frameOf(e)).has_value(); }, 3);
        if (!frame) {
            const auto position = ax().copyAttributeValue(e, kAXPositionAttribute);
            const auto size = ax().copyAttributeValue(e, kAXSizeAttribute);
            ADD_FAILURE() << "no frame: position " << (position ? 0 : code(position.error()))
                          << " size " << (size ? 0 : code(size.error()));
            return false;
        }
        const Point middle{frame->x + frame->width / 2, frame->y + frame->height / 2};
        return input().postMouseEvent({MouseEventType::leftMouseDown, middle}) &&
               input().postMouseEvent({MouseEventType::leftMouseUp, middle});
    }

    bool pressKey(unsigned long keysym) {
        Display* d = session_->desktop().x11().display();
        const KeyCode code = XKeysymToKeycode(d, keysym);
        if (code == 0)
            return false;
        const bool ok = XTestFakeKeyEvent(d, code, True, CurrentTime) != 0 &&
                        XTestFakeKeyEvent(d, code, False, CurrentTime) != 0;
        XSync(d, False);
        return ok;
    }

    bool follows(const AXElement& e, double seconds) {
        return waitUntil(
            [&] {
                const auto& observed = monitor_->observedElement();
                return observed && *observed == e;
            },
            seconds);
    }

    // What the monitor said about which field it follows.
    std::string observeLog() {
        std::string lines;
        for (const auto& line : session_->log().lines()) {
            if (line.find("observe") != std::string::npos ||
                line.find("focus") != std::string::npos)
                lines += line + "\n";
        }
        return lines;
    }

    std::optional<AXElement> webDocumentOf(const AXElement& e) {
        auto current = readElement(ax(), e, kAXParentAttribute);
        for (int depth = 0; current && depth < 64; ++depth) {
            if (readString(ax(), *current, kAXRoleAttribute) == kAXWebAreaRole)
                return current;
            current = readElement(ax(), *current, kAXParentAttribute);
        }
        return std::nullopt;
    }

    std::unique_ptr<AccessibilityMonitor> monitor_;
};

TEST_P(BrowserViewTest, TheFieldFocusedAtStartIsFollowed) {
    const auto area = field("area");
    ASSERT_TRUE(area.has_value());
    EXPECT_TRUE(follows(*area, 15)) << observeLog();
}

TEST_P(BrowserViewTest, EveryClickIntoAnotherFieldIsFollowed) {
    const auto single = field("single");
    const auto rich = field("rich");
    ASSERT_TRUE(single && rich);
    // While a highlight is shown its field is measured every 0.12 s, as the
    // display's follow loop does.
    Cancel follow = scheduler().repeating(0.12, [&] {
        monitor_->visibleFieldFrame();
        monitor_->boundsForRange(0, 2);
    });
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        session_->log().clear();
        ASSERT_TRUE(click(*single));
        EXPECT_TRUE(follows(*single, 5)) << observeLog();
        session_->log().clear();
        ASSERT_TRUE(click(*rich));
        EXPECT_TRUE(follows(*rich, 5)) << observeLog();
    }
    follow.cancel();
}

// A browser started while the monitor runs may show its window before its
// application is on the accessibility bus: its clicks are followed all the
// same, from the first.
TEST_P(BrowserViewTest, EveryClickInABrowserStartedWhileTheMonitorRunsIsFollowed) {
    stopSharedBrowser(GetParam(), MIVO_BROWSER_VIEW_PAGE);
    openViewPage();
    ASSERT_FALSE(HasFatalFailure());
    const auto single = field("single");
    const auto rich = field("rich");
    ASSERT_TRUE(single && rich);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(click(*single));
        EXPECT_TRUE(follows(*single, 5)) << observeLog();
        ASSERT_TRUE(click(*rich));
        EXPECT_TRUE(follows(*rich, 5)) << observeLog();
    }
}

TEST_P(BrowserViewTest, AFieldScrolledUnderTheToolbarIsVisibleOnlyBelowIt) {
    const auto area = field("area");
    ASSERT_TRUE(area.has_value());
    ASSERT_TRUE(click(*area));
    ASSERT_TRUE(follows(*area, 5)) << observeLog();
    const auto document = webDocumentOf(*area);
    ASSERT_TRUE(document.has_value()) << "no document above the field";
    const auto page = frameOf(*document);
    ASSERT_TRUE(page.has_value());

    // Scrolled, one step at a time, until the field's top lies above the
    // page's.
    bool scrolled = false;
    for (int step = 0; step < 4 && !scrolled; ++step) {
        const double before = frameOf(*area).value_or(Rect{}).y;
        ASSERT_TRUE(pressKey(XK_F8));
        waitUntil([&] { return frameOf(*area).value_or(Rect{}).y != before; }, 3);
        scrolled = frameOf(*area).value_or(Rect{}).y < page->y - 30;
    }
    ASSERT_TRUE(scrolled) << "the page did not scroll";
    const auto fieldFrame = frameOf(*area);
    ASSERT_TRUE(fieldFrame.has_value());
    ASSERT_GT(fieldFrame->maxY(), page->y + 20) << "the field scrolled out of the page entirely";

    Screens& screens = session_->desktop().screens();
    const double primaryHeight = AXTextExtractor::primaryScreenHeight(screens);
    const Rect pageOnScreen = AXTextExtractor::screenToGlobal(*page, primaryHeight);
    const auto visible = monitor_->visibleFieldFrame();
    ASSERT_TRUE(visible.has_value());
    // Global coordinates grow upward: the page's top edge is its maxY.
    EXPECT_LE(visible->maxY(), pageOnScreen.maxY() + 0.5)
        << "visible " << toString(*visible) << " page " << toString(pageOnScreen);
    EXPECT_GT(visible->height, 10) << toString(*visible);

    // The first line's characters lie under the toolbar: where the browser
    // measures them (it may not), they are outside what is visible.
    if (const auto first =
            AXTextExtractor::directBoundsForRange(ax(), screens, Utf16Range{0, 1}, *area)) {
        EXPECT_GT(first->minY(), visible->maxY())
            << "first line " << toString(*first) << " visible " << toString(*visible);
    }
}

// What the display controller shows, and a panel nobody opens.
class ShownBoxes : public HighlightDisplay {
  public:
    void show(const std::vector<HighlightAnnotation>& annotations) override { shown = annotations; }
    void hide() override { shown.clear(); }
    void hide(const std::set<std::string>& ids) override {
        std::erase_if(shown, [&](const HighlightAnnotation& a) {
            return a.issue && ids.contains(a.issue->id);
        });
    }
    std::vector<HighlightAnnotation> shown;
};
class ClosedPanel : public CorrectionPanelDisplay {
  public:
    void show(const std::vector<CorrectionIssue>&, std::optional<Rect>) override {}
    void hide() override {}
    std::optional<Rect> frame() const override { return std::nullopt; }
    void showNotice(const std::string&, std::optional<Rect>) override {}
};

TEST_P(BrowserViewTest, AWheelStepLeavesNoBoxWhereTheTextWas) {
    // The display controller wired as the application wires it.
    sim::MemoryUserDefaults defaults;
    MivoSettingsStore settings(defaults, scheduler());
    LocalCorrectionService engine;
    LocalCorrectionChecker checker(engine);
    MonitorCorrectionTextField textField(*monitor_);
    ShownBoxes boxes;
    ClosedPanel panel;
    CorrectionDisplayController display(scheduler(), checker, textField, boxes, panel, settings);
    display.setWheelSteps([this] { return input().wheelSteps(); });
    monitor_->onSentenceCompleted = [&](const CompletedSentenceCandidate& c) {
        display.showCorrectionIssues(c);
    };
    monitor_->onCorrectionContextChanged = [&] { display.clearCorrectionUIForContextChange(); };
    monitor_->onFieldMayHaveMoved = [&] { display.handleFieldMayHaveMoved(); };

    const auto rich = field("rich");
    ASSERT_TRUE(rich.has_value());
    ASSERT_TRUE(click(*rich));
    ASSERT_TRUE(follows(*rich, 5)) << observeLog();
    ASSERT_TRUE(pressKey(XK_End));
    typeText("東京で住んでいます。");
    ASSERT_TRUE(waitUntil([&] { return boxes.shown.size() == 1; }, 8)) << observeLog();
    spinFor(0.5);
    ASSERT_EQ(boxes.shown.size(), 1u);
    const Rect before = boxes.shown[0].rect;

    // One wheel step down over the page.
    const auto frame = frameOf(*rich);
    ASSERT_TRUE(frame.has_value());
    Display* d = session_->desktop().x11().display();
    XTestFakeMotionEvent(d, -1, static_cast<int>(frame->x + 40), static_cast<int>(frame->y + 200),
                         CurrentTime);
    XTestFakeButtonEvent(d, 5, True, CurrentTime);
    XTestFakeButtonEvent(d, 5, False, CurrentTime);
    XSync(d, False);
    const auto wheeled = std::chrono::steady_clock::now();
    // From one follow tick on, no box stands where the text was (or a
    // point or two from it, where Chromium first answers).
    std::vector<double> stale;
    while (std::chrono::steady_clock::now() - wheeled < std::chrono::milliseconds(1500)) {
        spinFor(0.01);
        const double since =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wheeled).count();
        if (since > 0.16 && !boxes.shown.empty() &&
            std::abs(boxes.shown[0].rect.y - before.y) < before.height / 2)
            stale.push_back(since);
    }
    EXPECT_TRUE(stale.empty()) << "the box stood where the text was at "
                               << ::testing::PrintToString(stale) << " s";
    ASSERT_TRUE(waitUntil([&] { return boxes.shown.size() == 1; }, 3)) << "the box never came back";
    EXPECT_GT(std::abs(boxes.shown[0].rect.y - before.y), 10) << "the page did not scroll";
    display.clearCorrectionUIForContextChange();
    monitor_->onSentenceCompleted = nullptr;
    monitor_->onCorrectionContextChanged = nullptr;
    monitor_->onFieldMayHaveMoved = nullptr;
}

// The session alone: the browser is started by the test itself.
using BrowserPageTest = DesktopTest;

// A page still loading, which has not focused a field yet, leaves the focus
// on a panel of Chromium's with a text and a caret of its own but nothing to
// edit: nothing of it is followed, and the text area is once the page
// focuses it. Its own Chromium, started with the monitor running.
TEST_F(BrowserPageTest, APageThatFocusesNoFieldYetIsNotTakenForOne) {
    AccessibilityMonitor monitor(session_->ports());
    monitor.start();
    const auto browser =
        launchBrowser(BrowserKind::chromium, std::string(MIVO_BROWSER_VIEW_PAGE) + "#late");
    ASSERT_TRUE(browser->failure.empty()) << browser->failure;
    // The page focuses its text area 4 s after it loaded. Its tree is not
    // walked meanwhile: a walk makes Chromium build what it would not.
    const auto attached = [&] {
        std::vector<std::string> roles;
        for (const auto& line : session_->log().lines()) {
            if (const auto at = line.find("ATTACHED to role="); at != std::string::npos)
                roles.push_back(line.substr(at + 17, line.find(' ', at + 17) - at - 17));
        }
        return roles;
    };
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto roles = attached();
            return !roles.empty() && roles.back() == "entry";
        },
        20))
        << "followed: " << ::testing::PrintToString(attached());
    const auto area = pageField(ax(), browser->pid(), "area");
    ASSERT_TRUE(area.has_value());
    const bool followed = waitUntil(
        [&] {
            const auto& observed = monitor.observedElement();
            return observed && *observed == *area;
        },
        15);
    monitor.stop();
    EXPECT_TRUE(followed);
    // Only text fields ("entry", as Chromium calls its text area and its
    // address bar) were followed, never the panel that had the focus.
    const auto roles = attached();
    EXPECT_TRUE(std::ranges::all_of(roles, [](const std::string& r) { return r == "entry"; }))
        << ::testing::PrintToString(roles);
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserViewTest,
                         ::testing::Values(BrowserKind::chromium, BrowserKind::firefox),
                         [](const auto& info) { return std::string(browserName(info.param)); });

}  // namespace
}  // namespace mivo::desktop_test
