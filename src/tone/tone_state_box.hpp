#pragma once

// The rewrite panel's observable model. The tone coordinator owns one box for
// its whole life and writes it; the panel writes only the selections and the
// composer's text. Every store of a value different from the one held tells
// the observers which field changed, after the new value is in place.
// Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/cancel.hpp"
#include "tone/tone_panel_state.hpp"
#include "tone/tone_types.hpp"

namespace mivo {

class ToneStateBox {
  public:
    enum class Field {
        state,
        selectedAction,
        selectedRegister,
        submittedFeedback,
        feedbackSubmissionInFlight,
        feedbackErrorMessage,
        feedbackComposerPresented,
        feedbackText,
        translateUnavailableReason,
    };
    using Observer = std::function<void(Field)>;

    ToneStateBox();
    ToneStateBox(const ToneStateBox&) = delete;
    ToneStateBox& operator=(const ToneStateBox&) = delete;

    const TonePanelState& state() const { return state_; }
    RewriteAction selectedAction() const { return selectedAction_; }
    Register selectedRegister() const { return selectedRegister_; }
    std::optional<FeedbackRating> submittedFeedback() const { return submittedFeedback_; }
    bool feedbackSubmissionInFlight() const { return feedbackSubmissionInFlight_; }
    const std::optional<std::string>& feedbackErrorMessage() const { return feedbackErrorMessage_; }
    bool feedbackComposerPresented() const { return feedbackComposerPresented_; }
    const std::string& feedbackText() const { return feedbackText_; }
    const std::optional<std::string>& translateUnavailableReason() const {
        return translateUnavailableReason_;
    }

    void setState(TonePanelState value);
    void setSelectedAction(RewriteAction value);
    void setSelectedRegister(Register value);
    void setSubmittedFeedback(std::optional<FeedbackRating> value);
    void setFeedbackSubmissionInFlight(bool value);
    void setFeedbackErrorMessage(std::optional<std::string> value);
    void setFeedbackComposerPresented(bool value);
    void setFeedbackText(std::string value);
    void setTranslateUnavailableReason(std::optional<std::string> value);

    // The five feedback fields back to none: nothing submitted, nothing in
    // flight, no message, composer closed, no text.
    void resetFeedback();

    // Called for every change until the handle is cancelled. An observer
    // may cancel itself or others, and may write the box, while notified.
    Cancel observe(Observer observer);

  private:
    template <typename T>
    void assign(T& field, T value, Field which);
    void notify(Field which);

    TonePanelState state_;
    RewriteAction selectedAction_ = RewriteAction::improve;
    Register selectedRegister_ = Register::polite;
    std::optional<FeedbackRating> submittedFeedback_;
    bool feedbackSubmissionInFlight_ = false;
    std::optional<std::string> feedbackErrorMessage_;
    bool feedbackComposerPresented_ = false;
    std::string feedbackText_;
    std::optional<std::string> translateUnavailableReason_;

    struct Entry {
        uint64_t id = 0;
        std::shared_ptr<Observer> observer;
    };
    std::shared_ptr<std::vector<Entry>> observers_;
    uint64_t nextObserverId_ = 0;
};

}  // namespace mivo
