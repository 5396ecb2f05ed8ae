#include <gtest/gtest.h>

#include <string>

#include "field/ax_geometry.hpp"
#include "monitor_scene.hpp"
#include "monitor_test_access.hpp"

namespace mivo {
namespace {

using Boundary = CompletedSentenceCandidate::Boundary;

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

class AnalysisTest : public MonitorScene {
  protected:
    AnalysisTest() {
        monitor.start();
        started = desk.clock().elapsed();
    }
    double started = 0;
};

TEST_F(AnalysisTest, ATypedSentenceIsReportedOnce075SecondsAfterTheLastKey) {
    typeSlowly("今日は良い天気です", 0.1);
    desk.typeText("。");
    const double lastChange = desk.clock().elapsed();
    advance(0.74);
    EXPECT_TRUE(candidates.empty());
    advance(0.01);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_DOUBLE_EQ(candidateTimes[0], lastChange + 0.75);
    advance(5);
    ASSERT_EQ(candidates.size(), 1u);

    const auto& c = candidates[0];
    EXPECT_EQ(c.text, "今日は良い天気です。");
    EXPECT_EQ(c.boundary, Boundary::punctuation);
    EXPECT_EQ(c.range, (TextRange{0, 10}));
    EXPECT_DOUBLE_EQ(c.japaneseRatio, 0.9);
    // The caret after 。: the cell of 。 (column 9 of a 10-wide monospace
    // field at x 100, y 200, 20 high) on a 900-high screen.
    ASSERT_TRUE(monitor.currentCaretRect());
    EXPECT_EQ(*monitor.currentCaretRect(), (Rect{190, 680, 10, 20}));
    // The log gives the X rectangle and Mivo's own, nothing of a flipped
    // screen height.
    EXPECT_EQ(logged("[Mivo] caretRect: (loc=9,len=1) screen="), 1u);
    EXPECT_EQ(logged("primaryH"), 0u);
}

TEST_F(AnalysisTest, ThreeChangesInABurstAreAnalysedOnceOnTheLastText) {
    desk.setText(field, "今日は");
    advance(0.3);
    desk.setText(field, "今日は良い");
    advance(0.3);
    desk.setText(field, "今日は良い天気です。");
    const double last = desk.clock().elapsed();
    advance(3);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].text, "今日は良い天気です。");
    EXPECT_DOUBLE_EQ(candidateTimes[0], last + 0.75);
    EXPECT_EQ(logged("[Mivo] schedule: debounce 0.75s for "), 3u);
    EXPECT_EQ(logged("[Mivo] analyze: FIRING"), 1u);
}

TEST_F(AnalysisTest, SwitchingApplicationBeforeThePauseDropsTheSentence) {
    desk.addApplication(200, "Browser");
    desk.addWindow(200, "Start page");
    desk.typeText("今日は良い天気です。");
    advance(0.5);
    desk.activateApplication(200);
    advance(3);
    EXPECT_TRUE(candidates.empty());
    EXPECT_GE(contextChanges, 1);
    EXPECT_FALSE(monitor.bufferStore().currentState());
}

TEST_F(AnalysisTest, APasswordFieldIsNeverObservedReadOrLogged) {
    const std::string secret = "ひみつのあいことばです。";
    const auto password = desk.addTextField(window, "");
    desk.setAttribute(password, "AXSubrole", AXValue("AXSecureTextField"));
    desk.focus(password);
    advance(0.01);
    EXPECT_FALSE(monitor.observedElement());
    EXPECT_EQ(desk.accessibility().observerCount(), 1u);  // the application's focus only

    typeSlowly(secret, 0.2);
    advance(5);
    EXPECT_TRUE(candidates.empty());
    EXPECT_FALSE(monitor.bufferStore().currentState());
    for (const auto& line : desk.log().lines()) {
        EXPECT_EQ(line.find("ひみつ"), std::string::npos) << line;
        EXPECT_EQ(line.find("chars"), std::string::npos) << line;
    }
}

