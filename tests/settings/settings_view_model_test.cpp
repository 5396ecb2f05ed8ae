#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_update_preferences.hpp"
#include "settings/app_version.hpp"
#include "settings/settings_category.hpp"
#include "settings/settings_view_model.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

using Change = SettingsViewModel::Change;
using AccountState = SettingsViewModel::AccountState;

class SettingsViewModelTest : public ::testing::Test {
  protected:
    SettingsViewModelTest() {
        observer_ = model.addObserver([this](Change c) { changes.push_back(c); });
    }

    testing::FakeUpdatePreferences updates;
    SettingsViewModel model{updates};
    std::vector<Change> changes;
    std::vector<std::string> sent;

    void answerMail(bool opened) {
        model.onSendFeedback = [this, opened](const std::string& text) {
            sent.push_back(text);
            return opened;
        };
    }

  private:
    Cancel observer_;
};

TEST(SettingsCategory, RawValuesAreExactAndCaseSensitive) {
    for (SettingsCategory category : allSettingsCategories()) {
        EXPECT_EQ(settingsCategoryFromRaw(rawValue(category)), category);
    }
    EXPECT_EQ(settingsCategoryFromRaw("account"), SettingsCategory::account);
    EXPECT_EQ(settingsCategoryFromRaw("Account"), std::nullopt);
    EXPECT_EQ(settingsCategoryFromRaw(""), std::nullopt);
    ASSERT_EQ(allSettingsCategories().size(), 6u);
    EXPECT_EQ(allSettingsCategories().front(), SettingsCategory::general);
    EXPECT_EQ(allSettingsCategories().back(), SettingsCategory::about);
    EXPECT_EQ(subtitle(SettingsCategory::account), "Your profile.");
}

TEST(AppVersion, UnknownPartsShowDashes) {
    EXPECT_EQ((AppVersion{"1.4.2", "57"}.text()), "1.4.2 (57)");
    EXPECT_EQ(AppVersion{}.text(), "\u2014 (\u2014)");
}

TEST_F(SettingsViewModelTest, StartsOnGeneralSignedOutWithNoFeedback) {
    EXPECT_EQ(model.selectedCategory(), SettingsCategory::general);
    EXPECT_EQ(model.accountState(), AccountState::signedOut());
    EXPECT_EQ(model.feedbackText(), "");
    EXPECT_FALSE(model.feedbackStatusMessage());
    EXPECT_FALSE(model.feedbackSubmissionFailed());
}

TEST_F(SettingsViewModelTest, MapsEverySignInStateAndReportsEvenWhenUnchanged) {
    struct Case {
        AuthSessionState in;
        AccountState out;
    } cases[] = {
        {AuthSessionState::signedIn("user-7", "a@example.com"),
         AccountState::signedIn("a@example.com")},
        {AuthSessionState::error("The browser closed."),
         AccountState::error("The browser closed.")},
        {AuthSessionState::signingIn(), AccountState::signingIn()},
        {AuthSessionState::signedOut(), AccountState::signedOut()},
        {AuthSessionState::signedOut(), AccountState::signedOut()},
        {AuthSessionState::sessionEnded("refused"), AccountState::signedOut("refused")},
    };
    for (const Case& c : cases) {
        model.update(c.in);
        EXPECT_EQ(model.accountState(), c.out);
    }
    EXPECT_EQ(changes, std::vector<Change>(std::size(cases), Change::accountState));
}

TEST_F(SettingsViewModelTest, FeedbackEditsKeepTheFirstThousandCharacters) {
    struct Case {
        const char* name;
        std::string text;
        std::string kept;
    };
    std::string family;  // 👨‍👩‍👧: five code points, one Character
    for (int i = 0; i < 1000; ++i) {
        family += "\U0001F468\u200D\U0001F469\u200D\U0001F467";
    }
    const std::string paste = std::string(3000, 'a') + std::string(2000, 'z');
    const Case cases[] = {
        {"thousand emoji stay whole", family, family},
        {"a long paste keeps its beginning", paste, std::string(1000, 'a')},
        {"the 1001st Character is dropped", std::string(1001, 'x'), std::string(1000, 'x')},
        {"short text is kept", "  hello\n", "  hello\n"},
    };
    for (const Case& c : cases) {
        model.editFeedbackText(c.text);
        EXPECT_EQ(model.feedbackText(), c.kept) << c.name;
        EXPECT_EQ(text::characterCount(model.feedbackText()), text::characterCount(c.kept))
            << c.name;
    }
}

