// Rating a preview: thumbs up sends at once; thumbs down asks for a reason
// first. One submission at a time, and one stored rating per preview.

#include <utility>

#include "shared/text.hpp"
#include "tone/tone_coordinator.hpp"
#include "tone/tone_coordinator_messages.hpp"

namespace mivo {

namespace {
constexpr const char* kFeedbackUnavailable = "Feedback unavailable";
}

void ToneCoordinator::handleFeedbackSelection(FeedbackRating rating) {
    if (rating == FeedbackRating::thumbsUp) {
        submitFeedback(rating, std::nullopt);
        return;
    }
    if (!feedbackContext_) {
        box_.setFeedbackErrorMessage(std::string(kFeedbackUnavailable));
        return;
    }
    box_.setFeedbackText("");
    box_.setFeedbackErrorMessage(std::nullopt);
    box_.setFeedbackComposerPresented(true);
}

void ToneCoordinator::submitWrittenFeedback() {
    auto reason = text::trimWhitespaceAndNewlines(box_.feedbackText());
    if (reason.empty()) {
        box_.setFeedbackErrorMessage(std::string("Tell us why before submitting"));
        return;
    }
    submitFeedback(FeedbackRating::thumbsDown, std::move(reason));
}

void ToneCoordinator::dismissFeedbackComposer() {
    if (box_.feedbackSubmissionInFlight())
        return;
    box_.setFeedbackComposerPresented(false);
    box_.setFeedbackText("");
    box_.setFeedbackErrorMessage(std::nullopt);
}

void ToneCoordinator::submitFeedback(FeedbackRating rating,
                                     std::optional<std::string> feedbackText) {
    if (!feedbackContext_) {
        box_.setFeedbackErrorMessage(std::string(kFeedbackUnavailable));
        log("Feedback: missing tone conversion context");
        return;
    }
    if (box_.submittedFeedback() || box_.feedbackSubmissionInFlight())
        return;
    box_.setFeedbackErrorMessage(std::nullopt);
    box_.setFeedbackSubmissionInFlight(true);
    log("Feedback: submitting rewrite rating=" + std::string(rawValue(rating)));

    ToneAPIClient::FeedbackRequest request;
    request.sourceText = feedbackContext_->sourceText;
    request.convertedText = feedbackContext_->convertedText;
    request.action = feedbackContext_->action;
    request.targetRegister = feedbackContext_->toneRegister;
    request.rating = rating;
    request.feedbackText = std::move(feedbackText);
    request.requestId = feedbackContext_->requestId;

    // Not cancelled by anything: a rating the user gave is still sent when
    // the panel closes. Its answer reaches the panel only while the same
    // preview is shown.
    const uint64_t preview = previewGeneration_;
    std::weak_ptr<ToneCoordinator> weak = weak_from_this();
    auto withToken = [weak, preview, rating,
                      request = std::move(request)](std::optional<std::string> token) mutable {
        auto self = weak.lock();
        if (self == nullptr)
            return;
        if (!token) {
            // No account to send the user's texts under.
            ToneAPIClient::ToneAPIError refused;
            refused.kind = ToneAPIClient::ToneAPIError::Kind::unauthorized;
            self->finishFeedback(preview, rating, std::unexpected(refused));
            return;
        }
        request.accessToken = std::move(token);
        self->ports_.api.submitConversionFeedback(
            request,
            [weak, preview, rating](ToneAPIClient::Result<ToneAPIClient::FeedbackResult> result) {
                if (auto self = weak.lock())
                    self->finishFeedback(preview, rating, std::move(result));
            });
    };
    if (accessTokenProvider_) {
        accessTokenProvider_(std::move(withToken));
    } else {
        withToken(std::nullopt);
    }
}

void ToneCoordinator::finishFeedback(uint64_t previewGeneration, FeedbackRating rating,
                                     ToneAPIClient::Result<ToneAPIClient::FeedbackResult> result) {
    const bool samePreview = previewGeneration == previewGeneration_;
    if (result) {
        log("Feedback: submitted rewrite rating=" + std::string(rawValue(rating)));
        if (!samePreview)
            return;
        box_.setSubmittedFeedback(rating);
        box_.setFeedbackSubmissionInFlight(false);
        box_.setFeedbackErrorMessage(std::nullopt);
        box_.setFeedbackComposerPresented(false);
        box_.setFeedbackText("");
        return;
    }
    const auto failure = tone_messages::feedbackFailure(result.error());
    log(failure.logLine);
    if (!samePreview)
        return;
    box_.setFeedbackSubmissionInFlight(false);
    box_.setFeedbackErrorMessage(failure.message);
}

}  // namespace mivo