TEST_F(AnalysisTest, APasswordFieldIsSaidToBeLeftAloneOncePerFocus) {
    const auto password = desk.addTextField(window, "");
    desk.setAttribute(password, "AXSubrole", AXValue("AXSecureTextField"));
    desk.focus(password);
    advance(0.01);
    typeSlowly("ひみつのあいことばです", 0.12);  // a keystroke asks for the field again
    advance(1);
    EXPECT_EQ(logged("observe: secure text field — not observed"), 1u);
    // Away and back: a new focus, said again.
    desk.focus(field);
    advance(0.01);
    desk.focus(password);
    advance(0.01);
    typeSlowly("あいう", 0.12);
    EXPECT_EQ(logged("observe: secure text field — not observed"), 2u);
}

TEST_F(AnalysisTest, WhatTheUserTypesNeverReachesTheKeptLog) {
    typeSlowly("秘密の計画を書きます", 0.1);
    desk.typeText("。");
    desk.setAttribute(field, "AXValue", AXValue("秘密の計画を書きました。"));  // seen by the poll
    advance(3);
    ASSERT_FALSE(candidates.empty());
    EXPECT_TRUE(desk.log().contains("秘密"));  // standard error keeps it for the session
    for (const auto& line : desk.log().keptLines())
        EXPECT_EQ(line.find("秘密"), std::string::npos) << line;
}

TEST_F(AnalysisTest, AFieldThatTurnsIntoAPasswordFieldIsDroppedUnread) {
    desk.setAttribute(field, "AXSubrole", AXValue("AXSecureTextField"));
    // A value change without a notification: only the poll would see it.
    desk.setAttribute(field, "AXValue", AXValue("ひみつのあいことばです。"));
    advance(2);
    EXPECT_FALSE(monitor.observedElement());
    EXPECT_TRUE(candidates.empty());
    EXPECT_FALSE(desk.log().contains("ひみつ"));
}

TEST_F(AnalysisTest, AValueChangedSinceTheSnapshotIsDiscardedAndTheNewOneAnalysed) {
    // Right after a poll tick, so that the next tick comes after the
    // debounce of this change.
    advance(0.3);
    desk.setText(field, "今日は良い天気です。");
    advance(0.65);
    desk.setAttribute(field, "AXValue", AXValue("明日も晴れるでしょう。"));
    advance(0.1);
    EXPECT_EQ(logged("[Mivo] analyze: discarded — AX value changed since snapshot"), 1u);
    EXPECT_TRUE(candidates.empty());
    advance(2);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].text, "明日も晴れるでしょう。");
}

TEST_F(AnalysisTest, TheSuppressionWindowHoldsOnlyForTheSameTextWhileOpen) {
    const std::string text = "今日は良い天気です。";
    MonitorTestAccess::host(monitor).suppressAnalysisLoop(text, 3.0);
    desk.setText(field, text);
    advance(1);
    EXPECT_EQ(logged("[Mivo] analyze: suppressed — pending apply verification for unchanged text"),
              1u);
    EXPECT_TRUE(candidates.empty());
    EXPECT_TRUE(monitor.pendingApplyOriginalText());

    // Another text ends the window at its first read.
    EXPECT_FALSE(MonitorTestAccess::shouldSuppressPendingApplyLoop(monitor, "明日も晴れです。"));
    EXPECT_FALSE(monitor.pendingApplyOriginalText());
    EXPECT_FALSE(monitor.pendingApplyUntil());

    // So does the end of the window.
    MonitorTestAccess::host(monitor).suppressAnalysisLoop(text, 1.0);
    EXPECT_TRUE(MonitorTestAccess::shouldSuppressPendingApplyLoop(monitor, text));
    advance(1.0);
    EXPECT_FALSE(MonitorTestAccess::shouldSuppressPendingApplyLoop(monitor, text));
    EXPECT_FALSE(monitor.pendingApplyOriginalText());
}

TEST_F(AnalysisTest, AFieldTooLongToCheckSaysSoAndClearsWhatWasShown) {
    int skipped = 0;
    monitor.onCheckSkipped = [&](uint64_t) { ++skipped; };
    desk.setText(field, "東京で住んでいます。");
    advance(1);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_TRUE(monitor.stillReadsAsAnalyzed("東京で住んでいます。", 3));

    // Japanese enough (0.9) but 510 Characters: not checked, and for that reason.
    desk.setText(field, repeat("東京で住んでいます。", 51));
    advance(1);
    EXPECT_EQ(candidates.size(), 1u);
    EXPECT_EQ(logged("[Mivo] analyze: skipped — longer than 500 Characters (510 chars)"), 1u);
    EXPECT_EQ(logged("insufficient Japanese ratio"), 0u);
    EXPECT_EQ(skipped, 1);
    EXPECT_FALSE(monitor.stillReadsAsAnalyzed("東京で住んでいます。", 3));

    desk.setText(field, "abcdefgh");
    advance(1);
    EXPECT_EQ(logged("[Mivo] analyze: skipped — no sentence boundary or insufficient Japanese "
                     "ratio (ratio=0.00)"),
              1u);
    EXPECT_EQ(skipped, 2);
}