TEST_F(SettingsViewModelTest, BlankFeedbackSendsNothing) {
    answerMail(true);
    model.editFeedbackText(" \n\t\u3000 ");
    changes.clear();
    EXPECT_FALSE(model.canSendFeedback());
    model.sendFeedback();
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(model.feedbackStatusMessage());
    EXPECT_TRUE(changes.empty());
}

TEST_F(SettingsViewModelTest, SuccessfulSendHandsOverTrimmedTextAndClearsTheEditor) {
    answerMail(true);
    model.editFeedbackText("  word \n");
    model.sendFeedback();
    EXPECT_EQ(sent, std::vector<std::string>{"word"});
    EXPECT_EQ(model.feedbackText(), "");
    EXPECT_EQ(model.feedbackStatusMessage(),
              "Your email app is ready. Send the message there to share your feedback.");
    EXPECT_FALSE(model.feedbackSubmissionFailed());
    // The next edit removes the line.
    model.editFeedbackText("a");
    EXPECT_FALSE(model.feedbackStatusMessage());
}

TEST_F(SettingsViewModelTest, FailedSendKeepsTheTextAndALaterSuccessClearsTheFlag) {
    answerMail(false);
    model.editFeedbackText("idea");
    model.sendFeedback();
    EXPECT_EQ(model.feedbackText(), "idea");
    EXPECT_TRUE(model.feedbackSubmissionFailed());
    EXPECT_EQ(model.feedbackStatusMessage(),
              "Could not open your email app. Please email support@mivo.app.");
    answerMail(true);
    model.sendFeedback();
    EXPECT_FALSE(model.feedbackSubmissionFailed());
    EXPECT_EQ(model.feedbackText(), "");
}

TEST_F(SettingsViewModelTest, SendWithoutACallbackReportsTheFailure) {
    model.editFeedbackText("idea");
    model.sendFeedback();
    EXPECT_TRUE(model.feedbackSubmissionFailed());
    EXPECT_EQ(model.feedbackText(), "idea");
}

TEST_F(SettingsViewModelTest, UpdaterChangesReachTheObservers) {
    // A check that starts and ends while the window is open: the button and
    // the date must follow it.
    EXPECT_EQ(model.lastUpdateCheckDescription(), "Not checked yet");
    updates.checkForUpdates();
    EXPECT_FALSE(updates.canCheckForUpdates());
    updates.finishCheck(std::chrono::system_clock::from_time_t(1'700'000'000));
    EXPECT_EQ(changes, (std::vector<Change>{Change::updates, Change::updates}));
    EXPECT_NE(model.lastUpdateCheckDescription(), "Not checked yet");
}

TEST_F(SettingsViewModelTest, ADestroyedModelIsNoLongerCalledByTheUpdater) {
    { SettingsViewModel other(updates); }
    EXPECT_FALSE(updates.onChanged);
}

TEST_F(SettingsViewModelTest, CancelledObserversAreNotCalled) {
    std::vector<Change> second;
    Cancel handle = model.addObserver([&](Change c) { second.push_back(c); });
    model.setSelectedCategory(SettingsCategory::about);
    handle.cancel();
    model.setSelectedCategory(SettingsCategory::privacy);
    EXPECT_EQ(second, std::vector<Change>{Change::selectedCategory});
    EXPECT_EQ(changes.size(), 2u);
    // Selecting the selected category reports nothing.
    model.setSelectedCategory(SettingsCategory::privacy);
    EXPECT_EQ(changes.size(), 2u);
}

TEST(FormatUpdateCheckDate, MediumDateAndShortTimeInTheGivenZone) {
    const auto date =
        std::chrono::system_clock::from_time_t(1'700'000'000);  // 2023-11-14 22:13 UTC
    const std::string text = formatUpdateCheckDate(date, "en_US", "UTC");
    EXPECT_NE(text.find("Nov 14, 2023"), std::string::npos) << text;
    EXPECT_NE(text.find("10:13"), std::string::npos) << text;
    const std::string tokyo = formatUpdateCheckDate(date, "en_US", "Asia/Tokyo");
    EXPECT_NE(tokyo.find("Nov 15, 2023"), std::string::npos) << tokyo;
}

}  // namespace
}  // namespace mivo
