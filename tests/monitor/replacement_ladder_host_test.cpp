#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fake_replacement_host.hpp"
#include "monitor/replacement_ladder.hpp"
#include "platform/sim/sim_desktop.hpp"

// The ladder over a host of its own, no monitor: what it decides and what
// it hands back to the host.

namespace mivo {
namespace {

using sim::WriteQuirk;

CorrectionIssue issue(std::string original, std::string suggestion, int64_t start, int64_t end) {
    CorrectionIssue i;
    i.id = "issue-" + original + "-" + std::to_string(start);
    i.original = std::move(original);
    i.suggestion = std::move(suggestion);
    i.range = TextRange{start, end};
    return i;
}

const WriteQuirk kFails = WriteQuirk::fail(AXError::cannotComplete);

class LadderOverFakeHost : public ::testing::Test {
  protected:
    LadderOverFakeHost() {
        desk.addApplication(pid, "Editor", "com.example.editor");
        window = desk.addWindow(pid, "Untitled");
        field = desk.addTextField(window, "", {.frame = Rect{100, 200, 600, 40}});
        desk.activateApplication(pid);
        desk.focus(field);
        desk.clock().advance(0);
    }

    // `h` follows the field holding `text`, checked as it stands.
    void follow(const std::string& text, FakeReplacementHost& h) {
        desk.setText(field, text);
        h.follow(desk.element(field), pid);
        h.analyzed = FieldText{text, FieldText::Source::value, 0};
    }
    void follow(const std::string& text) { follow(text, host); }
    void advance(double seconds) { desk.clock().advance(seconds); }

