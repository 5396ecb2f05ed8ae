// The user leaves a browser's rich text of several lines and comes back:
// by Alt+Tab, through a task bar, from a window of Mivo's own, by a click
// in the text; with every line checked, and with the last line's check
// still waiting for its pause. Every box of the document is back within
// two seconds of the return, whichever way it was.

#include <unistd.h>

#include "browsers/browser_desktop_fixture.hpp"
#include "x_windows.hpp"

namespace mivo::desktop_test {
namespace {

TEST_P(BrowserDesktopTest, EveryWayBackBringsEveryBoxOfTheDocumentBack) {
    enum class Away { altTab, taskBar, ownWindow };
    enum class Back { altTab, clickInText, closingOwnWindow };
    struct Row {
        const char* what;
        Away away;
        Back back;
        // A line is written and left 0.1 s after its 。, before its check.
        bool linePending;
    };
    const Row rows[] = {
        {"Alt+Tab away and back", Away::altTab, Back::altTab, false},
        {"Alt+Tab away right after a line's 。 and back", Away::altTab, Back::altTab, true},
        {"a task bar away, a click in the text back", Away::taskBar, Back::clickInText, false},
        {"Mivo's own window, closed again", Away::ownWindow, Back::closingOwnWindow, true},
    };
    // Another application, in front just before the browser: Alt+Tab
    // goes to it and back.
    auto elsewhere = startEditor({.title = "Elsewhere"});
    ASSERT_NE(elsewhere, nullptr);
    ASSERT_TRUE(bringToFront(browser_->pid(), 20));
    AccessibilityMonitor monitor(session_->ports());
    WiredDisplay wired(monitor, scheduler());
    CorrectionDisplayController& display = wired.display;
    ShownHighlights& highlight = wired.highlight;
    monitor.start();
    const AXElement root = focusRich("returns");
    std::vector<std::string> boxedLines = {"東京で住んでいます。", "大阪で住んでいます。"};
    ASSERT_NO_FATAL_FAILURE(
        typeLines(root, {"今日は晴れです。", boxedLines[0], "明日も晴れます。", boxedLines[1]}));
    const auto boxed = [&] { return boxesOnEachDe(root, boxedLines, highlight.shown); };
    ASSERT_TRUE(waitUntil([&] { return boxed().empty(); }, 5)) << boxed() << describeRich(root);
    XConnection x;
    const std::string pending[] = {"京都で住んでいます。", "横浜で住んでいます。"};
    std::size_t pendingUsed = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        session_->log().clear();
        if (row.linePending) {
            const std::string& line = pending[pendingUsed++];
            ASSERT_TRUE(pressChord(*session_, {XK_Return}));
            spinFor(0.3);
            ASSERT_NO_FATAL_FAILURE(typeText(line));
            ASSERT_TRUE(waitUntil([&] { return holdsLine(root, line); }, 10)) << describeRich(root);
            spinFor(0.1);
            boxedLines.push_back(line);
        }
        std::unique_ptr<OwnWindow> own;
        switch (row.away) {
            case Away::altTab:
                altTab(x.display());
                break;
            case Away::taskBar:
                workspace().activate(elsewhere->pid());
                break;
            case Away::ownWindow:
                own = std::make_unique<OwnWindow>();
                askWindowManager(x.display(), own->window(), "_NET_ACTIVE_WINDOW", 2, 0);
                break;
        }
        const Pid awayPid =
            row.away == Away::ownWindow ? static_cast<Pid>(getpid()) : elsewhere->pid();
        ASSERT_TRUE(waitUntil(
            [&] {
                const auto front = workspace().frontmostApplication();
                return front && front->pid == awayPid;
            },
            5));
        spinFor(0.5);
        switch (row.back) {
            case Back::altTab:
                altTab(x.display());
                break;
            case Back::clickInText: {
                // At the end of the last line, where the user writes on.
                const std::string& last = boxedLines.back();
                const auto lines = readElements(ax(), root, kAXChildrenAttribute)
                                       .value_or(std::vector<AXElement>{});
                const auto line = std::ranges::find_if(
                    lines, [&](const AXElement& l) { return value(l) == last; });
                ASSERT_NE(line, lines.end()) << describeRich(root);
                const auto glyph = bounds(*line, Utf16Range{text::utf16Length(last) - 1, 1});
                ASSERT_TRUE(glyph && !glyph->isZero()) << describeRich(root);
                // The accessibility bus answers in X's own coordinates.
                clickAt(x.display(), static_cast<int>(glyph->maxX() - 1),
                        static_cast<int>(glyph->y + glyph->height / 2), 0.05);
                break;
            }
            case Back::closingOwnWindow:
                own.reset();
                break;
        }
        ASSERT_TRUE(waitUntil(
            [&] {
                const auto front = workspace().frontmostApplication();
                return front && front->pid == browser_->pid();
            },
            5));
        // Two seconds after the return every box is there.
        spinFor(2.0);
        std::string log;
        for (const auto& line : session_->log().lines())
            log += "\n" + line;
        EXPECT_EQ(boxed(), "") << describeRich(root) << log;
    }
    display.clearCorrectionUIForContextChange();
    monitor.stop();
}

}  // namespace
}  // namespace mivo::desktop_test
