// Firefox ESR and Chromium, each started afresh for this process, showing a
// page with a <textarea>, an <input> and a contenteditable: the monitor
// follows the field the page focuses at start and every click from one
// field into another, and of a field scrolled under the browser's toolbar
// only what the page shows counts as visible.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
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

// The user's gestures that move the page or bring another one to the
// front, one after the other on the same page: each row starts where the
// last one left it.
enum class PageGesture {
    wheelDown,
    wheelUp,
    pageUp,
    pageDown,
    documentStart,
    scrollbarDrag,
    newTab
};
// Whether the box's text is in view once the page stands still.
enum class InView { yes, no, either };
struct PageGestureRow {
    const char* name;
    PageGesture gesture;
    InView after;
    // Whether the page must have moved (else it may stand where it was).
    bool moves;
};

TEST_P(BrowserViewTest, NoGestureLeavesABoxWhereItsTextIsNot) {
    // The display controller wired as the application wires it.
    sim::MemoryUserDefaults defaults;
    MivoSettingsStore settings(defaults, scheduler());
    LocalCorrectionService engine;
    LocalCorrectionChecker checker(engine);
    MonitorCorrectionTextField textField(*monitor_);
    ShownBoxes boxes;
    ClosedPanel panel;
    CorrectionDisplayController display(scheduler(), checker, textField, boxes, panel, settings);
    input().setOnViewGesture([&](ViewGesture g) { display.handleViewGesture(g); });
    monitor_->onSentenceCompleted = [&](const CompletedSentenceCandidate& c) {
        display.showCorrectionIssues(c);
    };
    bool contextChanged = false;
    monitor_->onCorrectionContextChanged = [&] {
        contextChanged = true;
        display.clearCorrectionUIForContextChange();
    };
    monitor_->onFieldMayHaveMoved = [&] { display.handleFieldMayHaveMoved(); };
    // Unwired however the test ends: the session outlives the display.
    struct Unwire {
        std::function<void()> undo;
        ~Unwire() { undo(); }
    } unwire{[&] {
        input().setOnViewGesture(nullptr);
        monitor_->onSentenceCompleted = nullptr;
        monitor_->onCorrectionContextChanged = nullptr;
        monitor_->onFieldMayHaveMoved = nullptr;
    }};

    Display* d = session_->desktop().x11().display();
    const auto pointerTo = [&](double x, double y) {
        XTestFakeMotionEvent(d, -1, static_cast<int>(x), static_cast<int>(y), CurrentTime);
        XSync(d, False);
    };
    const auto button = [&](unsigned int b, bool down) {
        XTestFakeButtonEvent(d, b, down ? True : False, CurrentTime);
        XSync(d, False);
    };
    const auto withControl = [&](unsigned long keysym) {
        const KeyCode control = XKeysymToKeycode(d, XK_Control_L);
        XTestFakeKeyEvent(d, control, True, CurrentTime);
        const bool ok = pressKey(keysym);
        XTestFakeKeyEvent(d, control, False, CurrentTime);
        XSync(d, False);
        return ok;
    };

    // A mistake in the first line of a letter longer than the window.
    const auto letter = field("letter");
    ASSERT_TRUE(letter.has_value());
    ASSERT_TRUE(click(*letter));
    // Keys right after a click may go in before it.
    spinFor(0.3);
    ASSERT_TRUE(withControl(XK_Home));
    ASSERT_TRUE(pressKey(XK_End));
    // Followed in the letter before the user writes on.
    const auto inLetterNow = [&] {
        auto e = monitor_->observedElement();
        for (int depth = 0; e && depth < 4; ++depth) {
            if (*e == *letter)
                return true;
            e = readElement(ax(), *e, kAXParentAttribute);
        }
        return false;
    };
    ASSERT_TRUE(waitUntil(inLetterNow, 10)) << observeLog();
    spinFor(0.3);
    typeText("東京で住んでいます。");
    ASSERT_TRUE(waitUntil([&] { return boxes.shown.size() == 1; }, 8)) << observeLog();
    spinFor(0.5);
    ASSERT_EQ(boxes.shown.size(), 1u);

    // Where the box belongs: its place in the letter, which the page moves
    // as a whole.
    Screens& screens = session_->desktop().screens();
    const double primaryHeight = AXTextExtractor::primaryScreenHeight(screens);
    const auto letterY = [&]() -> std::optional<double> {
        const auto frame = frameOf(*letter);
        if (!frame)
            return std::nullopt;
        return AXTextExtractor::screenToGlobal(*frame, primaryHeight).y;
    };
    const auto startY = letterY();
    ASSERT_TRUE(startY.has_value());
    const double inLetter = boxes.shown[0].rect.y - *startY;
    const double lineHeight = boxes.shown[0].rect.height;
    const auto document = webDocumentOf(*letter);
    ASSERT_TRUE(document.has_value()) << "no document above the letter";
    const auto page = frameOf(*document);
    ASSERT_TRUE(page.has_value());
    const Rect pageOnScreen = AXTextExtractor::screenToGlobal(*page, primaryHeight);

    // The wheel takes the page back to its top, where the scrollbar's thumb
    // is taken. Page Up and Down move the caret a window's height in the
    // letter, and the page follows it as far as it must (Firefox leaves
    // the first line in view, Chromium may not move it for Page Up), as
    // it does for Ctrl+Home.
    const PageGestureRow rows[] = {
        {"a wheel step down", PageGesture::wheelDown, InView::yes, true},
        {"a wheel step up", PageGesture::wheelUp, InView::yes, true},
        {"a drag of the scrollbar", PageGesture::scrollbarDrag, InView::yes, true},
        {"Page Up", PageGesture::pageUp, InView::either, false},
        {"Page Down", PageGesture::pageDown, InView::either, true},
        {"Ctrl+Home", PageGesture::documentStart, InView::either, false},
        {"Ctrl+T", PageGesture::newTab, InView::no, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const double before = letterY().value_or(*startY);
        // From the gesture's first effect on, no box stands where the text
        // was.
        std::vector<double> stale;
        bool moved = false;
        const auto start = std::chrono::steady_clock::now();
        const auto sinceStart = [&] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        const auto watch = [&](double seconds) {
            const double until = sinceStart() + seconds;
            while (sinceStart() < until) {
                spinFor(0.01);
                const auto now = letterY();
                if (!now)
                    continue;
                moved = moved || std::abs(*now - before) >= 1;
                if (row.gesture == PageGesture::newTab) {
                    // The new tab stands over the text; only a change of
                    // field (the address bar) tells where the user is now.
                    if (!boxes.shown.empty() && !contextChanged)
                        stale.push_back(sinceStart());
                    continue;
                }
                if (boxes.shown.empty())
                    continue;
                // Where the text was, once it is elsewhere (or over the
                // toolbar). Chromium tells where it took the text late, in
                // steps, so a box may follow the text on its way.
                const Rect& box = boxes.shown[0].rect;
                const bool left = std::abs(*now - before) >= lineHeight / 2;
                if ((left && std::abs(box.y - (before + inLetter)) < lineHeight / 2) ||
                    box.minY() < pageOnScreen.minY() || box.maxY() > pageOnScreen.maxY())
                    stale.push_back(sinceStart());
            }
        };
        switch (row.gesture) {
            case PageGesture::wheelDown:
            case PageGesture::wheelUp: {
                const unsigned int step = row.gesture == PageGesture::wheelDown ? 5 : 4;
                // Over the page a moment before the wheel turns, as a hand.
                pointerTo(page->x + 40, page->y + 200);
                spinFor(0.1);
                button(step, true);
                button(step, false);
                break;
            }
            case PageGesture::pageUp:
                ASSERT_TRUE(pressKey(XK_Page_Up));
                break;
            case PageGesture::pageDown:
                ASSERT_TRUE(pressKey(XK_Page_Down));
                break;
            case PageGesture::documentStart:
                ASSERT_TRUE(withControl(XK_Home));
                break;
            case PageGesture::scrollbarDrag: {
                // The page's scrollbar, along its right edge, taken below
                // its arrow: dragged down in steps, held still, let go.
                const double x = page->x + page->width - 5;
                const double y = page->y + 60;
                pointerTo(x, y);
                spinFor(0.2);
                button(1, true);
                // A hand presses, then moves.
                spinFor(0.05);
                for (int step = 1; step <= 4; ++step) {
                    pointerTo(x, y + step * 8);
                    watch(0.06);
                }
                watch(0.4);
                button(1, false);
                break;
            }
            case PageGesture::newTab:
                contextChanged = false;
                ASSERT_TRUE(withControl(XK_t));
                break;
        }
        watch(1.2);
        EXPECT_TRUE(stale.empty())
            << "a box stood where its text was not at " << ::testing::PrintToString(stale) << " s";
        if (row.gesture == PageGesture::newTab) {
            // The page's own tab in front again for the tests that follow.
            ASSERT_TRUE(contextChanged) << "no new tab came to the front";
            ASSERT_TRUE(withControl(XK_w));
            ASSERT_TRUE(waitUntil([&] { return frameOf(*letter).has_value(); }, 10));
            spinFor(0.5);
            break;
        }
        EXPECT_TRUE(moved || !row.moves) << "the page did not move";
        if (row.after == InView::yes) {
            EXPECT_TRUE(waitUntil([&] { return boxes.shown.size() == 1; }, 3))
                << "the box never came back";
        } else {
            spinFor(1.0);
            EXPECT_TRUE(row.after == InView::either || boxes.shown.empty())
                << "a box over text out of view";
        }
    }
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
    // The monitor's log, for a failure's message.
    const auto log = [&] {
        std::string out;
        for (const auto& line : session_->log().lines())
            out += "\n" + line;
        return out;
    };
    // A Chromium started on a loaded machine takes its time to show the
    // page: the bound is far above the 5 s it takes alone, and costs
    // nothing when the page comes sooner.
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto roles = attached();
            return !roles.empty() && roles.back() == "entry";
        },
        40))
        << "followed: " << ::testing::PrintToString(attached()) << log();
    const auto area = pageField(ax(), browser->pid(), "area");
    ASSERT_TRUE(area.has_value()) << log();
    const bool followed = waitUntil(
        [&] {
            const auto& observed = monitor.observedElement();
            return observed && *observed == *area;
        },
        15);
    monitor.stop();
    EXPECT_TRUE(followed) << log();
    // Only text fields ("entry", as Chromium calls its text area and its
    // address bar) were followed, never the panel that had the focus.
    const auto roles = attached();
    EXPECT_TRUE(std::ranges::all_of(roles, [](const std::string& r) { return r == "entry"; }))
        << ::testing::PrintToString(roles) << log();
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserViewTest,
                         ::testing::Values(BrowserKind::chromium, BrowserKind::firefox),
                         [](const auto& info) { return std::string(browserName(info.param)); });

}  // namespace
}  // namespace mivo::desktop_test
