#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "monitor/replacement_ladder.hpp"
#include "monitor_scene.hpp"
#include "monitor_test_access.hpp"
#include "platform/sim/sim_pasteboard.hpp"
#include "shared/text.hpp"

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

// 晴れ → 雨 in 今日は晴れです。, at Characters 3 to 5.
const CorrectionIssue kHare = issue("晴れ", "雨", 3, 5);
const std::vector<PasteboardItem> kUserContents = {stringItem("ユーザーの内容")};

class ReplacementLadderTest : public MonitorScene {
  protected:
    ReplacementLadderTest() {
        monitor.onReplacementCompleted = [this](const std::string& text) {
            completed.push_back(text);
            completedAt.push_back(desk.clock().elapsed());
        };
        desk.pasteboard().userCopies(kUserContents);
    }

    // The monitor follows `id` with `text` in it, checked as it stands
    // unless another checked text is given; the clock stands at 0.
    void follow(sim::SimId id, const std::string& text,
                std::optional<FieldText> checked = std::nullopt) {
        desk.setText(id, text);
        desk.focus(id);
        monitor.start();
        advance(0);
        MonitorTestAccess::host(monitor).setLastAnalyzedText(
            checked.value_or(FieldText{text, FieldText::Source::value, 0}));
        start = desk.clock().elapsed();
    }
    void followField(const std::string& text, std::optional<std::string> checked = std::nullopt) {
        follow(field, text,
               checked ? std::optional(FieldText{*checked, FieldText::Source::value, 0})
                       : std::nullopt);
    }
    sim::SimId followFragmentBacked(const std::string& text) {
        const sim::SimId editor = desk.addTextField(
            window, "", {.frame = Rect{100, 300, 600, 40}, .fragmentBacked = true});
        follow(editor, text);
        return editor;
    }

    // Advances to `t` seconds after following began.
    void advanceTo(double t) { advance(t - (desk.clock().elapsed() - start)); }
    double completedAfter(std::size_t i = 0) { return completedAt.at(i) - start; }
    // Like some web views: the value reads empty, so reads fall back to the
    // text before the caret, yet a value written still lands (a moment later).
    void valueReadsEmptyButTakesWrites() {
        desk.setAttribute(field, "AXValue", AXValue(""));
        desk.setWriteQuirk(field, "AXValue", WriteQuirk::lag(0));
    }

    std::vector<std::string> completed;
    std::vector<double> completedAt;
    double start = 0;
};

// --- One issue ------------------------------------------------------------------

TEST_F(ReplacementLadderTest, AWholeValueWriteIsVerifiedAndReported) {
    followField("今日は晴れです。");
    monitor.applyReplacement(kHare);
    advanceTo(0.19);
    EXPECT_TRUE(completed.empty());
    advanceTo(0.2);
    EXPECT_EQ(completed, std::vector<std::string>{"今日は雨です。"});
    EXPECT_FALSE(monitor.pendingApplyOriginalText());
}

