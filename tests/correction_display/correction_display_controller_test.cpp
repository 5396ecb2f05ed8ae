#include "correction_display/correction_display_controller.hpp"

#include <gtest/gtest.h>

#include <map>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "controller_scene.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "settings/mivo_settings_store.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

using testing::ControllerTest;
using testing::issueAt;
using testing::kText;

// --- Rendering and retries -------------------------------------------------

TEST_F(ControllerTest, RetryThatFindsNothingNewLeavesTheScreenAlone) {
    field.availableFrom[15] = 100;
    check({issueAt(3, "A"), issueAt(15, "C")});
    advanceTo(0.5);
    // One show at the check, then one per follow tick: the retries at 0.12
    // and 0.47 added none.
    expectTimes(highlight.showTimes, {0, 0.12, 0.24, 0.36, 0.48});
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"A"}));
}

TEST_F(ControllerTest, SentenceWithoutIssuesHidesHighlightsAndPanel) {
    check({issueAt(3, "A")});
    controller.handleHoverIssue(issueAt(3, "A"), field.rects[3]);
    check({});
    EXPECT_TRUE(highlight.shown.empty());
    EXPECT_FALSE(panel.visible);
    const auto asked = field.queryCount();
    advanceTo(1);
    EXPECT_EQ(field.queryCount(), asked) << "the old follow loop still runs";
    EXPECT_EQ(clock.pendingCount(), 0u) << "a timer still runs with nothing shown";
}

TEST_F(ControllerTest, ImplausibleIssuesAreNeverDrawnAndEmptyRangesNeverAskedFor) {
    field.rects[20] = Rect{300, 680, 400, 20};  // a whole line for two Characters
    CorrectionIssue reversed = issueAt(10, "R");
    reversed.range = TextRange{12, 10};
    check({issueAt(3, "A"), issueAt(20, "W", "。今", "今"), reversed});
    advanceTo(0.6);
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"A"}));
    // Its box may still come right: asked with A on every follow tick.
    expectTimes(field.queries[20], {0, 0.12, 0.24, 0.36, 0.48, 0.6});
    EXPECT_TRUE(field.queries[12].empty() && field.queries[10].empty());
}

// --- The follow loop -------------------------------------------------------

TEST_F(ControllerTest, FollowLoopMovesHighlightsWithTheText) {
    check({issueAt(3, "A")});
    field.rects[3].y = 660;  // the other application scrolled
    advanceTo(0.12);
    ASSERT_EQ(highlight.shown.size(), 1u);
    EXPECT_EQ(highlight.shown[0].rect.y, 660);
}

TEST_F(ControllerTest, IssueMissingForOneTickIsDrawnAgainWhenItReturns) {
    check({issueAt(3, "A"), issueAt(10, "B")});
    field.missingOnce.insert(10);
    advanceTo(0.12);
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"A"}));
    advanceTo(0.24);
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(controller.currentHoverCorrectionIssues().size(), 2u);
}

// What the user did to the text after the check, and which highlights may
// still be drawn over it (and written back).
struct EditCase {
    const char* name;
    std::string liveText;
    std::vector<std::string> stillShown;
};
void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

class EditedTextTest : public ControllerTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(EditedTextTest, OnlyIssuesStillStandingWhereCheckedAreDrawnAndApplied) {
    const auto& c = GetParam();
    check({issueAt(3, "A"), issueAt(10, "B"), issueAt(15, "C")});
    field.liveText = c.liveText;
    advanceTo(0.12);
    EXPECT_EQ(highlight.shownIDs(), c.stillShown);

