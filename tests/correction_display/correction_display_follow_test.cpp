// How long the controller keeps asking for the boxes of the issues it
// found: until they are drawn, on a back-off, and whenever the field may
// have moved; and from then on with every tick of the follow loop.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "controller_scene.hpp"

namespace mivo {
namespace {

using testing::ControllerTest;
using testing::issueAt;

struct RetryCase {
    const char* name;
    std::vector<int64_t> starts;       // the issues of the check, by range start
    double thirdFoundAt;               // when the issue at 15 has a rectangle
    double horizon;                    // how long the clock runs
    std::vector<double> thirdQueries;  // when the issue at 15 is asked for
    std::optional<double> allDrawnAt;  // when every issue is on screen
};
void PrintTo(const RetryCase& c, std::ostream* os) {
    *os << c.name;
}

class RetryTest : public ControllerTest, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(RetryTest, MissingRectanglesAreAskedAgainUntilTheyAreFound) {
    const auto& c = GetParam();
    field.availableFrom[15] = c.thirdFoundAt;
    std::vector<CorrectionIssue> issues;
    for (const int64_t start : c.starts)
        issues.push_back(issueAt(start, std::to_string(start)));
    check(issues);

    std::optional<double> allDrawn;
    for (int tick = 1; tick <= static_cast<int>(c.horizon * 100 + 0.5); ++tick) {
        advanceTo(tick * 0.01);
        if (!allDrawn && highlight.shown.size() == c.starts.size())
            allDrawn = clock.elapsed();
    }
    expectTimes(field.queries[15], c.thirdQueries);
    ASSERT_EQ(allDrawn.has_value(), c.allDrawnAt.has_value());
    if (allDrawn) {
        EXPECT_NEAR(*allDrawn, *c.allDrawnAt, 0.011);
    }
}

INSTANTIATE_TEST_SUITE_P(Rectangles, RetryTest,
                         ::testing::Values(
                             // The others drawn: asked with them on every follow tick.
                             RetryCase{"othersDrawnFoundAtOnce",
                                       {3, 10, 15},
                                       0.12,
                                       1,
                                       {0, 0.12, 0.24, 0.36, 0.48, 0.6, 0.72, 0.84, 0.96},
                                       0.12},
                             RetryCase{"othersDrawnFoundLate",
                                       {3, 10, 15},
                                       0.47,
                                       1,
                                       {0, 0.12, 0.24, 0.36, 0.48, 0.6, 0.72, 0.84, 0.96},
                                       0.48},
                             RetryCase{"othersDrawnNeverFound",
                                       {3, 10, 15},
                                       100,
                                       1,
                                       {0, 0.12, 0.24, 0.36, 0.48, 0.6, 0.72, 0.84, 0.96},
                                       std::nullopt},
                             // Alone and refused (an application answering stale positions for
                             // seconds): asked after 0.12, 0.35, 0.7 and then every second, and
                             // drawn once the answer is right; then followed.
                             RetryCase{"aloneFoundAfterFiveSeconds",
                                       {15},
                                       5,
                                       5.5,
                                       {0, 0.12, 0.47, 1.17, 2.17, 3.17, 4.17, 5.17, 5.29, 5.41},
                                       5.17},
                             RetryCase{"aloneNeverFound",
                                       {15},
                                       100,
                                       10,
                                       {0, 0.12, 0.47, 1.17, 2.17, 3.17, 4.17, 5.17, 6.17, 7.17,
                                        8.17, 9.17},
                                       std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

// Issues whose text was out of the field's view when they were found:
// they show once the user scrolls it in, without another edit.
struct ScrollInCase {
    const char* name;
    std::vector<int64_t> starts;  // the issue at 15 is out of view at first
    double scrolledAt;
    double shownAt;
};
void PrintTo(const ScrollInCase& c, std::ostream* os) {
    *os << c.name;
}

class ScrollInTest : public ControllerTest, public ::testing::WithParamInterface<ScrollInCase> {};

TEST_P(ScrollInTest, AnIssueOutOfViewAtTheCheckShowsWhenItsTextScrollsIn) {
    const auto& c = GetParam();
    field.frame = Rect{100, 600, 600, 200};
    field.rects[15].y = 560;  // below the field's visible part
    std::vector<CorrectionIssue> issues;
    for (const int64_t start : c.starts)
        issues.push_back(issueAt(start, std::to_string(start)));
    check(issues);
    advanceTo(c.scrolledAt);
    EXPECT_EQ(highlight.shown.size(), c.starts.size() - 1);
    // The text scrolls up by 100: every line moves.
    for (auto& [start, rect] : field.rects)
        rect.y += 100;
    advanceTo(c.shownAt - 0.005);
    EXPECT_EQ(highlight.shown.size(), c.starts.size() - 1) << "shown before it was asked";
    advanceTo(c.shownAt + 0.005);
    EXPECT_EQ(highlight.shown.size(), c.starts.size());
}

INSTANTIATE_TEST_SUITE_P(Scrolling, ScrollInTest,
                         ::testing::Values(
                             // With another drawn, on the next follow tick.
                             ScrollInCase{"othersDrawn", {3, 15}, 2.0, 2.04},
                             // Alone, on the next ask of the back-off (one a second by then).
                             ScrollInCase{"alone", {15}, 3.0, 3.17}),
                         [](const auto& info) { return std::string(info.param.name); });

// The application tells that its field may have moved (its window came
// back to the front, its caret moved): an issue without a box is asked for
// then, not at the next ask of the back-off, but never sooner than one
// follow interval after the last ask.
struct MovedCase {
    const char* name;
    double foundAt;
    std::vector<double> tellings;
    double shownAt;
};
void PrintTo(const MovedCase& c, std::ostream* os) {
    *os << c.name;
}

class FieldMovedTest : public ControllerTest, public ::testing::WithParamInterface<MovedCase> {};

TEST_P(FieldMovedTest, ABoxRefusedBeforeIsAskedForWhenTheFieldMayHaveMoved) {
    const auto& c = GetParam();
    field.availableFrom[15] = c.foundAt;
    check({issueAt(15, "C")});
    std::size_t next = 0;
    std::optional<double> shown;
    for (int tick = 1; tick <= 700; ++tick) {
        const double t = tick * 0.01;
        for (; next < c.tellings.size() && c.tellings[next] <= t + 1e-9; ++next) {
            advanceTo(c.tellings[next]);
            controller.handleFieldMayHaveMoved();
        }
        advanceTo(t);
        if (!shown && !highlight.shown.empty())
            shown = clock.elapsed();
    }
    ASSERT_TRUE(shown.has_value());
    EXPECT_NEAR(*shown, c.shownAt, 0.011);
}

INSTANTIATE_TEST_SUITE_P(Tellings, FieldMovedTest,
                         ::testing::Values(
                             // Without a telling: the back-off's next ask, at 5.17.
                             MovedCase{"none", 5.0, {}, 5.17},
                             MovedCase{"afterTheBoxCameRight", 5.0, {5.05}, 5.05},
                             // Told 0.03 s after the ask at 4.17: asked at 4.29.
                             MovedCase{"rightAfterAnAsk", 4.2, {4.2}, 4.29}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControllerTest, ManyTellingsAskNoMoreOftenThanTheFollowLoop) {
    field.availableFrom[15] = 100;
    check({issueAt(3, "A"), issueAt(15, "C")});
    advanceTo(0.5);
    // A drawn: the loop asks every 0.12 s anyway; a telling adds nothing.
    const auto before = field.queries[15].size();
    for (int i = 0; i < 10; ++i) {
        advanceTo(0.5 + i * 0.01);
        controller.handleFieldMayHaveMoved();
    }
    advanceTo(0.65);
    EXPECT_EQ(field.queries[15].size(), before + 1) << "asked at 0.6 by the loop only";

    // Nothing drawn: ten tellings within 0.1 s make one ask.
    check({issueAt(15, "C2")});
    advanceTo(5);
    const auto alone = field.queries[15].size();
    for (int i = 0; i < 10; ++i) {
        advanceTo(5 + i * 0.01);
        controller.handleFieldMayHaveMoved();
    }
    advanceTo(5.095);
    EXPECT_EQ(field.queries[15].size(), alone + 1);
}

// Boxes kept in many lines of a document: while the text and the view
// stand still, one box is measured a tick, not each; whatever moves them
// still moves them within a tick or two.
struct KeptCase {
    const char* name;
    // What happens at 3 s.
    std::function<void(testing::ScriptedField&, sim::VirtualClock&)> then;
    std::size_t maxQueriesPerSecond;  // over 3.2 s to 4.2 s
    std::optional<double> shiftedBy;  // every box drawn this much higher by 4.2 s
    std::size_t boxesLeft = 20;       // by 3.5 s
};
void PrintTo(const KeptCase& c, std::ostream* os) {
    *os << c.name;
}

class KeptBoxesTest : public ControllerTest, public ::testing::WithParamInterface<KeptCase> {};

TEST_P(KeptBoxesTest, KeptBoxesCostOneMeasureATickWhileNothingMoves) {
    constexpr uint64_t kLines = 20;
    field.blockStep = 20;
    for (uint64_t block = 1; block <= kLines; ++block) {
        checker.next = {issueAt(3, "L" + std::to_string(block))};
        auto c = candidate();
        c.block = block;
        controller.showCorrectionIssues(c);
        advanceTo(clock.elapsed() + 0.1);
    }
    advanceTo(3);
    ASSERT_EQ(highlight.shown.size(), kLines);
    const auto ysBefore = [&] {
        std::vector<double> ys;
        for (const auto& a : highlight.shown)
            ys.push_back(a.rect.y);
        return ys;
    }();
    GetParam().then(field, clock);
    advanceTo(3.2);
    const std::size_t before = field.queryCount();
    advanceTo(3.5);
    EXPECT_EQ(highlight.shown.size(), GetParam().boxesLeft);
    advanceTo(4.2);
    EXPECT_LE(field.queryCount() - before, GetParam().maxQueriesPerSecond);
    if (GetParam().boxesLeft < kLines)
        return;
    ASSERT_EQ(highlight.shown.size(), kLines);
    for (std::size_t i = 0; i < kLines; ++i)
        EXPECT_DOUBLE_EQ(highlight.shown[i].rect.y, ysBefore[i] + GetParam().shiftedBy.value_or(0));
}

INSTANTIATE_TEST_SUITE_P(Document, KeptBoxesTest,
                         ::testing::Values(
                             // A measure of the lowest box each tick, one line checked against
                             // its text every 0.48 s: 8 + 2.
                             KeptCase{"standingStill", [](auto&, auto&) {}, 11, std::nullopt},
                             KeptCase{"scrolledOnce",
                                      [](testing::ScriptedField& f, auto&) { f.rects[3].y += 40; },
                                      11, 40},
                             // Typing on: the line checked last measured again at most every
                             // 0.36 s.
                             KeptCase{"typingBelow",
                                      [](testing::ScriptedField& f, sim::VirtualClock& c) {
                                          for (int key = 0; key < 12; ++key)
                                              c.after(0.1 * key,
                                                      [&f, &c] { f.editSeen = c.now(); });
                                      },
                                      3 + 11, std::nullopt},
                             // Typed before the error of the tenth line (the caret moved there
                             // without a word): its box goes with the next edit's measure.
                             KeptCase{"typingBeforeTheErrorOfAnotherLine",
                                      [](testing::ScriptedField& f, sim::VirtualClock& c) {
                                          c.after(0.05, [&f, &c] {
                                              f.liveTextOf[10] = "あ" + testing::kText;
                                              f.editSeen = c.now();
                                          });
                                      },
                                      3 + 11, std::nullopt, 19}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControllerTest, NoMoreChecksAreHeldThanTheMonitorRemembersBlocks) {
    // Past the bound the oldest check goes, boxes and all: the monitor no
    // longer knows its block either, and asking for it would only cost.
    struct Case {
        const char* why;
        uint64_t lines;
        std::size_t boxes;
        bool firstLineBoxed;
    };
    const Case cases[] = {
        {"as many lines as are held", CorrectionDisplayController::maxHeldChecks,
         CorrectionDisplayController::maxHeldChecks, true},
        {"one line more", CorrectionDisplayController::maxHeldChecks + 1,
         CorrectionDisplayController::maxHeldChecks, false},
    };
    field.blockStep = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        controller.clearCorrectionUIForContextChange();
        for (uint64_t block = 1; block <= c.lines; ++block) {
            checker.next = {issueAt(3, "L" + std::to_string(block))};
            auto line = candidate();
            line.block = block;
            controller.showCorrectionIssues(line);
        }
        advanceTo(clock.elapsed() + 1.5);
        EXPECT_EQ(highlight.shown.size(), c.boxes);
        EXPECT_EQ(std::ranges::any_of(
                      highlight.shown,
                      [](const HighlightAnnotation& a) { return a.issue && a.issue->id == "L1"; }),
                  c.firstLineBoxed);
    }
}

// A wheel step, a key that scrolls or opens a page, a scrollbar dragged, a
// new title: the boxes go at once and come back where the scroll took them,
// once they are measured there (an application may answer the old places
// for a while), or where they were when nothing scrolled.
enum class Gesture { moved, title, drag };
struct WheelCase {
    const char* name;
    Gesture gesture;
    std::optional<double> movedAt;  // when the boxes measure at their new place
    double stillHiddenAt;
    double shownAgainBy;
    double shiftedBy;
    // When the button of a drag goes up.
    double dragEndsAt = 0;
    // When the text is checked again (its boxes found anew) meanwhile.
    std::optional<double> recheckAt = std::nullopt;
};
void PrintTo(const WheelCase& c, std::ostream* os) {
    *os << c.name;
}

class WheelTest : public ControllerTest, public ::testing::WithParamInterface<WheelCase> {};

TEST_P(WheelTest, AGestureHidesTheBoxesUntilTheyAreMeasuredWhereTheTextWent) {
    const auto& c = GetParam();
    check({issueAt(3, "A"), issueAt(10, "B")});
    advanceTo(2);
    ASSERT_EQ(highlight.shown.size(), 2u);
    switch (c.gesture) {
        case Gesture::moved:
            controller.handleViewGesture(ViewGesture::moved);
            break;
        case Gesture::title:
            controller.handleViewChanged();
            break;
        case Gesture::drag:
            controller.handleViewGesture(ViewGesture::dragStarted);
            clock.after(c.dragEndsAt - 2,
                        [&] { controller.handleViewGesture(ViewGesture::dragEnded); });
            break;
    }
    EXPECT_TRUE(highlight.shown.empty()) << "the boxes stood over other text";
    advanceTo(2.13);
    EXPECT_TRUE(highlight.shown.empty()) << "the boxes stood over other text";
    if (c.movedAt) {
        advanceTo(*c.movedAt);
        for (auto& [start, rect] : field.rects)
            rect.y += c.shiftedBy;
    }
    if (c.recheckAt) {
        advanceTo(*c.recheckAt);
        check({issueAt(3, "A"), issueAt(10, "B")});
        advanceTo(*c.recheckAt + 0.5);
        EXPECT_TRUE(highlight.shown.empty()) << "boxes of a check shown while the drag goes on";
    }
    advanceTo(c.stillHiddenAt);
    EXPECT_TRUE(highlight.shown.empty());
    advanceTo(c.shownAgainBy);
    ASSERT_EQ(highlight.shown.size(), 2u);
    EXPECT_DOUBLE_EQ(highlight.shown[0].rect.y, 680 + c.shiftedBy);
}

INSTANTIATE_TEST_SUITE_P(
    Scrolling, WheelTest,
    ::testing::Values(
        // Measured at the new place 0.4 s after the step (or the Page
        // Down): shown once it measures there twice.
        WheelCase{"answeredLate", Gesture::moved, 2.4, 2.52, 2.65, 40},
        // The page was at its end: back after 1 s.
        WheelCase{"nothingScrolled", Gesture::moved, std::nullopt, 2.9, 3.25, 0},
        // A title changed within the same page: back after 1 s (a new tab
        // clears them through the monitor's change of field).
        WheelCase{"aNewTitle", Gesture::title, std::nullopt, 2.9, 3.25, 0},
        // A scrollbar dragged and held still for a while before it goes on:
        // hidden until the button goes up, then shown where the text is.
        WheelCase{"aDragHeldStill", Gesture::drag, 2.3, 3.9, 4.3, -200, 4.0},
        // The text checked again while the drag goes on: its boxes wait
        // for the end too.
        WheelCase{"aCheckDuringADrag", Gesture::drag, 2.3, 3.9, 4.4, -200, 4.0, 2.5},
        // A drag that moved nothing (text selected): back 1 s after its end.
        WheelCase{"aDragThatScrolledNothing", Gesture::drag, std::nullopt, 3.9, 4.25, 0, 3.0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mivo
