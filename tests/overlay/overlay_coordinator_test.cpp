// The correction panel coordinator over a recording panel window, the
// simulated screens and the virtual clock.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "overlay/overlay_coordinator.hpp"
#include "overlay_test_support.hpp"
#include "platform/sim/sim_screens.hpp"
#include "platform/sim/virtual_clock.hpp"

namespace mivo {
namespace {

using overlay_test::FakePanelWindow;
using overlay_test::issue;

std::vector<std::string> ids(const std::vector<CorrectionIssue>& issues) {
    std::vector<std::string> out;
    for (const auto& i : issues)
        out.push_back(i.id);
    return out;
}

class OverlayCoordinatorTest : public ::testing::Test {
  protected:
    OverlayCoordinatorTest() {
        coordinator.onApply = [this](const auto& issues) { applied.push_back(ids(issues)); };
        coordinator.onDismiss = [this](const auto& issues) {
            dismissed.push_back(ids(issues));
            stateAtDismiss = coordinator.state().issues().size();
        };
        coordinator.onHoverChanged = [this](bool h) { hover.push_back(h); };
    }

    const CorrectionIssue a = issue("a", "を", "が", 2, 3);
    const CorrectionIssue b = issue("b", "食べれる", "食べられる", 5, 9);
    const Rect anchor{500, 300, 40, 16};

    FakePanelWindow window;
    sim::VirtualClock clock;
    sim::SimScreens screens;  // 1440 x 900, visible 1440 x 875
    OverlayCoordinator coordinator{window, clock, screens};
    std::vector<std::vector<std::string>> applied;
    std::vector<std::vector<std::string>> dismissed;
    std::vector<bool> hover;
    std::size_t stateAtDismiss = 99;
};

TEST_F(OverlayCoordinatorTest, ShowsOneOrSeveralIssuesNextToTheAnchor) {
    EXPECT_FALSE(coordinator.currentPanelFrame().has_value()) << "no panel before the first show";
    coordinator.show({a}, anchor);
    const auto* one = std::get_if<OverlayCoordinator::OverlayState::ShowingCorrection>(
        &coordinator.state().value);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->issue.id, "a");
    EXPECT_EQ(window.contentWidth, 360);
    EXPECT_EQ(coordinator.currentPanelFrame(), (Rect{400, 94, 360, 200}));
    EXPECT_TRUE(window.visible);