    controller.handleApply({issueAt(3, "A"), issueAt(10, "B"), issueAt(15, "C")});
    std::vector<std::string> written;
    for (const auto& batch : field.multiple)
        for (const auto& issue : batch)
            written.push_back(issue.id);
    for (const auto& issue : field.single)
        written.push_back(issue.id);
    EXPECT_EQ(written, c.stillShown);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, EditedTextTest,
    ::testing::Values(
        EditCase{"typedOnAtTheEnd", kText + "明日も", {"A", "B", "C"}},
        // Everything selected and deleted, a new sentence typed: the old
        // boxes must not come back over it, even where it has the same length.
        EditCase{"clearedAndRetyped", "今日は朝から良い天気でしたが午後から雨が降りそう", {}},
        EditCase{"onePrefixCharacter", "。" + kText, {}},
        // A correction may depend on the rest of its sentence.
        EditCase{"editLaterInTheSameSentence", "宿題はをを終えたからをを見たがをを書いた。", {}},
        EditCase{"editInTheNextSentence",
                 "宿題はをを終えたのでをを見たがをを書いた。明日は晴れ。",
                 {"A", "B", "C"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControllerTest, AHighlightHiddenByAnEditComesBackWhenTheEditIsUndone) {
    check({issueAt(3, "A")});
    field.liveText = "宿題";
    advanceTo(0.12);
    EXPECT_TRUE(highlight.shown.empty());
    field.liveText = kText;
    advanceTo(0.24);
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"A"}));
}

TEST_F(ControllerTest, HighlightsScrolledOutOfTheFieldAreHidden) {
    // The field: x 100...700, y 600...800; A at x 130, B at 200, C at 250, y 680.
    field.frame = Rect{100, 600, 600, 200};
    check({issueAt(3, "A"), issueAt(10, "B"), issueAt(15, "C")});
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"A", "B", "C"}));
    // Scrolled by 110: A above the field's top (y 790...810), B and C
    // still inside it.
    field.rects[3].y = 790;
    advanceTo(0.12);
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"B", "C"}));
    // Far beyond it, over another window's title bar.
    for (int64_t start : {3, 10, 15})
        field.rects[start].y = 1200;
    advanceTo(0.24);
    EXPECT_TRUE(highlight.shown.empty());
    // The field on no screen at all.
    for (int64_t start : {3, 10, 15})
        field.rects[start].y = 680;
    field.frame = Rect{};
    advanceTo(0.36);
    EXPECT_TRUE(highlight.shown.empty());
    // A field whose frame is not known is not judged by it.
    field.frame.reset();
    advanceTo(0.48);
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(ControllerTest, FollowLoopOfAnOlderCheckStops) {
    check({issueAt(3, "A")});
    advanceTo(0.05);
    check({issueAt(10, "B")});
    advanceTo(1);
    expectTimes(field.queries[3], {0});
    // One loop only: the new check's, every 0.12 s from 0.05.
    expectTimes(field.queries[10], {0.05, 0.17, 0.29, 0.41, 0.53, 0.65, 0.77, 0.89});
}

TEST_F(ControllerTest, ContextChangeClearsEverythingAndStopsPendingWork) {
    field.availableFrom[10] = 0.3;
    check({issueAt(3, "A"), issueAt(10, "B")});
    controller.handleHoverIssue(issueAt(3, "A"), field.rects[3]);
    advanceTo(0.05);
    controller.clearCorrectionUIForContextChange();
    EXPECT_TRUE(highlight.shown.empty());
    EXPECT_FALSE(panel.visible);
    EXPECT_TRUE(controller.currentHoverCorrectionIssues().empty());
    const auto shows = highlight.showTimes.size();
    const auto asked = field.queryCount();
    advanceTo(1);
    EXPECT_EQ(highlight.showTimes.size(), shows) << "a retry or follow tick drew again";
    EXPECT_EQ(field.queryCount(), asked);
}

// --- Hover and panel ---------------------------------------------------------

// A script of pointer moves: highlight enter/leave, panel enter/leave.
struct HoverStep {
    double at;
    enum Kind {
        enterHighlight,
        leaveHighlight,
        enterPanel,
        leavePanel,
        // A check of the line the issue is in, or of another line.
        ownLineChecked,
        otherLineChecked,
        // Its own line checked with its text changed.
        ownLineChanged
    } kind;
};
struct HoverCase {
    const char* name;
    std::vector<HoverStep> steps;
    std::optional<double> closedAt;  // within the first 2 s
};
void PrintTo(const HoverCase& c, std::ostream* os) {
    *os << c.name;
}