    sim::SimDesktop desk;
    const Pid pid = 100;
    sim::SimId window = 0;
    sim::SimId field = 0;
    FakeReplacementHost host{desk};
    ReplacementLadder ladder{host};
};

// 晴れ → 雨 in 今日は晴れです。
const CorrectionIssue kHare = issue("晴れ", "雨", 3, 5);

// The route named by the first line that says something went in.
std::string firstWrite(const FakeReplacementHost& h) {
    for (const auto& line : h.lines) {
        for (const std::string route :
             {"using set_text_contents", "using delete_text+insert_text",
              "pasted replacement into selected AX range", "queued unicode typing"}) {
            if (line.find(route) != std::string::npos)
                return route;
        }
    }
    return "";
}

struct RouteCase {
    const char* why;
    WriteRouteTrust trust;
    bool wholeValueFails;
    bool selectedTextFails;
    const char* firstRoute;
};

TEST_F(LadderOverFakeHost, RoutesAreTriedInTheOrderTheFieldIsTrustedWith) {
    const RouteCase cases[] = {
        {"whole value trusted", {}, false, false, "using set_text_contents"},
        {"whole value refused", {}, true, false, "using delete_text+insert_text"},
        {"range trusted, plain text",
         {true, true, false},
         false,
         false,
         "pasted replacement into selected AX range"},
        {"range trusted, formatted",
         {true, true, true},
         false,
         false,
         "using delete_text+insert_text"},
        {"formatted, range write refused",
         {true, true, true},
         false,
         true,
         "using set_text_contents"},
        {"nothing trusted but the range",
         {false, false, false},
         false,
         false,
         "using delete_text+insert_text"},
        {"nothing trusted, range write refused",
         {false, false, false},
         false,
         true,
         "pasted replacement into selected AX range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        FakeReplacementHost caseHost{desk};
        ReplacementLadder caseLadder{caseHost};
        follow("今日は晴れです。", caseHost);
        desk.setWriteRouteTrust(field, c.trust);
        desk.setWriteQuirk(field, "AXValue", c.wholeValueFails ? kFails : WriteQuirk::leaveTail(0));
        desk.setWriteQuirk(field, "AXSelectedText",
                           c.selectedTextFails ? kFails : WriteQuirk::leaveTail(0));

        caseLadder.applyReplacement(kHare);
        advance(2.0);
        EXPECT_EQ(firstWrite(caseHost), c.firstRoute);
        EXPECT_EQ(caseHost.logged("retrying with"), 0u);
        EXPECT_EQ(desk.text(field), "今日は雨です。");
        EXPECT_EQ(caseHost.completed, std::vector<std::string>{"今日は雨です。"});
        // The text before the write was handed back as the last one polled,
        // and the window that kept it from being checked again is closed.
        ASSERT_FALSE(caseHost.suppressed.empty());
        EXPECT_EQ(caseHost.suppressed.front(), "今日は晴れです。");
        EXPECT_FALSE(caseHost.suppressionOpen);
        ASSERT_FALSE(caseHost.polled.empty());
        EXPECT_EQ(caseHost.polled.back(), "今日は雨です。");
        caseHost.stop();
    }
}

// What the field reads between a write and its check decides whether the
// ladder climbs on: only a write the field never showed is tried again, and
// only such a write, found at another copy of the original, is put back.
struct AfterWriteCase {
    const char* why;
    bool writeShows;                   // the selected-text write lands at once
    std::optional<std::string> reads;  // what the field reads at the check
    const char* finalText;
    bool retried;
    const char* line;
};

TEST_F(LadderOverFakeHost, OnlyAWriteThatNeverShowedIsRetriedOrPutBack) {
    const std::string original = "晴れの日も晴れです。";
    const CorrectionIssue second = issue("晴れ", "雨", 5, 7);
    const AfterWriteCase cases[] = {
        {"never showed, field unchanged", false, std::nullopt, "晴れの日も雨です。", true,
         "retrying with AX selection unicode typing"},
        {"showed, then undone", true, original, "晴れの日も晴れです。", false,
         "went in and was undone since; not written again"},
        {"showed, then typed on", true, "晴れの日も雨ですね。", "晴れの日も雨ですね。", false,
         "went in and the text was edited on since; left as it is"},
        {"never showed, landed at the other copy", false, "雨の日も晴れです。",
         "晴れの日も晴れです。", false, "went in at another place; the text was put back"},
        {"showed, then reads as if at the other copy", true, "雨の日も晴れです。",
         "雨の日も晴れです。", false, "went in and the text changed since; not written again"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        FakeReplacementHost caseHost{desk};
        ReplacementLadder caseLadder{caseHost};
        follow(original, caseHost);
        desk.setWriteRouteTrust(field, WriteRouteTrust{.wholeValue = false});
        desk.setWriteQuirk(field, "AXSelectedText",
                           c.writeShows ? WriteQuirk::leaveTail(0) : WriteQuirk::ignore());

        caseLadder.applyReplacement(second);
        ASSERT_EQ(desk.text(field), c.writeShows ? "晴れの日も雨です。" : original);
        desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::leaveTail(0));
        if (c.reads)
            desk.setText(field, *c.reads);
        advance(3.0);
        EXPECT_EQ(desk.text(field), c.finalText);
        EXPECT_EQ(caseHost.logged("retrying with") > 0, c.retried);
        EXPECT_EQ(caseHost.logged(c.line), 1u);
        EXPECT_EQ(caseHost.completed.size(), c.retried ? 1u : 0u);
        caseHost.stop();
    }
}

// Where the user's caret goes once the correction is in, on the routes
// that write at once: moved by the correction, never left after it.
struct CaretCase {
    const char* why;
    bool wholeValue;
    Utf16Range before;
    Utf16Range after;
};

TEST_F(LadderOverFakeHost, TheCaretGoesWhereTheUserHadItMovedByTheCorrection) {
    // 晴れ (2 units) → 曇り空 (3 units) at units 3 to 5.
    const CorrectionIssue longer = issue("晴れ", "曇り空", 3, 5);
    const CaretCase cases[] = {
        {"whole value, caret before", true, {1, 0}, {1, 0}},
        {"whole value, caret at the end", true, {8, 0}, {9, 0}},
        {"whole value, caret inside", true, {4, 0}, {6, 0}},
        {"whole value, a selection after", true, {5, 2}, {6, 2}},
        {"selected text, caret before", false, {1, 0}, {1, 0}},
        {"selected text, caret at the end", false, {8, 0}, {9, 0}},
        {"selected text, a selection before", false, {0, 2}, {0, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        FakeReplacementHost caseHost{desk};
        ReplacementLadder caseLadder{caseHost};
        follow("今日は晴れです。", caseHost);
        desk.setWriteRouteTrust(field, WriteRouteTrust{.wholeValue = c.wholeValue});
        desk.select(field, c.before);

        caseLadder.applyReplacement(longer);
        EXPECT_EQ(desk.text(field), "今日は曇り空です。");
        EXPECT_EQ(desk.selection(field), c.after);
        advance(2.0);
        EXPECT_EQ(desk.selection(field), c.after);
        EXPECT_EQ(caseHost.completed.size(), 1u);
        caseHost.stop();
    }
}

TEST_F(LadderOverFakeHost, NothingIsCheckedOrReportedOnceTheHostsRunHasEnded) {
    follow("今日は晴れです。");
    desk.setWriteRouteTrust(field, WriteRouteTrust{.wholeValue = false});
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::ignore());
    ladder.applyReplacement(kHare);
    host.stop();
    advance(3.0);
    EXPECT_EQ(desk.text(field), "今日は晴れです。");
    EXPECT_EQ(host.logged("retrying with"), 0u);
    EXPECT_TRUE(host.completed.empty());
}

TEST_F(LadderOverFakeHost, ATailTheHostRemembersMendingIsNotMendedAgain) {
    follow("今日は晴れです。");
    desk.setWriteRouteTrust(field, WriteRouteTrust{.wholeValue = false});
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::leaveTail(1));
    host.repairKeys.insert(kHare.id + "|今日は雨れです。");
    ladder.applyReplacement(kHare);
    ASSERT_EQ(desk.text(field), "今日は雨れです。");
    advance(3.0);
    EXPECT_EQ(host.logged("partial replacement"), 0u);
    EXPECT_EQ(desk.text(field), "今日は雨れです。");
}

}  // namespace
}  // namespace mivo
