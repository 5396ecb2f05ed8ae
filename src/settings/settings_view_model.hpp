#pragma once

// Everything the settings window shows that does not live in the settings
// store: the sidebar selection, the account, the unsent feedback and its
// status line, the updater. Views observe it through `addObserver`; the
// composition root installs the `on…` callbacks.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "account/auth_session_state.hpp"
#include "platform/cancel.hpp"
#include "settings/settings_category.hpp"
#include "settings/update_preferences.hpp"

namespace mivo {

class SettingsViewModel {
  public:
    // What the account card shows.
    struct AccountState {
        enum class Kind { signedIn, error, signedOut, signingIn, keyringLocked };
        Kind kind = Kind::signedOut;
        std::string email;    // signedIn
        std::string message;  // error; signedOut: why the session ended, if it did
        // error: the service's address is the fault (see AuthSessionState),
        // and Mivo reads it only at start.
        bool addressFault = false;

        static AccountState signedIn(std::string email) {
            return {Kind::signedIn, std::move(email), {}};
        }
        static AccountState error(std::string message, bool addressFault = false) {
            return {Kind::error, {}, std::move(message), addressFault};
        }
        static AccountState signedOut(std::string whyEnded = {}) {
            return {Kind::signedOut, {}, std::move(whyEnded)};
        }
        static AccountState signingIn() { return {Kind::signingIn, {}, {}}; }
        static AccountState keyringLocked() { return {Kind::keyringLocked, {}, {}}; }
        bool operator==(const AccountState&) const = default;
    };

    // Which part changed, so a view refreshes only what shows it.
    enum class Change { selectedCategory, accountState, feedback, updates, toneHotKeyActive };

    static constexpr int64_t feedbackCharacterLimit = 1000;
    static constexpr std::string_view feedbackSentMessage =
        "Your email app is ready. Send the message there to share your feedback.";

    // `updates` must outlive the model; the model installs its `onChanged`.
    explicit SettingsViewModel(UpdatePreferences& updates);
    ~SettingsViewModel();
    SettingsViewModel(const SettingsViewModel&) = delete;
    SettingsViewModel& operator=(const SettingsViewModel&) = delete;

    UpdatePreferences& updates() const { return updates_; }

    SettingsCategory selectedCategory() const { return selectedCategory_; }
    void setSelectedCategory(SettingsCategory category);

    const AccountState& accountState() const { return accountState_; }
    // Maps the sign-in service's state; the user id is dropped. Reports a
    // change on every call, also when the state is the same.
    void update(const AuthSessionState& authState);

    // Whether a sign-in can be started at all: false when this run has no
    // usable service address (MIVO_API_URL is read once, at start), so that
    // a new attempt could only fail the same way. Reports only a change.
    bool signInPossible() const { return signInPossible_; }
    void setSignInPossible(bool possible);

    // Whether the stored rewrite shortcut works: false while another
    // program holds it, so Mivo has none. Reports only a change.
    bool toneHotKeyActive() const { return toneHotKeyActive_; }
    void setToneHotKeyActive(bool active);

    const std::string& feedbackText() const { return feedbackText_; }
    const std::optional<std::string>& feedbackStatusMessage() const {
        return feedbackStatusMessage_;
    }
    bool feedbackSubmissionFailed() const { return feedbackSubmissionFailed_; }
    // The user's edit of the feedback text: cut to its first 1000
    // Characters, and any earlier status line disappears.
    void editFeedbackText(std::string text);
    // Whether "Send Feedback" can do anything: the text is not blank.
    bool canSendFeedback() const;
    // Hands the trimmed text to `onSendFeedback` and sets the status line.
    void sendFeedback();
    // The line shown when the mail application could not be opened.
    static std::string feedbackFailedMessage();

    // The date of the last update check for "Last checked: ", or "Not
    // checked yet".
    std::string lastUpdateCheckDescription() const;

    // Called after a change, with what changed. Cancel the handle to stop.
    Cancel addObserver(std::function<void(Change)> observer);

    // --- Set by the composition root ---------------------------------------
    std::function<void()> onSignIn;
    std::function<void()> onSignOut;
    std::function<void()> onRequestAccountDeletion;
    // True when the mail application could be opened with the text.
    std::function<bool(const std::string&)> onSendFeedback;

  private:
    void notify(Change change);

    UpdatePreferences& updates_;
    SettingsCategory selectedCategory_ = SettingsCategory::general;
    AccountState accountState_;
    bool toneHotKeyActive_ = true;
    bool signInPossible_ = true;
    std::string feedbackText_;
    std::optional<std::string> feedbackStatusMessage_;
    bool feedbackSubmissionFailed_ = false;
    std::shared_ptr<std::map<uint64_t, std::function<void(Change)>>> observers_ =
        std::make_shared<std::map<uint64_t, std::function<void(Change)>>>();
    uint64_t nextObserverId_ = 0;
};

// A date as "medium date, short time" in a locale and time zone (empty: the
// user's own), as the about card shows the last update check.
std::string formatUpdateCheckDate(UpdatePreferences::Date date, std::string_view localeId = {},
                                  std::string_view timeZoneId = {});

}  // namespace mivo
