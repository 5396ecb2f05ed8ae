// Rating a preview: one submission in flight, one stored rating per preview,
// a reason for thumbs down, and answers that arrive after the preview
// changed.

#include "coordinator_scene.hpp"

namespace mivo {
namespace {

using nlohmann::json;
constexpr const char* kFeedback = "/v1/feedback/conversion";

class ToneFeedbackTest : public CoordinatorScene {
  protected:
    ToneFeedbackTest() {
        focusedField("私はは学生です。");
        coordinator->invoke();
        panel.buttons().onAction(RewriteAction::improve);
        EXPECT_TRUE(awaitConversion());
        EXPECT_TRUE(box().state().is<TonePanelState::Preview>());
    }
    ToneStateBox& editableBox() { return coordinator->stateBox(); }
};

TEST_F(ToneFeedbackTest, ThumbsUpTwiceSendsOneRating) {
    panel.buttons().onFeedback(FeedbackRating::thumbsUp);
    EXPECT_TRUE(box().feedbackSubmissionInFlight());
    EXPECT_TRUE(logged("Feedback: submitting rewrite rating=thumbs_up"));
    panel.buttons().onFeedback(FeedbackRating::thumbsUp);
    ASSERT_TRUE(awaitFeedback());
    EXPECT_EQ(box().submittedFeedback(), FeedbackRating::thumbsUp);
    EXPECT_TRUE(logged("Feedback: submitted rewrite rating=thumbs_up"));

    // Stored: nothing more until a new preview.
    panel.buttons().onFeedback(FeedbackRating::thumbsUp);
    EXPECT_FALSE(box().feedbackSubmissionInFlight());
    EXPECT_EQ(requestsTo(kFeedback), 1u);
    const json body = lastBody(kFeedback);
    EXPECT_EQ(body["rating"], "thumbs_up");
    EXPECT_EQ(body["source_text"], "私はは学生です。");
    EXPECT_EQ(body["converted_text"], "私は学生です。");
    EXPECT_EQ(body["request_id"], lastBody("/v1/rewrite/convert")["request_id"]);
    EXPECT_FALSE(body.contains("feedback_text"));

    panel.buttons().onAction(RewriteAction::improve);
    ASSERT_TRUE(awaitConversion());
    EXPECT_EQ(box().submittedFeedback(), std::nullopt);
    panel.buttons().onFeedback(FeedbackRating::thumbsUp);
    ASSERT_TRUE(awaitFeedback());
    EXPECT_EQ(requestsTo(kFeedback), 2u);
}

TEST_F(ToneFeedbackTest, ThumbsDownAsksForAReasonAndSendsItTrimmed) {
    editableBox().setFeedbackText("left over");
    panel.buttons().onFeedback(FeedbackRating::thumbsDown);
    EXPECT_TRUE(box().feedbackComposerPresented());
    EXPECT_EQ(box().feedbackText(), "");
    EXPECT_EQ(requestsTo(kFeedback), 0u);

    editableBox().setFeedbackText(" \n\t ");
    panel.buttons().onSubmitWrittenFeedback();
    EXPECT_EQ(box().feedbackErrorMessage(), "Tell us why before submitting");
    EXPECT_FALSE(box().feedbackSubmissionInFlight());

    editableBox().setFeedbackText("\n 硬すぎる ");
    panel.buttons().onSubmitWrittenFeedback();
    // Escape while it is being sent leaves the composer as it is.
    EXPECT_TRUE(panel.press(panel_keys::escape));
    EXPECT_TRUE(box().feedbackComposerPresented());
    EXPECT_TRUE(panel.isOpen());
    ASSERT_TRUE(awaitFeedback());
    EXPECT_EQ(box().submittedFeedback(), FeedbackRating::thumbsDown);
    EXPECT_FALSE(box().feedbackComposerPresented());
    EXPECT_EQ(box().feedbackText(), "");
    EXPECT_EQ(lastBody(kFeedback)["feedback_text"], "硬すぎる");
    EXPECT_EQ(lastBody(kFeedback)["rating"], "thumbs_down");
}

TEST_F(ToneFeedbackTest, FailuresKeepTheComposerAndAllowAnotherTry) {
    struct Case {
        json script;
        std::string message;
        std::string logLine;
    };
    const Case cases[] = {
        {{{"status", 401}}, "Couldn't save feedback", "Feedback: unauthorized"},
        {{{"status", 413}}, "Feedback text is too long", "Feedback: payload too large"},
        {{{"status", 503}}, "Couldn't save feedback", "Feedback: service unavailable"},
        {{{"status", 418}}, "Couldn't save feedback", "Feedback: server error code=418"},
        {{{"drop", true}}, "You're offline", "Feedback: offline"},
    };
    panel.buttons().onFeedback(FeedbackRating::thumbsDown);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script.dump());
        stub.script({{kFeedback, c.script}});
        editableBox().setFeedbackText("理由");
        panel.buttons().onSubmitWrittenFeedback();
        ASSERT_TRUE(awaitFeedback());
        EXPECT_EQ(box().feedbackErrorMessage(), c.message);
        EXPECT_TRUE(logged(c.logLine)) << ::testing::PrintToString(lines);
        EXPECT_TRUE(box().feedbackComposerPresented());
        EXPECT_EQ(box().feedbackText(), "理由");
        EXPECT_EQ(box().submittedFeedback(), std::nullopt);
    }
    stub.script(json::object());
    panel.buttons().onSubmitWrittenFeedback();
    ASSERT_TRUE(awaitFeedback());
    EXPECT_EQ(box().submittedFeedback(), FeedbackRating::thumbsDown);
}

TEST_F(ToneFeedbackTest, ARatingThatFinishesLateDoesNotMarkWhatIsShownNow) {
    struct Case {
        const char* name;
        std::function<void()> moveOn;
    };
    const Case cases[] = {
        {"a new preview",
         [&] {
             panel.buttons().onAction(RewriteAction::tone);
             ASSERT_TRUE(awaitConversion());
         }},
        {"back to the picker", [&] { panel.buttons().onCancel(); }},
        {"the panel closed and opened again",
         [&] {
             coordinator->hidePanel();
             coordinator->invoke();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!box().state().is<TonePanelState::Preview>()) {
            panel.buttons().onAction(RewriteAction::improve);
            ASSERT_TRUE(awaitConversion());
        }
        lines.clear();
        stub.script({{kFeedback, {{"delay", 0.3}}}});
        panel.buttons().onFeedback(FeedbackRating::thumbsUp);
        c.moveOn();
        EXPECT_FALSE(box().feedbackSubmissionInFlight());
        ASSERT_TRUE(testing::runEventLoopUntil(
            [&] { return logged("Feedback: submitted rewrite rating=thumbs_up"); }));
        EXPECT_EQ(box().submittedFeedback(), std::nullopt);
        EXPECT_FALSE(box().feedbackSubmissionInFlight());
    }
}

TEST_F(ToneFeedbackTest, NothingToRateWithoutAPreview) {
    panel.buttons().onCancel();
    panel.buttons().onFeedback(FeedbackRating::thumbsDown);
    EXPECT_EQ(box().feedbackErrorMessage(), "Feedback unavailable");
    EXPECT_FALSE(box().feedbackComposerPresented());
    panel.buttons().onFeedback(FeedbackRating::thumbsUp);
    EXPECT_TRUE(logged("Feedback: missing tone conversion context"));
    EXPECT_EQ(requestsTo(kFeedback), 0u);
}

}  // namespace
}  // namespace mivo
