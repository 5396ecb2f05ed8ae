#include "tone/tone_panel_callbacks.hpp"

#include <utility>

namespace mivo {

namespace {

// Wraps `step` so it runs only while the coordinator lives.
template <typename... Args, typename Step>
std::function<void(Args...)> weakly(const std::weak_ptr<TonePanelActions>& coordinator, Step step) {
    return [coordinator, step = std::move(step)](Args... args) {
        if (auto owner = coordinator.lock()) {
            step(*owner, args...);
        }
    };
}

}  // namespace

TonePanelCallbacks routePanelCallbacks(std::weak_ptr<TonePanelActions> coordinator) {
    TonePanelCallbacks callbacks;
    callbacks.onAction = weakly<RewriteAction>(
        coordinator,
        [](TonePanelActions& c, RewriteAction a) { c.startConversion(a, std::nullopt); });
    callbacks.onRegister = weakly<Register>(coordinator, [](TonePanelActions& c, Register r) {
        c.startConversion(RewriteAction::tone, r);
    });
    callbacks.onApply = weakly<>(coordinator, [](TonePanelActions& c) { c.applyAndDismiss(); });
    callbacks.onClose = weakly<>(coordinator, [](TonePanelActions& c) { c.hidePanel(); });
    callbacks.onCancel = weakly<>(coordinator, [](TonePanelActions& c) { c.returnToPicker(); });
    callbacks.onRetry = weakly<>(coordinator, [](TonePanelActions& c) {
        c.startConversion(c.lastRewriteAction(), c.lastRewriteRegister());
    });
    callbacks.onFeedback = weakly<FeedbackRating>(
        coordinator, [](TonePanelActions& c, FeedbackRating r) { c.handleFeedbackSelection(r); });
    callbacks.onDismissFeedbackComposer =
        weakly<>(coordinator, [](TonePanelActions& c) { c.dismissFeedbackComposer(); });
    callbacks.onSubmitWrittenFeedback =
        weakly<>(coordinator, [](TonePanelActions& c) { c.submitWrittenFeedback(); });
    callbacks.onSignIn = weakly<>(coordinator, [](TonePanelActions& c) {
        c.log("Tone: sign-in requested from rewrite panel");
        c.requestSignIn();
        c.hidePanel();
    });
    return callbacks;
}

}  // namespace mivo
