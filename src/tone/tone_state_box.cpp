#include "tone/tone_state_box.hpp"

#include <algorithm>
#include <utility>

namespace mivo {

ToneStateBox::ToneStateBox()
    : state_(TonePanelState::picking()), observers_(std::make_shared<std::vector<Entry>>()) {}

template <typename T>
void ToneStateBox::assign(T& field, T value, Field which) {
    if (field == value) {
        return;
    }
    field = std::move(value);
    notify(which);
}

void ToneStateBox::notify(Field which) {
    // A snapshot, so that observers added or removed meanwhile do not upset
    // the walk; a removed observer's function is dropped and not called.
    const std::vector<Entry> snapshot = *observers_;
    for (const Entry& entry : snapshot) {
        const bool stillObserving =
            std::any_of(observers_->begin(), observers_->end(),
                        [&](const Entry& current) { return current.id == entry.id; });
        if (stillObserving) {
            (*entry.observer)(which);
        }
    }
}

void ToneStateBox::setState(TonePanelState value) {
    assign(state_, std::move(value), Field::state);
}
void ToneStateBox::setSelectedAction(RewriteAction value) {
    assign(selectedAction_, value, Field::selectedAction);
}
void ToneStateBox::setSelectedRegister(Register value) {
    assign(selectedRegister_, value, Field::selectedRegister);
}
void ToneStateBox::setSubmittedFeedback(std::optional<FeedbackRating> value) {
    assign(submittedFeedback_, value, Field::submittedFeedback);
}
void ToneStateBox::setFeedbackSubmissionInFlight(bool value) {
    assign(feedbackSubmissionInFlight_, value, Field::feedbackSubmissionInFlight);
}
void ToneStateBox::setFeedbackErrorMessage(std::optional<std::string> value) {
    assign(feedbackErrorMessage_, std::move(value), Field::feedbackErrorMessage);
}
void ToneStateBox::setFeedbackComposerPresented(bool value) {
    assign(feedbackComposerPresented_, value, Field::feedbackComposerPresented);
}
void ToneStateBox::setFeedbackText(std::string value) {
    assign(feedbackText_, std::move(value), Field::feedbackText);
}
void ToneStateBox::setTranslateUnavailableReason(std::optional<std::string> value) {
    assign(translateUnavailableReason_, std::move(value), Field::translateUnavailableReason);
}

void ToneStateBox::resetFeedback() {
    setSubmittedFeedback(std::nullopt);
    setFeedbackSubmissionInFlight(false);
    setFeedbackErrorMessage(std::nullopt);
    setFeedbackComposerPresented(false);
    setFeedbackText({});
}

Cancel ToneStateBox::observe(Observer observer) {
    const uint64_t id = nextObserverId_++;
    observers_->push_back({id, std::make_shared<Observer>(std::move(observer))});
    std::weak_ptr<std::vector<Entry>> weak = observers_;
    return Cancel([weak, id] {
        if (auto list = weak.lock()) {
            std::erase_if(*list, [id](const Entry& e) { return e.id == id; });
        }
    });
}

}  // namespace mivo