    coordinator.show({a, b}, Rect{500, 100, 40, 16});
    EXPECT_EQ(ids(coordinator.state().issues()), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(std::holds_alternative<OverlayCoordinator::OverlayState::ShowingMultiple>(
        coordinator.state().value));
    EXPECT_EQ(coordinator.currentPanelFrame(), (Rect{400, 122, 360, 200}));
}

TEST_F(OverlayCoordinatorTest, AnEmptyShowTouchesNothing) {
    coordinator.show({a}, anchor);
    const int contents = window.contentCount;
    coordinator.show({}, Rect{0, 0, 10, 10});
    EXPECT_EQ(window.contentCount, contents);
    EXPECT_EQ(coordinator.currentPanelFrame(), (Rect{400, 94, 360, 200}));
    EXPECT_EQ(ids(coordinator.state().issues()), (std::vector<std::string>{"a"}));
}

TEST_F(OverlayCoordinatorTest, EveryShowStartsAFreshView) {
    coordinator.show({a, b}, anchor);
    auto first = window.model;
    first->select(1);
    first->toggleExplanation();
    coordinator.show({a, b}, anchor);
    ASSERT_NE(window.model, first);
    EXPECT_EQ(window.model->selectedIndex(), 0u);
    EXPECT_FALSE(window.model->showExplanation());
}

TEST_F(OverlayCoordinatorTest, WithoutAnAnchorThePanelIsCentredAndStaysPutOnResize) {
    coordinator.show({a}, std::nullopt);
    // The main screen's visible frame is (0, 0, 1440, 875).
    EXPECT_EQ(coordinator.currentPanelFrame(), (Rect{540, 337.5, 360, 200}));
    const int sets = window.frameSets;
    window.resizeContent(300);
    EXPECT_EQ(window.frameSets, sets);
}

TEST_F(OverlayCoordinatorTest, OnAScaledScreenThePanelIsKeptInsideByTheSizeItTakes) {
    // Laid out 360 wide, the window takes 720 X pixels at scale 2: placed
    // by its layout width it would hang 360 pixels past the right edge.
    window.scale = 2;
    for (const Rect& near : {Rect{1400, 300, 30, 16}, Rect{2, 300, 30, 16}}) {
        SCOPED_TRACE(toString(near));
        coordinator.show({a}, near);
        const auto frame = coordinator.currentPanelFrame();
        ASSERT_TRUE(frame.has_value());
        EXPECT_EQ(frame->width, 720);
        EXPECT_GE(frame->minX(), 8);
        EXPECT_LE(frame->maxX(), 1440 - 8);
    }
}

TEST_F(OverlayCoordinatorTest, ResizesKeepTheEdgeNextToTheAnchor) {
    coordinator.show({a}, anchor);
    window.resizeContent(250);
    EXPECT_EQ(coordinator.currentPanelFrame(), (Rect{400, 44, 360, 250}));
    // Growing past the screen's bottom stops at its 8-point margin.
    window.resizeContent(300);
    EXPECT_EQ(coordinator.currentPanelFrame(), (Rect{400, 8, 360, 300}));
    coordinator.show({a}, Rect{500, 100, 40, 16});
    window.resizeContent(260);
    EXPECT_EQ(coordinator.currentPanelFrame(), (Rect{400, 122, 360, 260}));
}

TEST_F(OverlayCoordinatorTest, ApplyClosesAtOnceAndReportsAFewHundredthsLater) {
    coordinator.show({a, b}, anchor);
    window.model->select(1);
    std::vector<bool> presses;
    coordinator.onApplyPress = [&](bool pressed) { presses.push_back(pressed); };
    window.model->applyPressed();
    window.model->apply();
    // The second click of a double click, and the end of the press that
    // did apply: neither does anything.
    window.model->apply();
    window.model->applyPressEnded();
    EXPECT_EQ(presses, (std::vector<bool>{true}));
    EXPECT_TRUE(coordinator.state().isHidden());
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(hover, (std::vector<bool>{false}));
    // Clearing the handler afterwards does not stop the report.
    auto handler = coordinator.onApply;
    coordinator.onApply = nullptr;
    clock.advance(0.04);
    EXPECT_TRUE(applied.empty());
    clock.advance(0.01);
    EXPECT_EQ(applied, (std::vector<std::vector<std::string>>{{"b"}}));
}

struct NoticeCase {
    const char* why;
    double showAgainAt;  // a new show of issues, or never (negative)
    bool visibleAt3;
    double hideAt = -1;  // a hide(), or never (negative)
};

TEST_F(OverlayCoordinatorTest, ANoticeStandsWhereThePanelWouldAndGoesByItself) {
    const NoticeCase cases[] = {
        {"left alone, it closes after 2.5 s", -1, false},
        {"a panel opened meanwhile is not closed by the notice's end", 1.0, true},
        {"a hide meanwhile (the click that interrupted the write moved the focus) leaves it", -1,
         false, 0.3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const double start = clock.elapsed();
        coordinator.showNotice("The text changed; nothing was written", anchor);
        const auto* error =
            std::get_if<OverlayCoordinator::OverlayState::Error>(&coordinator.state().value);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->message, "The text changed; nothing was written");
        ASSERT_NE(window.model, nullptr);
        EXPECT_EQ(window.model->noticeMessage(), "The text changed; nothing was written");
        EXPECT_EQ(coordinator.currentPanelFrame(), (Rect{400, 94, 360, 200}));
        EXPECT_TRUE(window.visible);
        if (c.showAgainAt >= 0) {
            clock.advance(c.showAgainAt);
            coordinator.show({a}, anchor);
        }
        if (c.hideAt >= 0) {
            clock.advance(c.hideAt);
            coordinator.hide();
        }
        clock.advance(start + 2.49 - clock.elapsed());
        EXPECT_TRUE(window.visible);
        clock.advance(start + 3.0 - clock.elapsed());
        EXPECT_EQ(window.visible, c.visibleAt3);
        EXPECT_EQ(coordinator.state().isHidden(), !c.visibleAt3);
        coordinator.hide();
    }
}

// What comes while the user's button is down on Apply: the press is on
// its way to a click, and the hold it started waits for that click.
struct PressCase {
    const char* what;
    void (*meanwhile)(OverlayCoordinator&, const CorrectionIssue&, const Rect&);
    bool viewKept;              // the release comes to the view pressed
    std::vector<bool> presses;  // what the owner heard
    bool toldCutOff = false;    // and that the click on Apply came to nothing
};

TEST_F(OverlayCoordinatorTest, WhatComesDuringAPressOnApplyNeverStrandsIt) {
    const PressCase cases[] = {
        // The pointer crossed the panel's own box on its way (another
        // connection's report may overtake the release): a view made anew
        // would take the release, and nothing would be applied.
        {"the same issue shown again",
         [](OverlayCoordinator& c, const CorrectionIssue& i, const Rect& r) { c.show({i}, r); },
         true,
         {true}},
        // A panel gone under the button: the press is over, and the hold
        // it started must not wait out its bound.
        {"the panel closed",
         [](OverlayCoordinator& c, const CorrectionIssue&, const Rect&) { c.hide(); },
         false,
         {true, false},
         true},
        {"a notice in its place",
         [](OverlayCoordinator& c, const CorrectionIssue&, const Rect& r) {
             c.showNotice("notice", r);
         },
         false,
         {true, false}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        applied.clear();
        coordinator.show({a}, anchor);
        std::vector<bool> presses;
        coordinator.onApplyPress = [&](bool pressed) { presses.push_back(pressed); };
        int cutOff = 0;
        coordinator.onApplyCutOff = [&] {
            EXPECT_FALSE(window.visible) << "told while the panel still stood";
            ++cutOff;
        };
        const auto pressed = window.model;
        pressed->applyPressed();
        row.meanwhile(coordinator, a, anchor);
        if (row.viewKept) {
            EXPECT_TRUE(window.model == pressed) << "a new view took the press's place";
            pressed->apply();
            clock.advance(0.1);
            EXPECT_EQ(applied.size(), 1u);
        }
        EXPECT_EQ(presses, row.presses);
        EXPECT_EQ(cutOff, row.toldCutOff ? 1 : 0);
        coordinator.onApplyPress = nullptr;
        coordinator.onApplyCutOff = nullptr;
        coordinator.hide();
        clock.advance(3);
    }
}

TEST_F(OverlayCoordinatorTest, APressOnAPanelAlreadyClosedHoldsNothing) {
    coordinator.show({a}, anchor);
    std::vector<bool> presses;
    coordinator.onApplyPress = [&](bool pressed) { presses.push_back(pressed); };
    const auto closed = window.model;
    coordinator.hide();
    closed->applyPressed();
    EXPECT_TRUE(presses.empty());
}

TEST_F(OverlayCoordinatorTest, DismissReportsBeforeClosing) {
    coordinator.show({a, b}, anchor);
    window.model->dismiss();
    EXPECT_EQ(dismissed, (std::vector<std::vector<std::string>>{{"a"}}));
    EXPECT_EQ(stateAtDismiss, 2u) << "the panel was still open when the owner heard";
    EXPECT_TRUE(coordinator.state().isHidden());
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(hover, (std::vector<bool>{false}));
    EXPECT_TRUE(applied.empty());
}

TEST_F(OverlayCoordinatorTest, HideReportsThePointerGoneEvenWhenHidden) {
    coordinator.hide();
    EXPECT_EQ(hover, (std::vector<bool>{false}));
    coordinator.show({a}, anchor);
    window.model->hoverChanged(true);
    coordinator.hide();
    EXPECT_EQ(hover, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(coordinator.currentPanelFrame(), (Rect{400, 94, 360, 200})) << "the panel stays";
}

TEST_F(OverlayCoordinatorTest, AViewOutlivingItsCoordinatorDoesNothing) {
    auto other = std::make_unique<OverlayCoordinator>(window, clock, screens);
    int calls = 0;
    other->onApply = [&](const auto&) { ++calls; };
    other->onDismiss = [&](const auto&) { ++calls; };
    other->onHoverChanged = [&](bool) { ++calls; };
    other->show({a}, anchor);
    auto model = window.model;
    other.reset();
    model->apply();
    model->dismiss();
    model->hoverChanged(true);
    clock.advance(1);
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(window.onResize) << "the resize handler is gone with it";
}

}  // namespace
}  // namespace mivo
