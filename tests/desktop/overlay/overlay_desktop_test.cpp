// The overlay on a real X server under openbox, over the GTK test editor:
// highlights lie over the editor's text, report the pointer, never take the
// focus; the correction panel takes a click on "Apply" and leaves the editor
// active with its caret where it was; no click or drag on our windows moves
// the keyboard away from the application. The suite runs at scale 1, and
// with Qt scaled by 2 and by 1.5 while the editor is not, where the
// highlights must still cover the editor's X pixels; its focus rows also
// run under xfwm4.

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browsers/browser_launch.hpp"
#include "desktop_test_support.hpp"
#include "field/ax_geometry.hpp"
#include "overlay/correction_panel_view.hpp"
#include "overlay/highlight_overlay.hpp"
#include "overlay/overlay_coordinator.hpp"
#include "overlay/overlay_desktop_fixture.hpp"
#include "overlay/qt_correction_panel_window.hpp"
#include "overlay/qt_highlight_windows.hpp"
#include "platform/linux/qt/qt_screens.hpp"
#include "ui/qt_edge.hpp"
#include "user_keyboard.hpp"
#include "x_windows.hpp"

// Last: Xlib's macros (None, Bool, Status) clash with GoogleTest and Qt.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace mivo::desktop_test {
namespace {

TEST_F(OverlayDesktopTest, HighlightsLieOverTheTextTakeNoFocusAndReportThePointer) {
    // The scaled run is scaled indeed.
    if (const char* factor = std::getenv("QT_SCALE_FACTOR")) {
        ASSERT_EQ(qApp->devicePixelRatio(), std::atof(factor));
    }
    auto editor = startEditor({.viewText = "本を読むをします。今日は晴れです。"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const Rect first = textRect(view, {2, 3});    // 読むを
    const Rect second = textRect(view, {12, 2});  // 晴れ
    ASSERT_GT(first.width, 0);
    ASSERT_GT(second.width, 0);

    QtHighlightWindows windows;
    HighlightOverlay overlay(windows);
    std::vector<std::string> events;
    overlay.onHoverIssue = [&](const CorrectionIssue& i, const Rect& r) {
        events.push_back("hover " + i.id + " " + toString(r));
    };
    overlay.onHoverEnded = [&](const CorrectionIssue& i) { events.push_back("end " + i.id); };
    movePointer(5, 5);
    overlay.show({{first, CorrectionIssue::Severity::critical,
                   issue("1", "読むを", "読み", CorrectionIssue::Severity::critical)},
                  {second, CorrectionIssue::Severity::style,
                   issue("2", "晴れ", "快晴", CorrectionIssue::Severity::style)}});

    std::vector<QWidget*> shown;
    ASSERT_TRUE(waitUntil([&] {
        shown = shownHighlights();
        return shown.size() == 2 && isViewable(display(), shown[0]->winId()) &&
               isViewable(display(), shown[1]->winId());
    }));
    // Each lies over its text with 2 pixels to spare, flipped to the X
    // server's y-down root window.
    const double h = primaryHeight();
    const Rect rects[] = {first, second};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const QRect g = rootGeometry(display(), shown[i]->winId());
        EXPECT_NEAR(g.x(), rects[i].x - 2, 1);
        EXPECT_NEAR(g.y(), h - rects[i].maxY() - 2, 1);
        EXPECT_NEAR(g.width(), rects[i].width + 4, 1);
        EXPECT_NEAR(g.height(), rects[i].height + 4, 1);
        // Qt lays the window out in its own pixels: on a scaled session
        // fewer of them than X pixels.
        EXPECT_NEAR(shown[i]->width() * shown[i]->devicePixelRatioF(), g.width(), 2);
        // Bypassing the window manager, and never asking for the keyboard.
        XWindowAttributes attributes{};
        XGetWindowAttributes(display(), shown[i]->winId(), &attributes);
        EXPECT_TRUE(attributes.override_redirect);
        XWMHints* hints = XGetWMHints(display(), shown[i]->winId());
        ASSERT_NE(hints, nullptr);
        EXPECT_TRUE((hints->flags & InputHint) != 0 && hints->input == False);
        XFree(hints);
    }

    // The pointer into the second highlight, then away.
    const QRect g = rootGeometry(display(), shown[1]->winId());
    movePointer(g.x() + g.width() / 2, g.y() + g.height() / 2);
    ASSERT_TRUE(waitUntil([&] { return !events.empty(); }));
    EXPECT_EQ(events, (std::vector<std::string>{"hover 2 " + toString(second)}));
    screenshot("overlay-highlights-hovered.png");
    QProcess::execute("import", {"-window", "root", "/tmp/overlay-shot.png"});
    movePointer(5, 5);
    ASSERT_TRUE(waitUntil([&] { return events.size() == 2; }));
    EXPECT_EQ(events.back(), "end 2");

    // Nothing took the focus from the editor.
    const auto front = workspace().frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->pid, editor->pid());
    EXPECT_EQ(readBool(ax(), view, kAXFocusedAttribute), true);

    overlay.hide();
    EXPECT_TRUE(waitUntil([&] { return shownHighlights().empty(); }));
}

TEST_F(OverlayDesktopTest, ApplyOnThePanelLeavesTheEditorActiveWithItsCaret) {
    auto editor = startEditor({.viewText = "本を読むをします。"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const auto caret = readRange(ax(), view, kAXSelectedTextRangeAttribute);
    ASSERT_TRUE(caret.has_value());
    const Rect anchor = textRect(view, {2, 3});

    QtCorrectionPanelWindow window;
    OverlayCoordinator coordinator(window, scheduler(), session_->desktop().screens());
    std::vector<std::string> applied;
    std::vector<bool> hover;
    coordinator.onApply = [&](const std::vector<CorrectionIssue>& issues) {
        for (const auto& i : issues)
            applied.push_back(i.id);
    };
    coordinator.onHoverChanged = [&](bool h) { hover.push_back(h); };
    movePointer(5, 5);
    coordinator.show({issue("1", "読むを", "読み", CorrectionIssue::Severity::critical)}, anchor);
    ASSERT_NE(window.window(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return isViewable(display(), window.window()->winId()); }));
    spinFor(0.2);

    // Where the placement put it, flipped once.
    const auto frame = coordinator.currentPanelFrame();
    ASSERT_TRUE(frame.has_value());
    const QRect g = rootGeometry(display(), window.window()->winId());
    EXPECT_NEAR(g.x(), frame->x, 1);
    EXPECT_NEAR(g.y(), primaryHeight() - frame->maxY(), 1);
    EXPECT_LE(g.y(), primaryHeight() - anchor.minY() + 6 + 1) << "below the text, not over it";
    screenshot("overlay-panel.png");

    // "Why?" grows the panel downwards: its edge next to the text stays.
    QWidget* why = window.view()->findChild<QWidget*>("explanationToggle");
    ASSERT_NE(why, nullptr);
    const QPoint whyAt = onX11(why->mapToGlobal(why->rect().center()));
    click(whyAt.x(), whyAt.y());
    ASSERT_TRUE(waitUntil(
        [&] { return rootGeometry(display(), window.window()->winId()).height() > g.height(); }));
    EXPECT_EQ(rootGeometry(display(), window.window()->winId()).y(), g.y());
    spinFor(0.3);
    screenshot("overlay-panel-explanation.png");

    QWidget* apply = window.view()->findChild<QWidget*>("applyButton");
    ASSERT_NE(apply, nullptr);
    const QPoint target = onX11(apply->mapToGlobal(apply->rect().center()));
    click(target.x(), target.y());
    ASSERT_TRUE(waitUntil([&] { return !applied.empty(); }));
    EXPECT_EQ(applied, (std::vector<std::string>{"1"}));
    EXPECT_TRUE(coordinator.state().isHidden());
    ASSERT_FALSE(hover.empty());
    EXPECT_TRUE(hover.front()) << "the pointer on the panel was reported";
    EXPECT_FALSE(hover.back());

    // The editor is still the active application, its text view focused,
    // the caret where it was.
    spinFor(0.2);
    const auto front = workspace().frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->pid, editor->pid());
    EXPECT_EQ(readBool(ax(), view, kAXFocusedAttribute), true);
    EXPECT_EQ(readRange(ax(), view, kAXSelectedTextRangeAttribute), caret);
    EXPECT_FALSE(window.window()->isVisible());
}

TEST_F(OverlayDesktopTest, ApplyIsInTheAccessibilityTreeAtEveryHover) {
    // Hover after hover over text, as the user moves the pointer: the
    // highlight comes again, the panel shows new content next to it and
    // closes. Every time it is on screen, its one Apply is in the tree.
    QtHighlightWindows windows;
    HighlightOverlay overlay(windows);
    QtCorrectionPanelWindow window;
    OverlayCoordinator coordinator(window, scheduler(), session_->desktop().screens());
    const Rect anchor{300, primaryHeight() - 300, 40, 16};
    int missing = 0;
    for (int hover = 0; hover < 40; ++hover) {
        const auto shown = issue(std::to_string(hover), "読むを", "読み",
                                 hover % 2 == 0 ? CorrectionIssue::Severity::critical
                                                : CorrectionIssue::Severity::style);
        overlay.show({{anchor, shown.severity, shown}});
        coordinator.show({shown}, anchor);
        spinFor(0.05);
        if (showingButtons(QAccessible::queryAccessibleInterface(window.window()), "Apply") != 1)
            ++missing;
        coordinator.hide();
        overlay.hide();
        spinFor(0.05);
    }
    EXPECT_EQ(missing, 0) << "of 40 hovers";
}

TEST_F(OverlayDesktopTest, ANoticeStaysOnScreenOverTheWindowClickedDuringTheWrite) {
    // The write failed because the user clicked into the window under the
    // text (in a browser, on the page): that window comes to the front, the
    // focus moves, and the correction UI is closed, before the notice that
    // says what became of the write goes up or while it stands. The notice
    // stays on top until its time is up.
    auto editor = startEditor({.viewText = "本を読むをします。"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const Rect anchor = textRect(view, {2, 3});
    QtCorrectionPanelWindow window;
    OverlayCoordinator coordinator(window, scheduler(), session_->desktop().screens());
    const double h = primaryHeight();
    const auto clickIntoTheWindow = [&] {
        click(static_cast<int>(anchor.x + anchor.width / 2), static_cast<int>(h - anchor.midY()));
        coordinator.hide();
    };
    struct Row {
        const char* what;
        bool clickFirst;
    };
    for (const Row& row : {Row{"the click before the notice goes up", true},
                           Row{"the click while the notice stands", false}}) {
        SCOPED_TRACE(row.what);
        if (row.clickFirst)
            clickIntoTheWindow();
        coordinator.showNotice("The correction could not be written; your text is as it was",
                               anchor);
        ASSERT_NE(window.window(), nullptr);
        const Window notice = window.window()->winId();
        ASSERT_TRUE(waitUntil([&] { return isViewable(display(), notice); }));
        if (row.clickFirst)
            // The dismissal the pointer's leaving scheduled at the first
            // hide comes due.
            coordinator.hide();
        else
            clickIntoTheWindow();
        spinFor(0.5);
        EXPECT_TRUE(isViewable(display(), notice));
        // What shows at the notice's middle is the notice, not the window
        // clicked into.
        const QRect g = rootGeometry(display(), notice);
        Window top = 0;
        int x = 0;
        int y = 0;
        XTranslateCoordinates(display(), DefaultRootWindow(display()), DefaultRootWindow(display()),
                              g.center().x(), g.center().y(), &x, &y, &top);
        EXPECT_EQ(top, topLevelOf(display(), notice));
        screenshot("overlay-notice-after-click.png");
        EXPECT_TRUE(waitUntil([&] { return !isViewable(display(), notice); },
                              OverlayCoordinator::noticeSeconds + 1));
    }
}

TEST_F(OverlayDesktopTest, WhatTheUserDoesOnOurWindowsLeavesTheKeyboardWithTheEditor) {
    // A click on a highlight (where the user would click to put the caret
    // on the word), on the panel's card or its explanation, a drag of the
    // panel, a click on a notice: none of it moves the active window or the
    // keyboard focus, and the user's next keys land in the editor.
    std::string why;
    auto keyboard = UserKeyboard::open(why);
    ASSERT_NE(keyboard, nullptr) << why;
    const std::string text = "本を読むをします。";
    auto editor = startEditor({.viewText = text});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const int end = static_cast<int>(text::utf16Length(text));
    const Rect word = textRect(view, {2, 3});
    const double h = primaryHeight();
    // The user clicked into the text before (the window manager has seen a
    // click go to a window), then the caret went to the end.
    const Rect last = textRect(view, {end - 1, 1});
    click(static_cast<int>(last.maxX() + 20), static_cast<int>(h - last.y - last.height / 2));
    ASSERT_EQ(placeCaret(view, end), AXError::success);

    QtHighlightWindows windows;
    HighlightOverlay overlay(windows);
    QtCorrectionPanelWindow window;
    OverlayCoordinator coordinator(window, scheduler(), session_->desktop().screens());
    const auto shown = issue("1", "読むを", "読み", CorrectionIssue::Severity::critical);
    const auto showPanel = [&] {
        coordinator.show({shown}, word);
        EXPECT_TRUE(waitUntil([&] { return isViewable(display(), window.window()->winId()); }));
        spinFor(0.2);
    };
    const auto at = [&](QWidget* w, QPoint local) { return onX11(w->mapToGlobal(local)); };
    const auto clickOn = [&](QWidget* w) {
        ASSERT_NE(w, nullptr);
        const QPoint p = at(w, w->rect().center());
        click(p.x(), p.y());
    };

    struct Row {
        const char* what;
        const char* picture;
        std::function<void()> act;
    };
    const Row rows[] = {
        {"a click on a highlight", "highlight",
         [&] {
             overlay.show({{word, shown.severity, shown}});
             ASSERT_TRUE(waitUntil([&] { return shownHighlights().size() == 1; }));
             spinFor(0.2);
             click(static_cast<int>(word.x + word.width / 2),
                   static_cast<int>(h - word.y - word.height / 2));
         }},
        {"a click on the panel's card", "panel",
         [&] {
             showPanel();
             clickOn(window.view()->findChild<QWidget*>("suggestionLabel"));
         }},
        {"a click on the explanation", "explanation",
         [&] {
             showPanel();
             clickOn(window.view()->findChild<QWidget*>("explanationToggle"));
             QWidget* explanation = window.view()->findChild<QWidget*>("explanationLabel");
             ASSERT_TRUE(waitUntil([&] { return explanation->isVisible(); }));
             spinFor(0.3);
             clickOn(explanation);
         }},
        {"a drag of the panel", "drag",
         [&] {
             showPanel();
             QWidget* card = window.view()->findChild<QWidget*>("originalLabel");
             ASSERT_NE(card, nullptr);
             const QPoint from = at(card, card->rect().center());
             const QRect before = rootGeometry(display(), window.window()->winId());
             movePointer(from.x(), from.y());
             spinFor(0.1);
             XTestFakeButtonEvent(display(), 1, True, CurrentTime);
             XSync(display(), False);
             for (int step = 1; step <= 8; ++step) {
                 spinFor(0.03);
                 movePointer(from.x() + step * 10, from.y() + step * 5);
             }
             spinFor(0.1);
             XTestFakeButtonEvent(display(), 1, False, CurrentTime);
             XSync(display(), False);
             // Qt moves it in its own pixels: a scaled one may round.
             EXPECT_TRUE(waitUntil([&] {
                 const QPoint moved =
                     rootGeometry(display(), window.window()->winId()).topLeft() - before.topLeft();
                 return std::abs(moved.x() - 80) <= 2 && std::abs(moved.y() - 40) <= 2;
             })) << "the panel follows the pointer";
         }},
        {"a click on the notice", "notice",
         [&] {
             coordinator.showNotice("The correction could not be written; your text is as it was",
                                    word);
             ASSERT_TRUE(
                 waitUntil([&] { return isViewable(display(), window.window()->winId()); }));
             spinFor(0.2);
             clickOn(window.view()->findChild<QWidget*>("noticeLabel"));
         }},
    };
    std::string expected = text;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        row.act();
        spinFor(0.3);
        const auto front = workspace().frontmostApplication();
        EXPECT_TRUE(front.has_value() && front->pid == editor->pid()) << "the active window";
        EXPECT_EQ(keyboardOwner(display()), std::optional<long>(editor->pid())) << "the X focus";
        ASSERT_TRUE(keyboard->type("xy"));
        expected += "xy";
        EXPECT_TRUE(waitForValue(view, expected, 2)) << value(view).value_or("");
        screenshot(std::string("overlay-keyboard-after-") + row.picture + ".png");
        // Whatever a row broke, the next starts from the editor in front.
        coordinator.hide();
        overlay.hide();
        movePointer(5, 5);
        spinFor(0.2);
        if (!bringToFront(editor->pid(), 3) || value(view) != expected) {
            ax().setAttributeValue(view, kAXValueAttribute, AXValue(expected));
            placeCaret(view, static_cast<int>(text::utf16Length(expected)));
        }
    }

    // Shown again and again, the panel asks no window manager for the
    // keyboard, in either way ICCCM has for it: a click on it is no
    // request of the focus.
    showPanel();
    const Window panel = window.window()->winId();
    XWMHints* hints = XGetWMHints(display(), panel);
    ASSERT_NE(hints, nullptr);
    EXPECT_TRUE((hints->flags & InputHint) != 0 && hints->input == False);
    XFree(hints);
    Atom* protocols = nullptr;
    int count = 0;
    ASSERT_NE(XGetWMProtocols(display(), panel, &protocols, &count), 0);
    const Atom takeFocus = XInternAtom(display(), "WM_TAKE_FOCUS", False);
    EXPECT_EQ(std::count(protocols, protocols + count, takeFocus), 0);
    EXPECT_GT(count, 0) << "its other protocols stay";
    XFree(protocols);
    coordinator.hide();
}

TEST_F(OverlayDesktopTest, AClickOnAHighlightOverABrowsersPageLeavesItTheKeyboard) {
    // The same click over Firefox's page: whatever lies under the
    // highlight, the click ends on it.
    std::string why;
    auto keyboard = UserKeyboard::open(why);
    ASSERT_NE(keyboard, nullptr) << why;
    auto browser = launchBrowser(BrowserKind::firefox, MIVO_BROWSER_PAGE);
    ASSERT_NE(browser, nullptr);
    std::optional<AXElement> field;
    ASSERT_TRUE(waitUntil(
        [&] { return (field = pageField(ax(), browser->pid(), "hands")).has_value(); }, 40))
        << browser->failure;
    ASSERT_EQ(ax().setAttributeValue(*field, kAXFocusedAttribute, AXValue(true)), AXError::success);
    // The page takes keys a moment after it shows.
    int typed = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            if (typed++ % 100 == 0)
                keyboard->type("k");
            return value(*field).value_or("").find('k') != std::string::npos;
        },
        30));
    // Its first boxes are the page's origin.
    const auto box = [&](Utf16Range range) {
        std::optional<Rect> rect;
        waitUntil(
            [&] {
                rect = AXTextExtractor::directBoundsForRange(ax(), session_->desktop().screens(),
                                                             range, *field);
                return rect && rect->width > 0 && rect->y > 0;
            },
            10);
        return rect.value_or(Rect{});
    };
    const std::string text = value(*field).value_or("");
    const int end = static_cast<int>(text::utf16Length(text));
    const Rect word = box({end - 5, 2});  // 晴れ
    const Rect last = box({end - 1, 1});
    ASSERT_GT(word.width, 0);
    const double h = primaryHeight();
    // The user clicks after the text and types, then clicks on the
    // highlight.
    click(static_cast<int>(last.maxX() + 30), static_cast<int>(h - last.midY()));
    ASSERT_TRUE(keyboard->type("ab"));
    ASSERT_TRUE(waitForValue(*field, text + "ab"));

    QtHighlightWindows windows;
    HighlightOverlay overlay(windows);
    const auto shown = issue("1", "晴れ", "快晴", CorrectionIssue::Severity::critical);
    overlay.show({{word, shown.severity, shown}});
    ASSERT_TRUE(waitUntil([&] { return shownHighlights().size() == 1; }));
    spinFor(0.2);
    click(static_cast<int>(word.x + word.width / 2), static_cast<int>(h - word.midY()));
    spinFor(0.3);
    const auto front = workspace().frontmostApplication();
    EXPECT_TRUE(front.has_value() && front->pid == browser->pid()) << "the active window";
    EXPECT_EQ(keyboardOwner(display()), std::optional<long>(browser->pid())) << "the X focus";
    ASSERT_TRUE(keyboard->type("xy"));
    EXPECT_TRUE(waitForValue(*field, text + "abxy", 2)) << value(*field).value_or("");
    screenshot("overlay-keyboard-after-highlight-firefox.png");
}

TEST_F(OverlayDesktopTest, APanelNextToTextAtTheScreensEdgesStaysOnTheScreen) {
    QtCorrectionPanelWindow window;
    OverlayCoordinator coordinator(window, scheduler(), session_->desktop().screens());
    const double h = primaryHeight();
    // Text at the right edge near the top, and at the left edge near the
    // bottom, of the 1280 x 1024 screen.
    for (const Rect& anchor : {Rect{1250, h - 40, 20, 16}, Rect{4, 30, 20, 16}}) {
        SCOPED_TRACE(toString(anchor));
        coordinator.show({issue("1", "読むを", "読み", CorrectionIssue::Severity::critical)},
                         anchor);
        ASSERT_NE(window.window(), nullptr);
        ASSERT_TRUE(waitUntil([&] { return isViewable(display(), window.window()->winId()); }));
        spinFor(0.2);
        const QRect g = rootGeometry(display(), window.window()->winId());
        EXPECT_GE(g.x(), 0);
        EXPECT_GE(g.y(), 0);
        EXPECT_LE(g.x() + g.width(), 1280);
        EXPECT_LE(g.y() + g.height(), static_cast<int>(h));
        coordinator.hide();
    }
}

}  // namespace
}  // namespace mivo::desktop_test