class HoverTest : public ControllerTest, public ::testing::WithParamInterface<HoverCase> {};

TEST_P(HoverTest, PanelClosesPointTwentyTwoAfterThePointerLeftBoth) {
    check({issueAt(3, "A")});
    const CorrectionIssue a = issueAt(3, "A");
    for (const auto& step : GetParam().steps) {
        advanceTo(step.at);
        switch (step.kind) {
            case HoverStep::enterHighlight:
                controller.handleHoverIssue(a, field.rects[3]);
                break;
            case HoverStep::leaveHighlight:
                controller.handleHoverEnded(a);
                break;
            case HoverStep::enterPanel:
                controller.handlePanelHoverChanged(true);
                break;
            case HoverStep::leavePanel:
                controller.handlePanelHoverChanged(false);
                break;
            case HoverStep::ownLineChecked:
                check({issueAt(3, "A again")});
                break;
            case HoverStep::ownLineChanged:
                check({issueAt(3, "A changed")}, std::string(kText) + "よ");
                break;
            case HoverStep::otherLineChecked: {
                auto other = candidate("今日は晴れです。");
                other.block = 2;
                checker.next = {};
                controller.showCorrectionIssues(other);
                break;
            }
        }
    }
    advanceTo(2);
    const auto expected = GetParam().closedAt;
    ASSERT_EQ(panel.hiddenAt.has_value(), expected.has_value());
    if (expected) {
        EXPECT_NEAR(*panel.hiddenAt, *expected, 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pointer, HoverTest,
    ::testing::Values(
        HoverCase{"leavesHighlight",
                  {{0.1, HoverStep::enterHighlight}, {0.2, HoverStep::leaveHighlight}},
                  0.42},
        HoverCase{"intoThePanelInTime",
                  {{0.1, HoverStep::enterHighlight},
                   {0.2, HoverStep::leaveHighlight},
                   {0.35, HoverStep::enterPanel}},
                  std::nullopt},
        HoverCase{"outOfThePanel",
                  {{0.1, HoverStep::enterHighlight},
                   {0.2, HoverStep::leaveHighlight},
                   {0.35, HoverStep::enterPanel},
                   {0.9, HoverStep::leavePanel}},
                  1.12},
        HoverCase{"fromThePanelBackToTheHighlight",
                  {{0.1, HoverStep::enterHighlight},
                   {0.2, HoverStep::leaveHighlight},
                   {0.3, HoverStep::enterPanel},
                   {0.5, HoverStep::leavePanel},
                   {0.6, HoverStep::enterHighlight}},
                  std::nullopt},
        HoverCase{"intoThePanelTooLate",
                  {{0.1, HoverStep::enterHighlight},
                   {0.2, HoverStep::leaveHighlight},
                   {0.5, HoverStep::enterPanel}},
                  0.42},
        // The line just finished is checked
        // while the user reads a panel above.
        HoverCase{"anotherLineCheckedMeanwhile",
                  {{0.1, HoverStep::enterHighlight}, {0.3, HoverStep::otherLineChecked}},
                  std::nullopt},
        HoverCase{"anotherLineCheckedOnTheWayToThePanel",
                  {{0.1, HoverStep::enterHighlight},
                   {0.2, HoverStep::leaveHighlight},
                   {0.25, HoverStep::otherLineChecked},
                   {0.35, HoverStep::enterPanel}},
                  std::nullopt},
        HoverCase{"itsOwnLineCheckedAgain",
                  {{0.1, HoverStep::enterHighlight}, {0.3, HoverStep::ownLineChecked}},
                  0.3},
        // On the way to Apply, or on it: the same text checked again
        // finds the same issue, and the click is about to land.
        HoverCase{"itsOwnLineCheckedAgainOnTheWayToThePanel",
                  {{0.1, HoverStep::enterHighlight},
                   {0.2, HoverStep::leaveHighlight},
                   {0.25, HoverStep::ownLineChecked},
                   {0.35, HoverStep::enterPanel}},
                  std::nullopt},
        HoverCase{"itsOwnLineCheckedAgainWithThePointerOnThePanel",
                  {{0.1, HoverStep::enterHighlight},
                   {0.2, HoverStep::leaveHighlight},
                   {0.3, HoverStep::enterPanel},
                   {0.5, HoverStep::ownLineChecked}},
                  std::nullopt},
        HoverCase{"itsOwnLineCheckedAgainOnAWayThatNeverReachesThePanel",
                  {{0.1, HoverStep::enterHighlight},
                   {0.2, HoverStep::leaveHighlight},
                   {0.25, HoverStep::ownLineChecked}},
                  0.42},
        HoverCase{"itsOwnLineChangedWithThePointerOnThePanel",
                  {{0.1, HoverStep::enterHighlight},
                   {0.2, HoverStep::leaveHighlight},
                   {0.3, HoverStep::enterPanel},
                   {0.5, HoverStep::ownLineChanged}},
                  0.5}),
    [](const auto& info) { return std::string(info.param.name); });

// The panel opened for A hangs below it; B's box lies under the panel's
// top, on the pointer's straight way from A to Apply, C's far to the right.
struct WayCase {
    const char* name;
    // (moment, what the pointer enters or leaves: "A", "-A", "panel", …)
    std::vector<std::pair<double, std::string>> moves;
    std::string shownAt2s;  // the issue the panel shows then, "" when closed
};
void PrintTo(const WayCase& c, std::ostream* os) {
    *os << c.name;
}

class WayToPanelTest : public ControllerTest, public ::testing::WithParamInterface<WayCase> {};

TEST_P(WayToPanelTest, ABoxCrossedOnTheWayToThePanelNeverTakesIt) {
    field.rects[20] = Rect{900, 680, 20, 20};
    const std::map<std::string, CorrectionIssue> issues = {
        {"A", issueAt(3, "A")},
        {"B", issueAt(10, "B")},
        {"C", issueAt(20, "C")},
        // The same error in another line of the same text: the same key.
        {"A2", issueAt(3, "A2")}};
    const std::map<std::string, Rect> boxes = {{"A", field.rects[3]},
                                               {"B", Rect{130, 655, 20, 20}},
                                               {"C", field.rects[20]},
                                               {"A2", Rect{130, 630, 20, 20}}};
    check({issues.at("A"), issues.at("B"), issues.at("C"), issues.at("A2")});
    panel.placed = Rect{150, 444, 360, 230};
    for (const auto& [at, move] : GetParam().moves) {
        advanceTo(at);
        if (move == "panel" || move == "-panel")
            controller.handlePanelHoverChanged(move == "panel");
        else if (move.starts_with("-"))
            controller.handleHoverEnded(issues.at(move.substr(1)));
        else
            controller.handleHoverIssue(issues.at(move), boxes.at(move));
    }
    advanceTo(2);
    EXPECT_EQ(panel.visible ? panel.shownIssues.at(0).id : "", GetParam().shownAt2s);
}

INSTANTIATE_TEST_SUITE_P(
    Pointer, WayToPanelTest,
    ::testing::Values(
        WayCase{"acrossAnotherBoxIntoThePanel",
                {{0.1, "A"}, {0.2, "-A"}, {0.22, "B"}, {0.28, "-B"}, {0.3, "panel"}},
                "A"},
        WayCase{"restingOnTheBoxOnTheWay", {{0.1, "A"}, {0.2, "-A"}, {0.22, "B"}}, "B"},
        WayCase{"acrossTheSameErrorInAnotherLine",
                {{0.1, "A"}, {0.2, "-A"}, {0.22, "A2"}, {0.28, "-A2"}, {0.3, "panel"}},
                "A"},
        WayCase{"ontoABoxElsewhere",
                {{0.1, "A"}, {0.2, "-A"}, {0.22, "C"}, {0.3, "-C"}, {0.35, "panel"}},
                "C"},
        WayCase{"acrossTheBoxAndAwayFromBoth",
                {{0.1, "A"}, {0.2, "-A"}, {0.22, "B"}, {0.28, "-B"}},
                ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControllerTest, HoverShowsTheOneHoveredIssueNextToItsHighlight) {
    check({issueAt(3, "A"), issueAt(10, "B")});
    controller.handleHoverIssue(issueAt(10, "B"), field.rects[10]);
    ASSERT_EQ(panel.shownIssues.size(), 1u);
    EXPECT_EQ(panel.shownIssues[0].id, "B");
    EXPECT_EQ(panel.anchor, field.rects[10]);
}

// --- Apply, dismiss, re-check ---------------------------------------------

TEST_F(ControllerTest, ApplyingWritesBackOnceAndClearsTheDisplay) {
    check({issueAt(3, "A"), issueAt(10, "B")});
    controller.handleApply({issueAt(3, "A")});
    controller.handleApply({issueAt(3, "A"), issueAt(10, "B")});
    controller.handleApply({});
    ASSERT_EQ(field.single.size(), 1u);
    EXPECT_EQ(field.single[0].id, "A");
    ASSERT_EQ(field.multiple.size(), 1u);
    EXPECT_EQ(field.multiple[0].size(), 2u);
    EXPECT_TRUE(highlight.shown.empty());
    const auto asked = field.queryCount();
    advanceTo(1);
    EXPECT_EQ(field.queryCount(), asked) << "the follow loop outlived the apply";
}

struct StaleApplyCase {
    const char* why;
    std::string liveText;
    bool written;
    // The field took none of the write, and holds this now.
    std::optional<UnwrittenField> cameToNothing = std::nullopt;
    std::string notice = "";
};

TEST_F(ControllerTest, AnApplyOnAPanelWhoseTextMovedSaysSoAndWritesNothing) {
    const StaleApplyCase cases[] = {
        {"the text still as checked", kText, true},
        {"typed on after the sentence", kText + "明日", true},
        {"a word typed in front of the issue", "昨日の" + kText, false},
        {"a click elsewhere while it went in", kText, true, UnwrittenField::asItWas,
         "The correction could not be written; your text is as it was"},
        {"keys of another program typed beside the sentence", kText, true,
         UnwrittenField::changedElsewhere, "The text changed; nothing was written"},
        {"keys of another program typed over a word of it", kText, true,
         UnwrittenField::sentenceReplaced,
         "The correction could not be written; other typing replaced part of the sentence, "
         "and Ctrl+Z brings it back"},
        {"Shift held down at Apply", kText, true, UnwrittenField::keyHeld,
         "The correction was not written while a key was held down; your text is as it was"},
        {"the paste went in where the caret was", kText, true, UnwrittenField::pastedElsewhere,
         "The correction went in at the wrong place; Ctrl+Z takes it back"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        field.single.clear();
        panel.notices.clear();
        field.liveText.reset();
        check({issueAt(3, "A")});
        advanceTo(clock.elapsed() + 0.05);
        controller.handleHoverIssue(issueAt(3, "A"), field.rects[3]);
        field.liveText = c.liveText;
        controller.handleApply({issueAt(3, "A")});
        EXPECT_EQ(field.single.size(), c.written ? 1u : 0u);
        if (c.cameToNothing) {
            controller.handleReplacementFailed(*c.cameToNothing);
            EXPECT_EQ(panel.notices, std::vector<std::string>{c.notice});
            EXPECT_EQ(panel.noticeAnchor, field.rects[3]);
        } else if (c.written) {
            EXPECT_TRUE(panel.notices.empty());
        } else {
            EXPECT_EQ(panel.notices,
                      std::vector<std::string>{"The text changed; nothing was written"});
            EXPECT_EQ(panel.noticeAnchor, field.rects[3]) << "where the panel stood";
        }
    }
}

TEST_F(ControllerTest, ReplacedTextIsCheckedAgainFromZero) {
    controller.handleReplacementCompleted("😀宿題を終えた。");
    ASSERT_EQ(checker.sentences.size(), 1u);
    const auto& c = checker.sentences[0];
    EXPECT_EQ(c.text, "😀宿題を終えた。");
    EXPECT_EQ(c.range, (TextRange{0, 8}));
    EXPECT_EQ(c.boundary, CompletedSentenceCandidate::Boundary::punctuation);
    EXPECT_EQ(c.japaneseRatio, 0.9);
    EXPECT_EQ(c.detectedAt, clock.wallClockNow());
    EXPECT_EQ(c.id.size(), 36u);
}

TEST_F(ControllerTest, DismissingOneIssueKeepsTheOthersFollowing) {
    check({issueAt(3, "A"), issueAt(10, "B"), issueAt(15, "C")});
    advanceTo(0.05);
    controller.handleDismiss({issueAt(10, "B")});
    EXPECT_EQ(highlight.hiddenIDs.back(), (std::set<std::string>{"B"}));
    advanceTo(0.5);
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"A", "C"}));
    expectTimes(field.queries[10], {0});
    expectTimes(field.queries[15], {0, 0.17, 0.29, 0.41});
}

TEST_F(ControllerTest, DismissingTheLastIssueHidesEverything) {
    check({issueAt(3, "A")});
    controller.handleDismiss({issueAt(3, "A")});
    EXPECT_TRUE(highlight.shown.empty());
    // Nothing is followed any more: the field is not asked again.
    const auto asked = field.queryCount();
    advanceTo(1);
    EXPECT_EQ(field.queryCount(), asked);
}

TEST_F(ControllerTest, DismissedIssueStaysDismissedWhileTheSameSentenceIsChecked) {
    check({issueAt(3, "A1"), issueAt(10, "B1")});
    // The same text read again: the engine makes new ids for the same findings.
    check({issueAt(3, "A2"), issueAt(10, "B2")});
    // A panel that kept the issue of the first check hands back the old id.
    controller.handleDismiss({issueAt(3, "A1")});
    EXPECT_EQ(highlight.hiddenIDs.back(), (std::set<std::string>{"A1", "A2"}));
    advanceTo(0.3);
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"B2"}));

    check({issueAt(3, "A3"), issueAt(10, "B3")});
    advanceTo(0.6);
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"B3"}));

    // Another text: the finding is new there.
    check({issueAt(3, "A4"), issueAt(10, "B4")}, kText + "明日も");
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"A4", "B4"}));
}

