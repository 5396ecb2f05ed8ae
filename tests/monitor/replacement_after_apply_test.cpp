// The second after Apply, while the user's hands are still moving: a write
// the field showed once has landed, and what the user does to it since (an
// undo, typing on) is never written over; only a write that never showed is
// tried again.

#include <gtest/gtest.h>

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

const std::string kOriginal = "東京で住んでいます。";
const std::string kCorrected = "東京に住んでいます。";

CorrectionIssue deToNi() {
    CorrectionIssue i;
    i.id = "issue-de";
    i.original = "で";
    i.suggestion = "に";
    i.range = TextRange{2, 3};
    return i;
}

// The routes an editor takes a correction by, as its application's trust
// and answers make the ladder choose them.
enum class Route { selectAndPaste, selectedText, wholeValue };

const char* routeName(Route route) {
    switch (route) {
        case Route::selectAndPaste:
            return "select and paste (GTK, Qt, browsers)";
        case Route::selectedText:
            return "selected-text write";
        case Route::wholeValue:
            return "whole-value write";
    }
    return "";
}

class AfterApplyTest : public MonitorScene {
  protected:
    AfterApplyTest() {
        monitor.onReplacementCompleted = [this](const std::string& t) { completed.push_back(t); };
        monitor.onReplacementFailed = [this](UnwrittenField field) {
            ++failed;
            unwritten.push_back(field);
        };
        // Like the X clipboard: the target's fetch of our text is seen.
        desk.pasteboard().setCountsFetches(true);
        desk.pasteboard().userCopies({stringItem("ユーザーの内容")});
    }

    // The user typed the sentence (one step in the editor's undo history),
    // the caret at its end; the monitor follows it, checked as it stands.
    void typedAndChecked(Route route) {
        desk.setText(field, kOriginal);
        desk.focus(field);
        desk.setWriteRouteTrust(field,
                                {.wholeValue = true, .range = route == Route::selectAndPaste});
        desk.setWriteQuirk(field, "AXValue",
                           route == Route::selectedText ? WriteQuirk::fail(AXError::cannotComplete)
                                                        : WriteQuirk::leaveTail(0));
        monitor.start();
        advance(0);
        MonitorTestAccess::host(monitor).setLastAnalyzedText(
            FieldText{kOriginal, FieldText::Source::value, 0});
        start = desk.clock().elapsed();
    }

    void advanceTo(double t) { advance(t - (desk.clock().elapsed() - start)); }

    std::vector<std::string> completed;
    int failed = 0;
    std::vector<UnwrittenField> unwritten;
    double start = 0;
};

struct UndoCase {
    Route route;
    double undoAt;  // seconds after Apply
};

TEST_F(AfterApplyTest, AnUndoOfACorrectionThatWentInIsNeverReversed) {
    // Before the check of each route (the paste lands at 0.2 s and is
    // checked at 0.95 s; the selected-text write is checked at 0.35 s, the
    // whole value at 0.2 s), the user takes the correction back.
    const UndoCase cases[] = {
        {Route::selectAndPaste, 0.3}, {Route::selectAndPaste, 0.5}, {Route::selectAndPaste, 0.9},
        {Route::selectedText, 0.1},   {Route::selectedText, 0.3},   {Route::wholeValue, 0.1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(routeName(c.route)) + ", Ctrl+Z at " + std::to_string(c.undoAt));
        desk.log().clear();
        completed.clear();
        typedAndChecked(c.route);
        desk.select(field, {text::utf16Length(kOriginal), 0});
        monitor.applyReplacement(deToNi());
        advanceTo(c.undoAt);
        ASSERT_EQ(desk.text(field), kCorrected);
        desk.pressUndo();
        advanceTo(c.undoAt + 3.0);
        EXPECT_EQ(desk.text(field), kOriginal);
        EXPECT_EQ(logged("retrying with"), 0u);
        EXPECT_EQ(logged("verification failed"), 0u);
        EXPECT_EQ(logged("applyReplacement: the correction went in and was undone since; not "
                         "written again"),
                  1u);
        EXPECT_TRUE(completed.empty());
        EXPECT_EQ(pasteboardString(desk.pasteboard()), "ユーザーの内容");
        monitor.stop();
    }
}

