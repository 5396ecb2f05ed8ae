#include "tone/tone_panel_callbacks.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace mivo {
namespace {

std::string describe(std::optional<Register> r) {
    return r ? std::string(rawValue(*r)) : "none";
}

// Writes down every operation the panel reaches, in order.
class RecordingCoordinator : public TonePanelActions {
  public:
    // Shared with the test, so it outlives the coordinator.
    std::shared_ptr<std::vector<std::string>> record = std::make_shared<std::vector<std::string>>();
    std::vector<std::string>& calls = *record;
    RewriteAction last = RewriteAction::improve;
    std::optional<Register> lastRegister;

    void startConversion(RewriteAction a, std::optional<Register> r) override {
        calls.push_back("start " + std::string(rawValue(a)) + " " + describe(r));
    }
    void applyAndDismiss() override { calls.push_back("apply"); }
    void hidePanel() override { calls.push_back("hide"); }
    void returnToPicker() override { calls.push_back("picker"); }
    RewriteAction lastRewriteAction() const override { return last; }
    std::optional<Register> lastRewriteRegister() const override { return lastRegister; }
    void handleFeedbackSelection(FeedbackRating r) override {
        calls.push_back("feedback " + std::string(rawValue(r)));
    }
    void dismissFeedbackComposer() override { calls.push_back("dismiss composer"); }
    void submitWrittenFeedback() override { calls.push_back("submit written"); }
    void log(const std::string& line) override { calls.push_back("log " + line); }
    void requestSignIn() override { calls.push_back("sign in"); }
};

TEST(TonePanelCallbacks, EachActionReachesItsCoordinatorOperation) {
    auto coordinator = std::make_shared<RecordingCoordinator>();
    coordinator->last = RewriteAction::tone;
    coordinator->lastRegister = Register::formalBusiness;
    const TonePanelCallbacks cb = routePanelCallbacks(coordinator);

    cb.onAction(RewriteAction::tone);
    cb.onRegister(Register::casual);
    cb.onRetry();
    coordinator->last = RewriteAction::improve;
    coordinator->lastRegister.reset();
    cb.onRetry();
    cb.onApply();
    cb.onClose();
    cb.onCancel();
    cb.onFeedback(FeedbackRating::thumbsDown);
    cb.onDismissFeedbackComposer();
    cb.onSubmitWrittenFeedback();
    cb.onSignIn();

    EXPECT_EQ(coordinator->calls,
              (std::vector<std::string>{
                  // A tone action without a register lets the coordinator
                  // take the box's selected one.
                  "start tone none", "start tone casual", "start tone formal_business",
                  "start improve none", "apply", "hide", "picker", "feedback thumbs_down",
                  "dismiss composer", "submit written",
                  // Sign-in logs and hands the request on before closing.
                  "log Tone: sign-in requested from rewrite panel", "sign in", "hide"}));
}

TEST(TonePanelCallbacks, DoNothingOnceTheCoordinatorIsGone) {
    auto coordinator = std::make_shared<RecordingCoordinator>();
    const TonePanelCallbacks cb = routePanelCallbacks(coordinator);
    const auto record = coordinator->record;
    cb.onClose();
    ASSERT_EQ(record->size(), 1u);
    coordinator.reset();

    cb.onAction(RewriteAction::improve);
    cb.onRegister(Register::polite);
    cb.onApply();
    cb.onClose();
    cb.onCancel();
    cb.onRetry();
    cb.onFeedback(FeedbackRating::thumbsUp);
    cb.onDismissFeedbackComposer();
    cb.onSubmitWrittenFeedback();
    cb.onSignIn();
    EXPECT_EQ(*record, std::vector<std::string>{"hide"});
}

}  // namespace
}  // namespace mivo