TEST_F(ControllerTest, DismissIsByFieldsNotByAJoinedKey) {
    // "a|b" + "c" and "a" + "b|c" join to the same text with "|".
    check({issueAt(3, "X", "a|b", "c"), issueAt(10, "Y", "a", "b|c")}, "宿題はa|b終えたのa。");
    controller.handleDismiss({issueAt(3, "X", "a|b", "c")});
    advanceTo(0.2);
    EXPECT_EQ(highlight.shownIDs(), (std::vector<std::string>{"Y"}));
}

TEST_F(ControllerTest, VocabularySettingGoesToTheEngine) {
    check({});
    settings.setVocabularySuggestionsEnabled(true);
    check({});
    ASSERT_EQ(checker.optionsSeen.size(), 2u);
    EXPECT_FALSE(checker.optionsSeen[0].vocabularyStyleSuggestionsEnabled);
    EXPECT_TRUE(checker.optionsSeen[1].vocabularyStyleSuggestionsEnabled);
}

TEST_F(ControllerTest, WorkOutlivingTheControllerDoesNothing) {
    {
        CorrectionDisplayController gone{clock, checker, field, highlight, panel, settings};
        checker.next = {issueAt(3, "A"), issueAt(40, "Z")};
        gone.showCorrectionIssues(candidate());
        gone.handleHoverEnded(issueAt(3, "A"));
    }
    const auto asked = field.queryCount();
    advanceTo(1);
    EXPECT_EQ(field.queryCount(), asked);
}

}  // namespace
}  // namespace mivo
