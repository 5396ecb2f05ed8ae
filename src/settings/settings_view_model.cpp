#include "settings/settings_view_model.hpp"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <vector>

#include "settings/support_mail.hpp"
#include "shared/text.hpp"

namespace mivo {

SettingsViewModel::SettingsViewModel(UpdatePreferences& updates) : updates_(updates) {
    updates_.onChanged = [this] { notify(Change::updates); };
}

SettingsViewModel::~SettingsViewModel() {
    updates_.onChanged = nullptr;
}

void SettingsViewModel::setSelectedCategory(SettingsCategory category) {
    if (category == selectedCategory_) {
        return;
    }
    selectedCategory_ = category;
    notify(Change::selectedCategory);
}

void SettingsViewModel::setToneHotKeyActive(bool active) {
    if (active == toneHotKeyActive_) {
        return;
    }
    toneHotKeyActive_ = active;
    notify(Change::toneHotKeyActive);
}

void SettingsViewModel::setSignInPossible(bool possible) {
    if (possible == signInPossible_) {
        return;
    }
    signInPossible_ = possible;
    notify(Change::accountState);
}

void SettingsViewModel::update(const AuthSessionState& authState) {
    switch (authState.kind) {
        case AuthSessionState::Kind::signedIn:
            accountState_ = AccountState::signedIn(authState.email);
            break;
        case AuthSessionState::Kind::error:
            accountState_ = AccountState::error(authState.message, authState.addressFault);
            break;
        case AuthSessionState::Kind::signedOut:
            accountState_ = AccountState::signedOut(authState.message);
            break;
        case AuthSessionState::Kind::signingIn:
            accountState_ = AccountState::signingIn();
            break;
        case AuthSessionState::Kind::keyringLocked:
            accountState_ = AccountState::keyringLocked();
            break;
    }
    notify(Change::accountState);
}

void SettingsViewModel::editFeedbackText(std::string text) {
    // A paste that overshoots keeps its beginning; Characters, so an emoji
    // made of several code points is never cut in half.
    if (text::characterCount(text) > feedbackCharacterLimit) {
        text = text::characterPrefix(text, feedbackCharacterLimit);
    }
    const bool changed = text != feedbackText_ || feedbackStatusMessage_.has_value();
    feedbackText_ = std::move(text);
    feedbackStatusMessage_.reset();
    if (changed) {
        notify(Change::feedback);
    }
}

bool SettingsViewModel::canSendFeedback() const {
    return !text::trimWhitespaceAndNewlines(feedbackText_).empty();
}

std::string SettingsViewModel::feedbackFailedMessage() {
    return "Could not open your email app. Please email " + std::string(supportMailAddress) + ".";
}

void SettingsViewModel::sendFeedback() {
    const std::string trimmed = text::trimWhitespaceAndNewlines(feedbackText_);
    if (trimmed.empty()) {
        return;
    }
    if (onSendFeedback && onSendFeedback(trimmed)) {
        // Not a user edit: the success line stays until the next one.
        feedbackText_.clear();
        feedbackSubmissionFailed_ = false;
        feedbackStatusMessage_ = std::string(feedbackSentMessage);
    } else {
        feedbackSubmissionFailed_ = true;
        feedbackStatusMessage_ = feedbackFailedMessage();
    }
    notify(Change::feedback);
}

std::string SettingsViewModel::lastUpdateCheckDescription() const {
    if (auto date = updates_.lastUpdateCheckDate()) {
        return formatUpdateCheckDate(*date);
    }
    return "Not checked yet";
}

Cancel SettingsViewModel::addObserver(std::function<void(Change)> observer) {
    const uint64_t id = nextObserverId_++;
    (*observers_)[id] = std::move(observer);
    std::weak_ptr<std::map<uint64_t, std::function<void(Change)>>> weak = observers_;
    return Cancel([weak, id] {
        if (auto observers = weak.lock()) {
            observers->erase(id);
        }
    });
}

void SettingsViewModel::notify(Change change) {
    // An observer may cancel itself (or another) while being told.
    std::vector<uint64_t> ids;
    for (const auto& entry : *observers_) {
        ids.push_back(entry.first);
    }
    for (uint64_t id : ids) {
        auto it = observers_->find(id);
        if (it != observers_->end()) {
            auto observer = it->second;
            observer(change);
        }
    }
}

std::string formatUpdateCheckDate(UpdatePreferences::Date date, std::string_view localeId,
                                  std::string_view timeZoneId) {
    // One formatter for the process, as long as the user's locale is asked
    // for; a test's fixed locale builds its own.
    const bool userDefaults = localeId.empty() && timeZoneId.empty();
    static std::unique_ptr<icu::DateFormat> shared;
    std::unique_ptr<icu::DateFormat> own;
    icu::DateFormat* format = nullptr;
    if (userDefaults && shared) {
        format = shared.get();
    } else {
        const icu::Locale locale = localeId.empty()
                                       ? icu::Locale::getDefault()
                                       : icu::Locale::createFromName(std::string(localeId).c_str());
        own.reset(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium,
                                                          icu::DateFormat::kShort, locale));
        if (!own) {
            return "Not checked yet";
        }
        if (!timeZoneId.empty()) {
            own->adoptTimeZone(icu::TimeZone::createTimeZone(
                icu::UnicodeString::fromUTF8(std::string(timeZoneId))));
        }
        format = own.get();
        if (userDefaults) {
            shared = std::move(own);
        }
    }
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count();
    icu::UnicodeString formatted;
    format->format(static_cast<UDate>(millis), formatted);
    std::string out;
    formatted.toUTF8String(out);
    return out;
}

}  // namespace mivo