TEST_F(AfterApplyTest, AnUndoWhileOurPasteIsStillInFlightCountsTheTargetsFetch) {
    // The editor fetches our text 0.325 s after Ctrl+V (at 0.525 s) and
    // answers nothing while it waits; the user takes the paste back before
    // the next look at the clipboard (0.55 s): no read ever shows the paste,
    // but the fetch did.
    typedAndChecked(Route::selectAndPaste);
    desk.setInputQuirk(
        field, sim::InputQuirk{.pasteDelaySeconds = 0.325, .answersNoCallsWhilePasting = true});
    desk.select(field, {text::utf16Length(kOriginal), 0});
    monitor.applyReplacement(deToNi());
    advanceTo(0.53);
    ASSERT_EQ(desk.text(field), kCorrected);
    desk.pressUndo();
    advanceTo(4.0);
    EXPECT_EQ(desk.text(field), kOriginal);
    EXPECT_EQ(logged("retrying with"), 0u);
    EXPECT_EQ(logged("was undone since"), 1u);
}

TEST_F(AfterApplyTest, ACtrlZBeforeOurPasteIsNeverFollowedByTheCorrection) {
    // The user meant to take the correction back, but the Ctrl+Z reached the
    // editor before our paste (0.2 s): it took back the last step there, the
    // typed sentence. Whatever the text is then, the correction does not
    // come in after the user's undo.
    typedAndChecked(Route::selectAndPaste);
    desk.select(field, {text::utf16Length(kOriginal), 0});
    monitor.applyReplacement(deToNi());
    advanceTo(0.1);
    desk.pressUndo();
    const std::string undone = desk.text(field);
    advanceTo(4.0);
    EXPECT_NE(desk.text(field), kCorrected);
    EXPECT_EQ(desk.text(field), undone);
    EXPECT_EQ(logged("retrying with"), 0u);
}

TEST_F(AfterApplyTest, AWriteThatNeverShowedIsStillTriedAgain) {
    // The rule's other half: a field that ignored the write is retried, and
    // an undo of something else meanwhile does not count as the write.
    typedAndChecked(Route::selectedText);
    desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::ignore());
    desk.select(field, {text::utf16Length(kOriginal), 0});
    desk.typeText("よ");
    monitor.applyReplacement(deToNi());
    advanceTo(0.1);
    desk.pressUndo();  // takes back the よ
    advanceTo(0.35);
    EXPECT_EQ(logged("applyReplacement: verification failed, retrying with AX selection unicode "
                     "typing"),
              1u);
    advanceTo(3.0);
    EXPECT_EQ(desk.text(field), kCorrected);
    EXPECT_EQ(logged("retrying with"), 1u);
}

struct TypedOnCase {
    Route route;
    double typedAt;
};

