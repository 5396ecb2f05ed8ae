// The user's choice in the panel becomes a request to the rewrite service;
// its answer becomes a preview, an error or the offline state; an accepted
// preview is written back into the host application.

#include <utility>

#include "shared/text.hpp"
#include "tone/tone_coordinator.hpp"
#include "tone/tone_coordinator_messages.hpp"
#include "tone/tone_paste_applier.hpp"

namespace mivo {

void ToneCoordinator::startConversion(RewriteAction action, std::optional<Register> toneRegister) {
    if (action == RewriteAction::translate &&
        text::japaneseRatio(originalText_) >= text::minimumJapaneseRatio) {
        box_.setSelectedAction(RewriteAction::translate);
        box_.setTranslateUnavailableReason(std::string(kAlreadyJapanese));
        log("Rewrite: skipped translate because selected text is already Japanese");
        return;
    }
    std::optional<Register> effective;
    if (action == RewriteAction::tone)
        effective = toneRegister.value_or(box_.selectedRegister());

    box_.setSelectedAction(action);
    if (effective)
        box_.setSelectedRegister(*effective);
    lastRewriteAction_ = action;
    lastRewriteRegister_ = effective;
    resetFeedback();
    box_.setState(TonePanelState::loading(action, effective, ports_.desktop.scheduler.now()));

    cancelConversion();
    const uint64_t generation = ++conversionGeneration_;
    conversionRunning_ = true;

    ToneAPIClient::ConvertRequest request;
    request.targetText = originalText_;
    request.action = action;
    request.targetRegister = effective;
    request.surfaceTag = std::string(SurfaceTagResolver::rawValue(currentSurfaceTag_));
    request.precedingContext = precedingContext_;
    request.followingContext = followingContext_;
    request.requestId = text::makeUuid();

    std::weak_ptr<ToneCoordinator> weak = weak_from_this();
    auto withToken = [weak, generation, request = std::move(request),
                      effective](std::optional<std::string> token) mutable {
        auto self = weak.lock();
        if (self == nullptr || generation != self->conversionGeneration_)
            return;
        if (!token) {
            // Nobody to send the text for: ask for a sign-in instead of
            // sending the user's text without an account.
            self->conversionRunning_ = false;
            self->log("Rewrite: no access token — showing sign-in prompt");
            self->box_.setState(self->signedOutState());
            return;
        }
        request.accessToken = std::move(token);
        self->sendConversion(generation, std::move(request), effective);
    };
    if (accessTokenProvider_) {
        accessTokenProvider_(std::move(withToken));
    } else {
        withToken(std::nullopt);
    }
}

void ToneCoordinator::sendConversion(uint64_t generation, ToneAPIClient::ConvertRequest request,
                                     std::optional<Register> requestedRegister) {
    std::weak_ptr<ToneCoordinator> weak = weak_from_this();
    conversionTransfer_ = ports_.api.convert(
        request, [weak, generation,
                  requestedRegister](ToneAPIClient::Result<ToneAPIClient::ConvertResult> result) {
            if (auto self = weak.lock())
                self->finishConversion(generation, requestedRegister, std::move(result));
        });
}

void ToneCoordinator::finishConversion(uint64_t generation,
                                       std::optional<Register> requestedRegister,
                                       ToneAPIClient::Result<ToneAPIClient::ConvertResult> result) {
    // Only the conversion the user is waiting for may answer, and only it
    // clears its handle.
    if (generation != conversionGeneration_ || !conversionRunning_)
        return;
    conversionRunning_ = false;
    conversionTransfer_ = Cancel();

    if (!result) {
        const auto& error = result.error();
        using Kind = ToneAPIClient::ToneAPIError::Kind;
        // The panel's offline text cannot tell a stopped service from a lost
        // network; the log names the address and what happened.
        if (error.kind == Kind::offline || error.kind == Kind::timeout)
            log("Rewrite: no answer from " + ports_.api.baseURL() + ": " +
                (error.kind == Kind::timeout ? "timed out" : "unreachable") +
                (error.message.empty() ? std::string() : " (" + error.message + ")"));
        auto failure = tone_messages::conversionFailure(error);
        if (failure.logLine)
            log(*failure.logLine);
        box_.setState(std::move(failure.state));
        return;
    }
    const auto register_ = result->targetRegister ? result->targetRegister : requestedRegister;
    resetFeedback();
    feedbackContext_ = FeedbackContext{result->requestId, originalText_, result->rewrittenText,
                                       result->action, register_};
    box_.setState(TonePanelState::preview(result->rewrittenText, result->action, register_,
                                          result->latencyMs, result->unchanged));
    log("Rewrite: " + std::string(rawValue(result->action)) +
        " preview ready, latency=" + std::to_string(result->latencyMs) + "ms");
}

void ToneCoordinator::cancelConversion() {
    // A new generation: a token or an answer still on its way finds itself
    // stale.
    ++conversionGeneration_;
    conversionRunning_ = false;
    conversionTransfer_.cancel();
    conversionTransfer_ = Cancel();
}

void ToneCoordinator::returnToPicker() {
    if (!ports_.panel.isOpen())
        return;
    // Back to choosing: the request that was running must not come back
    // over the picker.
    cancelConversion();
    resetFeedback();
    box_.setState(TonePanelState::picking());
}

void ToneCoordinator::resetFeedback() {
    feedbackContext_.reset();
    ++previewGeneration_;
    box_.resetFeedback();
}

// --- Apply -----------------------------------------------------------------

void ToneCoordinator::applyAndDismiss() {
    const auto* preview = box_.state().get<TonePanelState::Preview>();
    if (preview == nullptr)
        return;
    if (preview->unchanged) {
        log("Rewrite: unchanged - closing without apply");
        hidePanel();
        return;
    }
    std::string rewritten = preview->rewritten;
    std::string original = originalText_;
    auto element = targetElement_;
    auto host = originalApp_;

    ports_.panel.close();
    feedbackContext_.reset();
    ++previewGeneration_;
    box_.setFeedbackSubmissionInFlight(false);
    box_.setFeedbackErrorMessage(std::nullopt);
    box_.setFeedbackComposerPresented(false);
    box_.setFeedbackText("");
    removeAppActivationGuard();
    if (onPanelVisibilityChanged)
        onPanelVisibilityChanged(false);

    if (host)
        ports_.desktop.workspace.activate(host->pid);
    // The host needs a moment to come to the front before it takes the text.
    const uint64_t request = requestGeneration_;
    later(kApplyDelay,
          [request, rewritten = std::move(rewritten), original = std::move(original),
           element = std::move(element), host = std::move(host)](ToneCoordinator& self) {
              self.writeBack(request, rewritten, original, element, host);
          });
}

void ToneCoordinator::writeBack(uint64_t request, const std::string& rewritten,
                                const std::string& original, std::optional<AXElement> element,
                                std::optional<RunningApplication> host) {
    // The outcome of a paste is known only once the field has been read
    // again, about a second from now; until then nothing claims it worked.
    std::weak_ptr<ToneCoordinator> weak = weak_from_this();
    const std::string hostId = (host ? host->bundleIdentifier : std::nullopt).value_or("-");
    TonePasteApplier::apply(
        ports_.desktop, rewritten, original, element,
        [weak, hostId](const TonePasteApplier::ApplyResult& result) {
            auto self = weak.lock();
            if (!self)
                return;
            self->log("Tone: applied via " + tone_messages::appliedVia(result) +
                      " → host=" + hostId);
            // The panel is gone: without a word the user would not know the
            // rewrite waits on the clipboard.
            if (result.kind == TonePasteApplier::ApplyResult::Kind::copiedToClipboard)
                self->showTransientToast(kCopiedToClipboard);
        });
    // A newer request (the hotkey pressed again meanwhile) keeps its fields.
    if (request == requestGeneration_) {
        clearRequest();
        if (warmBuffer_ != nullptr)
            warmBuffer_->discardAfterRequest();
    }
}

}  // namespace mivo