struct StillReadsCase {
    const char* why;
    std::string liveText;
    int64_t end;
    bool expected;
};

TEST_F(AnalysisTest, TheFieldStillReadsAsAnalysedOnlyUpToAnUnchangedEnd) {
    const std::string checked = "東京で住んでいます。";
    const StillReadsCase cases[] = {
        {"unchanged", checked, 3, true},
        {"typed on at the end", checked + "今日も", 10, true},
        {"changed after the range", "東京で住みます。", 3, true},
        {"changed after the range but asked past it", "東京で住みます。", 6, false},
        {"cleared and retyped", "今日は朝から良い天気でしたが", 3, false},
        {"one Character typed in front", "、" + checked, 3, false},
        {"emptied", "", 3, false},
    };
    desk.setText(field, checked);
    advance(1);
    ASSERT_EQ(candidates.size(), 1u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        desk.setText(field, c.liveText);
        EXPECT_EQ(monitor.stillReadsAsAnalyzed(checked, c.end), c.expected);
    }
    desk.setText(field, checked);
    EXPECT_FALSE(monitor.stillReadsAsAnalyzed("別の文です。", 3)) << "another text was checked";
    desk.focus(desk.addTextField(window, checked));
    advance(0.1);
    EXPECT_FALSE(monitor.stillReadsAsAnalyzed(checked, 3)) << "another field";
}

// --- Bounds of ranges of the analysed text ---------------------------------

class BoundsTest : public AnalysisTest {
  protected:
    std::optional<Rect> fieldBounds(Utf16Range units) {
        return AXTextExtractor::directBoundsForRange(desk.accessibility(), desk.screens(), units,
                                                     desk.element(field));
    }
};

TEST_F(BoundsTest, RangesAreAnsweredInGlobalCoordinatesAtLeast16High) {
    const auto low =
        desk.addTextField(window, "", {.frame = Rect{100, 400, 600, 10}, .lineHeight = 10});
    desk.focus(low);
    advance(0.1);
    desk.typeText("今日は良い天気です。");
    advance(1);
    ASSERT_EQ(candidates.size(), 1u);
    // 良い: columns 3 and 4 of the line at y 400, 10 high, on a 900-high
    // screen; the height is raised to 16, keeping the y of the 10 high.
    EXPECT_EQ(monitor.boundsForRange(3, 2), (Rect{130, 490, 20, 16}));
    EXPECT_FALSE(monitor.boundsForRange(20, 2));
    monitor.stop();
    EXPECT_FALSE(monitor.boundsForRange(3, 2));
}

struct UnitsCase {
    const char* why;
    std::string value;
    bool valueHidden;  // the field offers no value: the text before the caret is read
    int64_t start, length;
    Utf16Range units;
};

TEST_F(BoundsTest, CharacterRangesBecomeUnitsOfTheWholeField) {
    const std::string sentence = "今日は良い天気です。";
    const UnitsCase cases[] = {
        {"the whole value, one unit per Character", sentence, false, 3, 2, {3, 2}},
        {"a surrogate pair before the range", "😀" + sentence, false, 4, 2, {5, 2}},
        {"a caret window starting at unit 210",
         repeat("あ", 600) + sentence,
         true,
         393,
         2,
         {603, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        if (c.valueHidden)
            desk.setAttribute(field, "AXValue", AXValue(""));
        else
            desk.removeScriptedAttribute(field, "AXValue");
        candidates.clear();
        desk.setText(field, c.value);
        advance(1);
        ASSERT_EQ(candidates.size(), 1u);
        const auto expected = fieldBounds(c.units);
        ASSERT_TRUE(expected);
        EXPECT_EQ(monitor.boundsForRange(c.start, c.length), expected);
        desk.setText(field, "");
        advance(1);
    }
}

}  // namespace
}  // namespace mivo