TEST_F(AfterApplyTest, TypingOnAfterTheCorrectionWentInIsLoggedAsWhatHappened) {
    const TypedOnCase cases[] = {
        {Route::selectAndPaste, 0.5},
        {Route::selectedText, 0.1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(routeName(c.route));
        desk.log().clear();
        typedAndChecked(c.route);
        desk.select(field, {text::utf16Length(kOriginal), 0});
        monitor.applyReplacement(deToNi());
        advanceTo(c.typedAt);
        desk.select(field, {text::utf16Length(kCorrected), 0});
        desk.typeText("よ");
        advanceTo(3.0);
        EXPECT_EQ(desk.text(field), kCorrected + "よ");
        EXPECT_EQ(logged("verification failed"), 0u);
        EXPECT_EQ(logged("applyReplacement: the correction went in and the text was edited on "
                         "since; left as it is"),
                  1u);
        monitor.stop();
    }
}

TEST_F(AfterApplyTest, AnUndoThenTypingIsNeverPutBackOrRetried) {
    // The correction showed, the user took it back and typed over the で:
    // the text is the user's, whatever it reads like.
    typedAndChecked(Route::selectAndPaste);
    desk.select(field, {text::utf16Length(kOriginal), 0});
    monitor.applyReplacement(deToNi());
    advanceTo(0.4);
    desk.pressUndo();
    desk.select(field, {2, 1});
    desk.typeText("へ");
    advanceTo(3.0);
    EXPECT_EQ(desk.text(field), "東京へ住んでいます。");
    EXPECT_EQ(logged("retrying with"), 0u);
    EXPECT_EQ(logged("put back"), 0u);
    EXPECT_EQ(logged("applyReplacement: the correction went in and the text changed since; not "
                     "written again"),
              1u);
}

// Where the user's click lands: in the field, on the page beside it (no
// field takes it), or into another field (the focus moves there).
enum class Click { sameField, page, otherField };

struct ClickCase {
    Route route;
    Click where;
    double clickAt;
    // Where a click into the field puts the caret: the end is where the
    // caret stood at Apply, which no look at the caret alone tells.
    int64_t clickedCharacter = 5;
    // Chromium: our selection stands while the user's keys are held.
    bool caretWhileWriting = true;
};

TEST_F(AfterApplyTest, WhateverTheUserClicksDuringTheWriteComesAfterTheCorrection) {
    // A click while the correction goes in (into the field, beside it, into
    // another field) is held with everything else: the correction goes in
    // by every route, and the click then puts the caret or the focus where
    // the user clicked, nothing of ours selected.
    const sim::SimId other = desk.addTextField(window, "メモ", {.frame = Rect{100, 300, 600, 40}});
    const ClickCase cases[] = {
        {Route::selectAndPaste, Click::otherField, 0.1},
        {Route::selectAndPaste, Click::otherField, 0.19},
        {Route::selectAndPaste, Click::sameField, 0.1},
        {Route::selectAndPaste, Click::sameField, 0.5},
        {Route::selectedText, Click::otherField, 0.1},
        {Route::selectedText, Click::sameField, 0.1},
        {Route::wholeValue, Click::sameField, 0.1},
        {Route::selectAndPaste, Click::sameField, 0.1, 10},
        {Route::selectAndPaste, Click::sameField, 0.15, 10},
        {Route::selectAndPaste, Click::page, 0.02},
        {Route::selectAndPaste, Click::page, 0.15},
        {Route::selectAndPaste, Click::page, 0.3},
        {Route::selectAndPaste, Click::page, 0.1, 5, false},
    };
    for (const auto& c : cases) {
        const bool sameField = c.where == Click::sameField;
        SCOPED_TRACE(std::string(routeName(c.route)) +
                     (sameField                ? ", same field"
                      : c.where == Click::page ? ", page"
                                               : ", other") +
                     " at " + std::to_string(c.clickAt) + " to " +
                     std::to_string(c.clickedCharacter));
        completed.clear();
        failed = 0;
        unwritten.clear();
        desk.log().clear();
        typedAndChecked(c.route);
        desk.setWriteRouteTrust(field, {.wholeValue = true,
                                        .range = c.route == Route::selectAndPaste,
                                        .caretWhileWriting = c.caretWhileWriting});
        desk.select(field, {text::utf16Length(kOriginal), 0});
        monitor.applyReplacement(deToNi());
        advanceTo(c.clickAt);
        if (sameField)
            desk.click(field, {c.clickedCharacter, 0});
        else if (c.where == Click::page)
            desk.clickBeside();
        else
            desk.click(other, {0, 0});
        advanceTo(c.clickAt + 3.0);
        EXPECT_EQ(desk.text(field), kCorrected);
        EXPECT_EQ(desk.selection(field), (Utf16Range{sameField ? c.clickedCharacter : 10, 0}));
        EXPECT_EQ(desk.focusedElement(pid), c.where == Click::otherField ? other : field);
        EXPECT_EQ(failed, 0);
        EXPECT_EQ(logged("retrying with"), 0u);
        EXPECT_EQ(desk.text(other), "メモ");
        EXPECT_EQ(pasteboardString(desk.pasteboard()), "ユーザーの内容");
        EXPECT_FALSE(desk.input().inputHold().holding());
        monitor.stop();
        desk.focus(field);
    }
}

struct LateSelectionCase {
    const char* why;
    WriteQuirk selection;  // how the field takes our selection and caret
    bool written;
    // Chromium: our selection stands under the hold, and the caret goes
    // back only once the paste shows.
    bool caretWhileWriting = true;
};

TEST_F(AfterApplyTest, CtrlVWaitsUntilTheFieldReportsOurSelection) {
    // A browser under load takes a selection made just before Ctrl+V from
    // its content process only a moment later, while the range's own text
    // already reads as the original: a paste then goes in at the caret and
    // the selection lands after it. The paste waits for the selection; one
    // never taken sends nothing, and nothing else is called written.
    const LateSelectionCase cases[] = {
        {"taken 0.05 s late", WriteQuirk::lag(0.05), true},
        {"taken 0.2 s late", WriteQuirk::lag(0.2), true},
        // A browser on a loaded machine: the devices are held meanwhile.
        {"taken 0.45 s late", WriteQuirk::lag(0.45), true},
        {"never taken", WriteQuirk::ignore(), false},
        {"Chromium, taken 0.05 s late", WriteQuirk::lag(0.05), true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        completed.clear();
        failed = 0;
        unwritten.clear();
        desk.log().clear();
        typedAndChecked(Route::selectAndPaste);
        desk.setWriteRouteTrust(
            field, {.wholeValue = true, .range = true, .caretWhileWriting = c.caretWhileWriting});
        desk.select(field, {text::utf16Length(kOriginal), 0});
        desk.setWriteQuirk(field, "AXSelectedTextRange", c.selection);
        monitor.applyReplacement(deToNi());
        // Held while it goes in: typed on only once the field reports the
        // caret back where the user was, which it takes as late.
        desk.clock().after(0.1, [this] { desk.typeText("あ"); });
        advanceTo(3.0);
        desk.removeWriteQuirk(field, "AXSelectedTextRange");
        desk.typeText("よ");
        EXPECT_EQ(desk.text(field), (c.written ? kCorrected : kOriginal) + "あよ");
        // What the user typed on after it is never written over, and a
        // paste that never showed is never said to have gone in.
        EXPECT_EQ(logged("went in") + logged("verified text changed") > 0, c.written);
        EXPECT_EQ(unwritten, c.written ? std::vector<UnwrittenField>{}
                                       : std::vector{UnwrittenField::changedElsewhere});
        EXPECT_EQ(logged("retrying with"), 0u);
        monitor.stop();
    }
}

struct PressCase {
    const char* how;
    double applyAfterPress;  // the panel's delay, and a click animated by the toolkit
    double undoAt;           // after the press
};

TEST_F(AfterApplyTest, KeysFromThePressOfApplyOnWaitForTheCorrection) {
    // However Apply is pressed, the user's keys are held from the press: a
    // Ctrl+Z meant for the correction takes back the correction, never the
    // user's own typing before it.
    const PressCase cases[] = {
        {"a click", 0.05, 0.02},
        {"a click", 0.05, 0.04},
        {"an accessibility action", 0.15, 0.1},
        {"an accessibility action", 0.15, 0.13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.how) + ", Ctrl+Z at " + std::to_string(c.undoAt));
        failed = 0;
        typedAndChecked(Route::selectAndPaste);
        desk.select(field, {text::utf16Length(kOriginal), 0});
        monitor.holdKeysForApply();
        desk.clock().after(c.undoAt, [this] { desk.pressUndo(); });
        desk.clock().after(c.applyAfterPress, [this] { monitor.applyReplacement(deToNi()); });
        advanceTo(4.0);
        EXPECT_EQ(desk.text(field), kOriginal);
        EXPECT_EQ(logged("retrying with"), 0u);
        EXPECT_EQ(failed, 0);
        monitor.stop();
    }
}

TEST_F(AfterApplyTest, APressOfApplyThatCameToNothingGivesTheKeysBackAtOnce) {
    typedAndChecked(Route::selectAndPaste);
    desk.select(field, {text::utf16Length(kOriginal), 0});
    monitor.holdKeysForApply();
    advanceTo(0.1);
    desk.typeText("よ");
    monitor.applyPressCancelled();
    EXPECT_EQ(desk.text(field), kOriginal + "よ");
    EXPECT_FALSE(desk.input().inputHold().holding());
}

}  // namespace
}  // namespace mivo