TEST_F(ReplacementLadderTest, ALeftoverTailInAPlainFieldIsMendedByAWholeValueWrite) {
    // Checked before 今日は was typed: the stored range no longer holds 晴れ,
    // but the sentence around it is the one checked.
    followField("今日は晴れです。", "晴れです。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::leaveTail(1));
    monitor.applyReplacement(issue("晴れ", "雨", 0, 2));
    EXPECT_EQ(desk.text(field), "今日は雨れです。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::leaveTail(0));
    advanceTo(0.35);
    EXPECT_EQ(logged("applyReplacement: repaired partial replacement with set_text_contents"), 1u);
    EXPECT_EQ(desk.text(field), "今日は雨です。");
    advanceTo(0.79);
    EXPECT_TRUE(completed.empty());
    advanceTo(0.8);
    EXPECT_EQ(completed, std::vector<std::string>{"今日は雨です。"});
}

TEST_F(ReplacementLadderTest, ALeftoverTailInAFragmentBackedEditorIsSelectedAndDeleted) {
    const sim::SimId editor = followFragmentBacked("今日は晴れです。");
    desk.setWriteQuirk(editor, "AXSelectedText", WriteQuirk::leaveTail(1));
    monitor.applyReplacement(kHare);
    EXPECT_EQ(logged("applyReplacement: skipping set_text_contents for fragment-backed editor"),
              1u);
    EXPECT_EQ(desk.text(editor), "今日は雨れです。");
    // The editor deletes a selection as it should.
    desk.setWriteQuirk(editor, "AXSelectedText", WriteQuirk::leaveTail(0));
    advanceTo(0.35);
    EXPECT_EQ(logged("applyReplacement: deleted partial replacement tail using delete_text"), 1u);
    EXPECT_EQ(desk.text(editor), "今日は雨です。");
    EXPECT_EQ(desk.selection(editor), (Utf16Range{4, 0}));
    advanceTo(0.8);
    EXPECT_EQ(completed, std::vector<std::string>{"今日は雨です。"});
    EXPECT_NEAR(completedAfter(), 0.8, 1e-9);
}

TEST_F(ReplacementLadderTest, ATailThatCannotBeDeletedByAttributeGetsADeleteKey) {
    const sim::SimId editor = followFragmentBacked("今日は晴れです。");
    desk.setWriteQuirk(editor, "AXSelectedText", WriteQuirk::fail(AXError::cannotComplete));
    desk.setInputQuirk(editor, sim::InputQuirk{.leavesTailCharacters = 1});
    monitor.applyReplacement(kHare);
    advanceTo(0.95);
    EXPECT_EQ(logged("applyReplacement: delete_text of the tail failed err=-25204, posting "
                     "Delete"),
              1u);
    EXPECT_EQ(desk.selection(editor), (Utf16Range{4, 1}));
    advanceTo(1.13);
    EXPECT_EQ(desk.text(editor), "今日は雨です。");
    advanceTo(1.4);
    EXPECT_EQ(completed, std::vector<std::string>{"今日は雨です。"});
    EXPECT_EQ(desk.pasteboard().items(), kUserContents);
}

TEST_F(ReplacementLadderTest, AFieldIgnoringTheSelectedTextWriteGetsSelectionTyping) {
    followField("今日は晴れです。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::ignore());
    monitor.applyReplacement(kHare);
    advanceTo(0.35);
    EXPECT_EQ(logged("applyReplacement: verification failed, retrying with AX selection unicode "
                     "typing"),
              1u);
    advanceTo(0.57);
    EXPECT_EQ(desk.text(field), "今日は雨です。");
    advanceTo(1.39);
    EXPECT_TRUE(completed.empty());
    advanceTo(1.4);
    EXPECT_EQ(completed, std::vector<std::string>{"今日は雨です。"});
}

TEST_F(ReplacementLadderTest, AnEmojiBeforeTheIssueStillSelectsTheOriginal) {
    followField("😀今日は晴れです。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::ignore());
    monitor.applyReplacement(issue("晴れ", "雨", 4, 6));
    EXPECT_EQ(desk.selection(field), (Utf16Range{5, 2}));
    advanceTo(2.0);
    EXPECT_EQ(completed, std::vector<std::string>{"😀今日は雨です。"});
}

TEST_F(ReplacementLadderTest, AStaleStoredRangeFindsTheOccurrenceInTheCheckedSentence) {
    // Checked as 今日も晴れです。; 昨日は晴れ、 was typed in front since. The
    // 晴れ at 3 is nearer the stored start but stands in another sentence.
    followField("昨日は晴れ、今日も晴れです。", "今日も晴れです。");
    monitor.applyReplacement(issue("晴れ", "雨", 3, 5));
    EXPECT_EQ(desk.text(field), "昨日は晴れ、今日も雨です。");
    advanceTo(0.2);
    EXPECT_EQ(completed, std::vector<std::string>{"昨日は晴れ、今日も雨です。"});
}

TEST_F(ReplacementLadderTest, ACopyOfTheOriginalInANewTextIsNeverWritten) {
    // 東京で住んでいます。 was checked (で → に at 2), then everything was
    // selected and deleted and a new sentence typed, with で at 10.
    const std::string retyped = "今日は朝から良い天気でしたが午後から雨が降りそう";
    followField(retyped, "東京で住んでいます。");
    monitor.applyReplacement(issue("で", "に", 2, 3));
    advanceTo(3.0);
    EXPECT_EQ(desk.text(field), retyped);
    EXPECT_EQ(
        logged("applyReplacement: refused — the original no longer stands where it was checked"),
        1u);
    EXPECT_FALSE(monitor.pendingApplyOriginalText());
}

TEST_F(ReplacementLadderTest, ACorrectionThatWentInAtAnotherCopyIsPutBack) {
    followField("明日も晴れ。今日は晴れです。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
    // The editor keeps the user's selection, on the other 晴れ, when asked
    // to select the issue: the write lands there.
    desk.select(field, {3, 2});
    desk.setWriteQuirk(field, "AXSelectedTextRange", WriteQuirk::ignore());
    monitor.applyReplacement(issue("晴れ", "雨", 9, 11));
    ASSERT_EQ(desk.text(field), "明日も雨。今日は晴れです。");
    desk.setWriteQuirk(field, "AXSelectedTextRange", WriteQuirk::leaveTail(0));
    advanceTo(0.35);
    EXPECT_EQ(desk.text(field), "明日も晴れ。今日は晴れです。");
    EXPECT_EQ(logged("applyReplacement: the correction went in at another place; the text was "
                     "put back"),
              1u);
    advanceTo(3.0);
    EXPECT_EQ(desk.text(field), "明日も晴れ。今日は晴れです。");
    EXPECT_EQ(logged("retrying with"), 0u);
    EXPECT_TRUE(completed.empty());
}

// Where the user's caret ends up after each route: they type on where they
// were, not after the corrected word.
struct CaretCase {
    const char* why;
    Utf16Range before;
    Utf16Range after;
};

struct RouteCase {
    const char* route;
    bool wholeValueFails;
    bool selectedTextFails;
};

TEST_F(ReplacementLadderTest, TheCaretGoesBackWhereTheUserHadIt) {
    const CaretCase carets[] = {
        {"at the end", {10, 0}, {11, 0}},
        {"after the range", {5, 0}, {6, 0}},
        {"before the range", {1, 0}, {1, 0}},
        {"a selection after the range", {4, 3}, {5, 3}},
    };
    const RouteCase routes[] = {
        {"whole value", false, false},
        {"selected text", true, false},
        {"select and paste", true, true},
    };
    for (const auto& route : routes) {
        for (const auto& c : carets) {
            SCOPED_TRACE(std::string(route.route) + ", " + c.why);
            followField("東京で住んでいます。");
            if (route.wholeValueFails)
                desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
            if (route.selectedTextFails)
                desk.setWriteQuirk(field, "AXSelectedText",
                                   WriteQuirk::fail(AXError::cannotComplete));
            desk.select(field, c.before);
            monitor.applyReplacement(issue("で", "には", 2, 3));
            advanceTo(2.0);
            EXPECT_EQ(desk.text(field), "東京には住んでいます。");
            EXPECT_EQ(desk.selection(field), c.after);
            monitor.stop();
            desk.setWriteQuirk(field, "AXValue", WriteQuirk::leaveTail(0));
            desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::leaveTail(0));
            completed.clear();
        }
    }
}

struct OrderCase {
    const char* why;
    WriteRouteTrust trust;
    const char* firstLine;
};

TEST_F(ReplacementLadderTest, WhereRangeWritesAreTrustedAPasteGoesBeforeTheWholeValue) {
    const OrderCase cases[] = {
        {"whole value first where no range write is trusted",
         {true, false},
         "applyReplacement: wrote replacement using set_text_contents"},
        {"GTK and Qt: a paste over the selection, one step in the editor's undo history",
         {true, true},
         "applyReplacement: pasted replacement into selected AX range"},
        {"an editor whose whole-value write is refused",
         {false, true},
         "applyReplacement: pasted replacement into selected AX range"},
        {"a word processor: a paste would take the format before the selection, the range "
         "edit takes the replaced text's",
         {false, true, true},
         "applyReplacement: wrote replacement using delete_text+insert_text"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        desk.log().clear();
        completed.clear();
        followField("今日は晴れです。");
        desk.setWriteRouteTrust(field, c.trust);
        monitor.applyReplacement(kHare);
        advanceTo(2.0);
        EXPECT_EQ(desk.text(field), "今日は雨です。");
        EXPECT_EQ(completed, std::vector<std::string>{"今日は雨です。"});
        EXPECT_EQ(logged(c.firstLine), 1u);
        EXPECT_EQ(logged("applyReplacement: wrote"),
                  c.trust.range && !c.trust.formatting ? 0u : 1u);
        monitor.stop();
    }
}

TEST_F(ReplacementLadderTest, AnApplicationWaitingForOurClipboardIsNotCalledUntilItHasIt) {
    // Toolkits that fetch the clipboard late and answer nothing while they
    // wait for it: a check, caret restore or poll that calls them meanwhile
    // costs the paste, and typing would take over.
    desk.pasteboard().setCountsFetches(true);
    for (const double late : {0.05, 0.3, 0.9}) {
        SCOPED_TRACE(late);
        desk.log().clear();
        completed.clear();
        followField("今日は晴れです。");
        desk.setWriteRouteTrust(field, {true, true});
        desk.setInputQuirk(
            field, sim::InputQuirk{.pasteDelaySeconds = late, .answersNoCallsWhilePasting = true});
        desk.select(field, {8, 0});
        const std::size_t refusedBefore = desk.callsRefusedWhilePasting();
        monitor.applyReplacement(kHare);
        // The window says it was activated while the paste waits.
        advanceTo(0.25);
        desk.accessibility().deliver(pid, window, app, kAXFocusedWindowChangedNotification);
        advanceTo(4.0);
        EXPECT_EQ(desk.callsRefusedWhilePasting(), refusedBefore);
        EXPECT_EQ(desk.text(field), "今日は雨です。");
        EXPECT_EQ(completed, std::vector<std::string>{"今日は雨です。"});
        EXPECT_EQ(logged("typing"), 0u);
        EXPECT_EQ(desk.selection(field), (Utf16Range{7, 0}));
        EXPECT_EQ(pasteboardString(desk.pasteboard()), "ユーザーの内容");
        monitor.stop();
    }
}

TEST_F(ReplacementLadderTest, AnOriginalThatIsGoneFailsTheWholeLadder) {
    followField("今日は晴れです。");
    monitor.applyReplacement(issue("雪", "雨", 3, 4));
    EXPECT_EQ(logged("[Mivo] applyReplacement: refused — the original no longer stands where it "
                     "was checked"),
              1u);
    for (const auto& line : desk.log().keptLines())
        EXPECT_EQ(line.find("雪"), std::string::npos) << line;
    advanceTo(3.0);
    EXPECT_EQ(desk.text(field), "今日は晴れです。");
    EXPECT_TRUE(completed.empty());
    EXPECT_EQ(logged("verification"), 0u);
}

TEST_F(ReplacementLadderTest, AnIgnoredWholeValueWriteGivesUpAtTheFirstCheck) {
    followField("今日は晴れです。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::ignore());
    monitor.applyReplacement(kHare);
    advanceTo(0.2);
    EXPECT_EQ(logged("[Mivo] applyReplacement: verification failed after final attempt "
                     "current=\"今日は晴れです。\""),
              1u);
    for (const auto& line : desk.log().keptLines())
        EXPECT_EQ(line.find("晴れ"), std::string::npos) << line;
    EXPECT_EQ(monitor.pendingApplyOriginalText(), "今日は晴れです。");
    EXPECT_TRUE(completed.empty());
}

TEST_F(ReplacementLadderTest, AFocusMoveBeforeTheCheckLeavesTheTextAlone) {
    followField("今日は晴れです。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::ignore());
    monitor.applyReplacement(kHare);
    desk.focus(desk.addTextField(window, "別の欄"));
    advanceTo(0.2);
    EXPECT_EQ(logged("applyReplacement: verification skipped — focus changed mid-apply"), 1u);
    EXPECT_EQ(monitor.pendingApplyOriginalText(), "今日は晴れです。");
    EXPECT_EQ(logged("final attempt"), 0u);
    // Left behind by a write that selected the original first: nothing of
    // ours stays selected in the field the user went away from.
    monitor.stop();
    followField("今日は晴れです。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::ignore());
    monitor.applyReplacement(kHare);
    ASSERT_EQ(desk.selection(field).length, 2);
    desk.focus(desk.addTextField(window, "別の欄"));
    advanceTo(1.0);
    EXPECT_EQ(desk.selection(field).length, 0);
}

TEST_F(ReplacementLadderTest, ATailIsMendedOnceHoweverOftenTheMonitorReattaches) {
    followField("今日は晴れです。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
    // Every selected-text write, also the deletion, keeps a Character.
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::leaveTail(1));
    monitor.applyReplacement(kHare);
    advanceTo(0.35);
    EXPECT_EQ(logged("deleted partial replacement tail"), 1u);
    // An activation notice makes the monitor attach to the field afresh,
    // which forgets the repairs it remembers.
    desk.postActivationNotification(desk.workspace().frontmostApplication());
    advanceTo(0.5);
    advanceTo(3.0);
    EXPECT_EQ(logged("deleted partial replacement tail"), 1u);
    EXPECT_EQ(logged("applyReplacement: verification failed, not retrying"), 1u);
    EXPECT_EQ(desk.text(field), "今日は雨れです。");
}

// A check that fails after the first method changed the field: the original
// is no longer where it stood, and another occurrence of it is not the one
// the user accepted.
struct MovedOriginalCase {
    const char* why;
    WriteQuirk selectedTextWrite;
    std::string typedAfterwards;  // by the user at the end of the field
    std::string finalText;
    const char* line;  // what the log says happened
};

TEST_F(ReplacementLadderTest, ARetryNeverWritesOverAnotherOccurrenceOfTheOriginal) {
    const MovedOriginalCase cases[] = {
        {"a leftover tail that the field will not delete", WriteQuirk::leaveTail(1), "",
         "今日は雨れです。明日も晴れ。",
         "applyReplacement: verification failed, not retrying — the original is no longer "
         "where it stood"},
        {"the user typed on after the correction went in", WriteQuirk::leaveTail(0), "よ",
         "今日は雨です。明日も晴れ。よ",
         "applyReplacement: the correction went in and the text was edited on since; left as "
         "it is"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        desk.log().clear();
        followField("今日は晴れです。明日も晴れ。");
        desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
        desk.setWriteQuirk(field, "AXSelectedText", c.selectedTextWrite);
        monitor.applyReplacement(kHare);
        advanceTo(0.1);
        if (!c.typedAfterwards.empty()) {
            desk.select(field, {static_cast<int64_t>(text::utf16Length(desk.text(field))), 0});
            desk.typeText(c.typedAfterwards);
        }
        advanceTo(3.0);
        EXPECT_EQ(desk.text(field), c.finalText);
        // The log says what happened: nothing was retried.
        EXPECT_EQ(logged(c.line), 1u);
        EXPECT_EQ(logged("retrying with"), 0u);
        EXPECT_EQ(logged("could not start"), 0u);
        EXPECT_TRUE(completed.empty());
        monitor.stop();
    }
}

TEST_F(ReplacementLadderTest, AfterStopNothingQueuedIsPostedButTheClipboardComesBack) {
    followField("今日は晴れです。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::fail(AXError::cannotComplete));
    monitor.applyReplacement(kHare);
    EXPECT_EQ(logged("applyReplacement: pasted replacement into selected AX range"), 1u);
    monitor.stop();
    advanceTo(3.0);
    EXPECT_TRUE(desk.input().keyEvents().empty());
    EXPECT_EQ(desk.text(field), "今日は晴れです。");
    EXPECT_EQ(desk.pasteboard().items(), kUserContents);
    EXPECT_EQ(logged("verification"), 0u);
}

TEST_F(ReplacementLadderTest, TheUsersCopyDuringAPasteRungSurvives) {
    followField("今日は晴れです。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::fail(AXError::cannotComplete));
    monitor.applyReplacement(kHare);
    advanceTo(0.3);
    desk.pasteboard().userCopies({stringItem("コピーした文")});
    advanceTo(1.0);
    EXPECT_EQ(completed, std::vector<std::string>{"今日は雨です。"});
    EXPECT_EQ(desk.pasteboard().items(), std::vector{stringItem("コピーした文")});
}

TEST_F(ReplacementLadderTest, APlainFieldNeverGetsAMouseSelection) {
    followField("今日は晴れです。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::ignore());
    desk.setInputQuirk(field, sim::InputQuirk{.ignoresTyping = true});
    monitor.applyReplacement(kHare);
    advanceTo(0.35);  // selection typing queued; the field ignores it
    advanceTo(1.4);
    EXPECT_EQ(logged("applyReplacement: verification failed, retrying with mouse-selection paste"),
              1u);
    EXPECT_EQ(logged("applyReplacement: mouse-selection paste could not start, retrying unicode "
                     "typing"),
              1u);
    EXPECT_EQ(logged("applyReplacement: unicode typing retry could not start"), 1u);
    EXPECT_TRUE(desk.input().mouseEvents().empty());
}

TEST_F(ReplacementLadderTest, AFragmentBackedEditorClimbsToTheMouseRungs) {
    const sim::SimId editor = followFragmentBacked("今日は晴れです。");
    desk.setWriteQuirk(editor, "AXSelectedText", WriteQuirk::ignore());
    desk.setInputQuirk(editor, sim::InputQuirk{.ignoresTyping = true});
    monitor.applyReplacement(kHare);
    advanceTo(1.4);  // the selected-text write and selection typing did nothing
    EXPECT_EQ(logged("applyReplacement: verification failed, retrying with mouse-selection paste"),
              1u);
    EXPECT_EQ(logged("applyReplacement: selected text by mouse drag and queued paste"), 1u);
    advanceTo(1.6);
    EXPECT_EQ(desk.selection(editor), (Utf16Range{3, 2}));
    advanceTo(1.74);
    EXPECT_EQ(desk.text(editor), "今日は雨です。");
    advanceTo(2.65);
    EXPECT_EQ(completed, std::vector<std::string>{"今日は雨です。"});
    EXPECT_NEAR(completedAfter(), 2.65, 1e-9);
    EXPECT_EQ(desk.pasteboard().items(), kUserContents);
}

// --- Several issues ---------------------------------------------------------------

TEST_F(ReplacementLadderTest, SeveralIssuesGoInOneWholeValueWrite) {
    followField("今日は晴れです。明日は雪です。");
    monitor.applyReplacements({issue("晴れ", "雨", 3, 5), issue("雪", "曇り", 11, 12)});
    EXPECT_EQ(desk.text(field), "今日は雨です。明日は曇りです。");
    EXPECT_EQ(logged("[Mivo] applyReplacements: wrote 2 replacements using set_text_contents"), 1u);
    EXPECT_FALSE(monitor.pendingApplyOriginalText());
    advanceTo(0.14);
    EXPECT_TRUE(completed.empty());
    advanceTo(0.15);
    EXPECT_EQ(completed, std::vector<std::string>{"今日は雨です。明日は曇りです。"});
}

TEST_F(ReplacementLadderTest, SeveralIssuesInAnEditorTrustedWithRangesGoInAsOneRangeEdit) {
    // One step in the editor's undo history; a whole-value write would be
    // "empty the field, then insert everything".
    struct Case {
        const char* why;
        std::string text;
        std::vector<CorrectionIssue> issues;
        std::string expected;
    };
    const Case cases[] = {
        {"two sentences",
         "今日は晴れです。明日は雪です。",
         {issue("雪", "曇り", 11, 12), issue("晴れ", "雨", 3, 5)},
         "今日は雨です。明日は曇りです。"},
        {"side by side",
         "東京で住んで居ます。",
         {issue("で", "に", 2, 3), issue("居", "い", 6, 7)},
         "東京に住んでいます。"},
    };
    // GTK 4 refuses whole-value writes; Qt and GTK 3 take them.
    for (const auto& c : cases)
        for (const bool wholeValue : {true, false}) {
            SCOPED_TRACE(std::string(c.why) + (wholeValue ? "" : ", no whole-value write"));
            desk.log().clear();
            completed.clear();
            followField(c.text);
            desk.setWriteRouteTrust(field, {.wholeValue = wholeValue, .range = true});
            const int64_t end = text::utf16Length(c.text);
            desk.select(field, {end, 0});
            monitor.applyReplacements(c.issues);
            advanceTo(2.0);
            EXPECT_EQ(desk.text(field), c.expected);
            EXPECT_EQ(logged("applyReplacements: 2 replacements as one range edit"), 1u);
            EXPECT_EQ(logged("set_text_contents"), 0u);
            EXPECT_EQ(logged("applyReplacement: pasted replacement into selected AX range"), 1u);
            EXPECT_EQ(completed, std::vector<std::string>{c.expected});
            EXPECT_EQ(desk.selection(field), (Utf16Range{text::utf16Length(c.expected), 0}));
            monitor.stop();
        }
}

TEST_F(ReplacementLadderTest, SeveralIssuesInFormattedTextGoInOneByOne) {
    // A word processor: written over, the text between two issues would
    // lose its formatting, so only the first goes in and the check that
    // follows shows the rest again.
    followField("今日は晴れです。明日は雪です。");
    desk.setWriteRouteTrust(field, {.wholeValue = false, .range = true, .formatting = true});
    monitor.applyReplacements({issue("晴れ", "雨", 3, 5), issue("雪", "曇り", 11, 12)});
    advanceTo(2.0);
    EXPECT_EQ(desk.text(field), "今日は雨です。明日は雪です。");
    EXPECT_EQ(logged("as one range edit"), 0u);
}

TEST_F(ReplacementLadderTest, ABatchTheFieldDoesNotShowIsNotReported) {
    followField("今日は晴れです。明日は雪です。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::lag(0.5));
    monitor.applyReplacements({issue("晴れ", "雨", 3, 5), issue("雪", "曇り", 11, 12)});
    advanceTo(1.0);
    EXPECT_TRUE(completed.empty());
    EXPECT_EQ(logged("applyReplacements: field does not read as written; not reported"), 1u);
}

TEST_F(ReplacementLadderTest, ABatchOverACaretWindowAppliesOnlyTheFirstIssue) {
    followField("今日は晴れです。明日も晴れ。");
    valueReadsEmptyButTakesWrites();
    // Reads fall back to the units before the caret: 今日は晴れです。
    desk.select(field, {8, 0});
    monitor.applyReplacements({issue("今日", "本日", 0, 2), issue("晴れ", "雨", 3, 5)});
    EXPECT_EQ(logged("applyReplacements: wrote"), 0u);
    advanceTo(0.35);
    EXPECT_EQ(desk.text(field), "本日は晴れです。明日も晴れ。");
    // The caret went back behind the sentence, so the read shows all of it.
    EXPECT_EQ(completed, std::vector<std::string>{"本日は晴れです。"});
}

TEST_F(ReplacementLadderTest, ARangeFoundInTheUnitsBeforeTheCaretIsSelectedInTheWholeValue) {
    std::string text;
    for (int i = 0; i < 450; ++i)
        text += "あ";
    text += "今日は晴れです。";
    // Checked as read: the 400 units before the caret, from unit 58.
    follow(field, text, FieldText{text.substr(58 * 3), FieldText::Source::caretWindow, 58});
    valueReadsEmptyButTakesWrites();
    desk.select(field, {458, 0});
    monitor.applyReplacement(issue("晴れ", "雨", 395, 397));
    EXPECT_EQ(logged("applyReplacement: wrote replacement using delete_text+insert_text"), 1u);
    EXPECT_EQ(desk.text(field).substr(450 * 3), "今日は雨です。");
}

TEST_F(ReplacementLadderTest, ATailInAFieldReadAroundTheCaretIsDeletedNotRewritten) {
    followField("今日は晴れです。明日も晴れ。");
    valueReadsEmptyButTakesWrites();
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::leaveTail(1));
    desk.select(field, {8, 0});
    monitor.applyReplacement(kHare);
    ASSERT_EQ(desk.text(field), "今日は雨れです。明日も晴れ。");
    // The caret goes back behind the sentence, so the tail shows in the read.
    desk.select(field, {8, 0});
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::leaveTail(0));
    advanceTo(0.35);
    EXPECT_EQ(logged("deleted partial replacement tail using delete_text"), 1u);
    advanceTo(1.0);
    EXPECT_EQ(desk.text(field), "今日は雨です。明日も晴れ。");
}

TEST_F(ReplacementLadderTest, ARefusedBatchWriteFallsBackToTheFirstIssue) {
    followField("今日は晴れです。明日は雪です。");
    desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
    monitor.applyReplacements({issue("雪", "曇り", 11, 12), issue("晴れ", "雨", 3, 5)});
    EXPECT_EQ(logged("applyReplacements: set_text_contents failed err=-25204, applying first issue "
                     "only"),
              1u);
    EXPECT_EQ(desk.text(field), "今日は晴れです。明日は曇りです。");
}

TEST_F(ReplacementLadderTest, NothingHappensWithoutAnObservedField) {
    desk.setText(field, "今日は晴れです。");
    monitor.applyReplacement(kHare);
    monitor.applyReplacements({kHare});
    advance(2.0);
    EXPECT_EQ(desk.text(field), "今日は晴れです。");
    EXPECT_TRUE(desk.log().lines().empty());
}

}  // namespace
}  // namespace mivo
