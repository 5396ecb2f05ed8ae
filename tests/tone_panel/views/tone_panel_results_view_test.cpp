#include "panel_harness.hpp"
#include "tone_panel/tone_controls.hpp"
#include "tone_panel/tone_text_widgets.hpp"
#include "tone_panel/tone_theme.hpp"

namespace mivo::testing {
namespace {

using Calls = std::vector<std::string>;

TonePanelState improvedPreview(bool unchanged = false, int64_t latency = 850) {
    return TonePanelState::preview(
        "本日は会議に参加できず、申し訳ございません。改めてご連絡いたします。",
        RewriteAction::improve, std::nullopt, latency, unchanged);
}

class ResultStates : public BothSchemes {};

TEST_P(ResultStates, APreviewShowsBadgeLatencyAndItsButtons) {
    PanelHarness h;
    h.box.setState(improvedPreview());
    h.make();
    const QImage image = h.save("preview-changed", scheme());

    EXPECT_EQ(h.text("sourceCaption"), "Original");
    EXPECT_EQ(h.one<PillBadge>("badge")->text(), "Improved");
    EXPECT_TRUE(h.visible("unchangedLabel").empty());
    EXPECT_EQ(h.text("latencyLabel"), "850 ms");
    auto* apply = h.one<QAbstractButton>("applyButton");
    ASSERT_NE(apply, nullptr);
    EXPECT_EQ(apply->text(), "Apply Improvement");
    // The primary button is the fixed blue in both appearances.
    const QPoint inside = apply->mapTo(h.view.get(), QPoint(3, apply->height() / 2));
    EXPECT_TRUE(sameColour(pixelAt(image, inside.x(), inside.y()), ToneTheme::primaryButton()));

    h.click("applyButton");
    h.click("cancelButton");
    h.click("thumbsUp");
    EXPECT_EQ(h.calls, (Calls{"apply", "cancel", "feedback thumbs_up"}));
}

TEST_P(ResultStates, AnUnchangedPreviewSaysSoAndOffersDone) {
    PanelHarness h;
    h.box.setState(TonePanelState::preview("そのまま", RewriteAction::tone,
                                           Register::formalBusiness, 12345, true));
    h.make();
    h.save("preview-unchanged", scheme());
    EXPECT_EQ(h.text("unchangedLabel"), "· unchanged");
    EXPECT_EQ(h.one<PillBadge>("badge")->text(), "Formal Business");
    EXPECT_EQ(h.text("latencyLabel"), "12345 ms");
    EXPECT_EQ(h.one<QAbstractButton>("applyButton")->text(), "Done");
}

TEST_P(ResultStates, ALongRewriteScrollsInsideItsBox) {
    PanelHarness h;
    std::string longText;
    for (int i = 0; i < 12; ++i)
        longText += "長い書き換えの文がここに続きます。";
    h.box.setState(TonePanelState::preview(longText, RewriteAction::translate, {}, 0, false));
    h.make();
    auto* result = h.one<ScrollingText>("resultText");
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(result->scrolls());
    EXPECT_EQ(result->height(), 130);
    EXPECT_EQ(h.text("latencyLabel"), "0 ms");
}

TEST_P(ResultStates, TheThumbsRowFollowsTheFeedbackFields) {
    PanelHarness h;
    h.box.setState(improvedPreview());
    h.make();
    auto thumbs = [&] {
        return std::pair{h.one<FeedbackIconButton>("thumbsUp"),
                         h.one<FeedbackIconButton>("thumbsDown")};
    };

    auto [up, down] = thumbs();
    EXPECT_TRUE(up->isEnabled() && down->isEnabled());
    EXPECT_EQ(up->toolTip(), "Good rewrite");
    EXPECT_EQ(down->toolTip(), "Poor rewrite");

    h.box.setFeedbackSubmissionInFlight(true);
    h.save("preview-feedback-sending", scheme());
    std::tie(up, down) = thumbs();
    EXPECT_NE(h.one("feedbackSpinner"), nullptr);
    EXPECT_FALSE(up->isEnabled() || down->isEnabled());

    h.box.setFeedbackSubmissionInFlight(false);
    h.box.setSubmittedFeedback(FeedbackRating::thumbsUp);
    h.save("preview-feedback-saved", scheme());
    std::tie(up, down) = thumbs();
    EXPECT_EQ(h.one("feedbackSaved")->toolTip(), "Feedback saved");
    EXPECT_FALSE(up->isEnabled() || down->isEnabled());
    EXPECT_TRUE(up->isSelected());
    EXPECT_EQ(up->glyphName(), "hand.thumbsup.fill");
    EXPECT_TRUE(sameColour(up->foreground(), ToneTheme::primary()));

    h.box.setSubmittedFeedback(std::nullopt);
    const std::string message = "Couldn't save feedback because the service answered too slowly";
    h.box.setFeedbackErrorMessage(message);
    h.save("preview-feedback-failed", scheme());
    std::tie(up, down) = thumbs();
    EXPECT_EQ(h.one("feedbackError")->toolTip().toStdString(), message);
    EXPECT_TRUE(up->isEnabled() && down->isEnabled());
    EXPECT_EQ(h.one<QLabel>("feedbackErrorText")->text().count('\n'), 0);

    h.box.setFeedbackComposerPresented(true);
    PanelHarness::settle();
    std::tie(up, down) = thumbs();
    EXPECT_TRUE(up->isEnabled());
    EXPECT_FALSE(down->isEnabled());
}

TEST_P(ResultStates, ErrorsOfferRetryOnlyWhenRetryable) {
    PanelHarness h;
    h.box.setState(TonePanelState::error("Request timed out.", true));
    h.make();
    h.save("error-retryable", scheme());
    EXPECT_EQ(h.one<QLabel>("messageText")->text(), "Request timed out.");
    h.click("retryButton");
    h.click("cancelButton");
    EXPECT_EQ(h.calls, (Calls{"retry", "cancel"}));

    h.box.setState(TonePanelState::error(
        "AI rewrite service is temporarily unavailable. Please try again later.", false));
    h.save("error-final", scheme());
    EXPECT_TRUE(h.visible("retryButton").empty());
    EXPECT_NE(h.one("cancelButton"), nullptr);
    auto* message = h.one<QLabel>("messageText");
    // Wraps and shows every line.
    EXPECT_GT(message->height(), message->fontMetrics().height() * 1.5);
    EXPECT_GE(message->height(), message->heightForWidth(message->width()));
}

TEST_P(ResultStates, OfflineAlwaysOffersRetry) {
    PanelHarness h;
    h.box.setState(TonePanelState::offline());
    h.make();
    const QImage image = h.save("offline", scheme());
    EXPECT_EQ(h.one<QLabel>("messageText")->text(), "Mivo requires internet for AI rewrite.");
    EXPECT_NE(h.one("retryButton"), nullptr);
    EXPECT_NE(h.one("cancelButton"), nullptr);
    // The message box is tinted with the error colour.
    QWidget* box = h.one("offlineMessage");
    const QPoint corner = box->mapTo(h.view.get(), QPoint(4, box->height() / 2));
    const QColor tint = pixelAt(image, corner.x(), corner.y());
    EXPECT_GT(tint.red(), tint.blue());
}

TEST_P(ResultStates, AppliedNamesHowItWasWritten) {
    PanelHarness h;
    h.box.setState(TonePanelState::applied("paste"));
    h.make();
    h.save("applied", scheme());
    EXPECT_EQ(h.text("appliedTitle"), "Rewrite applied");
    EXPECT_EQ(h.text("appliedTier"), "via paste");
}

INSTANTIATE_TEST_SUITE_P(Schemes, ResultStates,
                         ::testing::Values(ui::ColorScheme::light, ui::ColorScheme::dark),
                         [](const auto& info) { return std::string(schemeName(info.param)); });

}  // namespace
}  // namespace mivo::testing
