#include "tone/tone_state_box.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace mivo {
namespace {

using Field = ToneStateBox::Field;
const TimePoint t0 = TimePoint(std::chrono::seconds(1'700'000'000));

TEST(ToneStateBox, StartsInThePickerWithImproveAndPoliteAndNoFeedback) {
    ToneStateBox box;
    EXPECT_EQ(box.state(), TonePanelState::picking());
    EXPECT_EQ(box.selectedAction(), RewriteAction::improve);
    EXPECT_EQ(box.selectedRegister(), Register::polite);
    EXPECT_FALSE(box.submittedFeedback());
    EXPECT_FALSE(box.feedbackSubmissionInFlight());
    EXPECT_FALSE(box.feedbackErrorMessage());
    EXPECT_FALSE(box.feedbackComposerPresented());
    EXPECT_EQ(box.feedbackText(), "");
    EXPECT_FALSE(box.translateUnavailableReason());
}

// Each row: two states and whether they are equal.
TEST(TonePanelState, EqualOnlyWhenTheCaseAndEveryValueMatch) {
    const auto later = t0 + std::chrono::milliseconds(1);
    struct Row {
        const char* name;
        TonePanelState a, b;
        bool equal;
    };
    const std::vector<Row> rows{
        {"same loading", TonePanelState::loading(RewriteAction::tone, Register::casual, t0),
         TonePanelState::loading(RewriteAction::tone, Register::casual, t0), true},
        {"loading begun later", TonePanelState::loading(RewriteAction::improve, {}, t0),
         TonePanelState::loading(RewriteAction::improve, {}, later), false},
        {"loading register absent vs present", TonePanelState::loading(RewriteAction::tone, {}, t0),
         TonePanelState::loading(RewriteAction::tone, Register::polite, t0), false},
        {"preview other latency",
         TonePanelState::preview("文", RewriteAction::improve, {}, 850, false),
         TonePanelState::preview("文", RewriteAction::improve, {}, 851, false), false},
        {"preview unchanged flag",
         TonePanelState::preview("文", RewriteAction::improve, {}, 1, false),
         TonePanelState::preview("文", RewriteAction::improve, {}, 1, true), false},
        {"error retry flag", TonePanelState::error("x", true), TonePanelState::error("x", false),
         false},
        {"applied tier", TonePanelState::applied("paste"), TonePanelState::applied("paste"), true},
        {"offline vs signed out", TonePanelState::offline(), TonePanelState::signedOut(), false},
        {"picking", TonePanelState::picking(), TonePanelState::picking(), true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.a == row.b, row.equal) << row.name;
    }
}

TEST(ToneStateBox, TellsObserversOfChangesOnlyAfterStoringThem) {
    ToneStateBox box;
    std::vector<Field> seen;
    std::vector<std::string> statesSeen;
    Cancel handle = box.observe([&](Field f) {
        seen.push_back(f);
        statesSeen.push_back(caseName(box.state()));
    });

    box.setState(TonePanelState::loading(RewriteAction::improve, {}, t0));
    // The same request begun later is a new request, not a repeat.
    box.setState(TonePanelState::loading(RewriteAction::improve, {}, t0 + std::chrono::seconds(1)));
    box.setState(TonePanelState::loading(RewriteAction::improve, {}, t0 + std::chrono::seconds(1)));
    box.setSelectedRegister(Register::polite);  // already polite
    box.setFeedbackText("a");

    EXPECT_EQ(seen, (std::vector<Field>{Field::state, Field::state, Field::feedbackText}));
    EXPECT_EQ(statesSeen.front(), "loading");

    handle.cancel();
    box.setFeedbackText("b");
    EXPECT_EQ(seen.size(), 3u);
}

TEST(ToneStateBox, AnObserverMayCancelAnotherWhileNotified) {
    ToneStateBox box;
    int secondCalls = 0;
    Cancel second;
    Cancel first = box.observe([&](Field) { second.cancel(); });
    second = box.observe([&](Field) { ++secondCalls; });
    box.setFeedbackComposerPresented(true);
    EXPECT_EQ(secondCalls, 0);
}

TEST(ToneStateBox, ResetFeedbackClearsTheFiveFeedbackFieldsOnly) {
    ToneStateBox box;
    box.setSelectedAction(RewriteAction::translate);
    box.setSubmittedFeedback(FeedbackRating::thumbsDown);
    box.setFeedbackSubmissionInFlight(true);
    box.setFeedbackErrorMessage("Couldn't save feedback");
    box.setFeedbackComposerPresented(true);
    box.setFeedbackText("理由");
    box.setTranslateUnavailableReason("This text is already Japanese.");

    box.resetFeedback();

    EXPECT_FALSE(box.submittedFeedback());
    EXPECT_FALSE(box.feedbackSubmissionInFlight());
    EXPECT_FALSE(box.feedbackErrorMessage());
    EXPECT_FALSE(box.feedbackComposerPresented());
    EXPECT_EQ(box.feedbackText(), "");
    EXPECT_EQ(box.selectedAction(), RewriteAction::translate);
    EXPECT_TRUE(box.translateUnavailableReason());
}

}  // namespace
}  // namespace mivo
