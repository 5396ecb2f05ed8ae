#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "fake_update_preferences.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "platform/sim/recorded_alerts.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "settings/mivo_settings_store.hpp"
#include "settings/settings_buttons.hpp"
#include "settings/settings_cards.hpp"
#include "settings/settings_screen.hpp"
#include "settings/settings_spinner.hpp"
#include "settings/settings_toggle.hpp"
#include "settings/settings_view_model.hpp"
#include "settings/shortcut_recorder.hpp"
#include "ui/appearance.hpp"
#include "ui_artifacts.hpp"

namespace mivo {
namespace {

using mivo::testing::pixelAt;
using mivo::testing::renderArtifact;
using Theme = MivoSettingsTheme;
using AccountState = SettingsViewModel::AccountState;

int distance(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

class SettingsScreenTest : public ::testing::Test {
  protected:
    explicit SettingsScreenTest(AppVersion version = {"1.4.2", "57"}) : version_(version) {}

    void SetUp() override {
        ui::Appearance::shared().setOverride(ui::ColorScheme::light);
        screen = std::make_unique<SettingsScreen>(model, store, version_, alerts);
        screen->resize(800, 640);
        screen->show();
        QApplication::setActiveWindow(screen.get());
    }
    void TearDown() override {
        screen.reset();
        ui::Appearance::shared().setOverride(ui::ColorScheme::light);
    }

    template <typename T>
    T* find(const char* name) const {
        auto* widget = screen->findChild<T*>(name);
        if (widget == nullptr) {
            // Pages that are not shown are not the screen's children.
            widget = screen->page(model.selectedCategory())->findChild<T*>(name);
        }
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void select(SettingsCategory category) {
        QTest::mouseClick(
            find<SettingsTabButton>(("tab_" + std::string(rawValue(category))).c_str()),
            Qt::LeftButton);
        ASSERT_EQ(model.selectedCategory(), category);
        // Layouts settle (and scroll bars decide) in posted events.
        QApplication::processEvents();
    }

    // Renders the screen in light and dark as settings-<state>-<scheme>;
    // returns the light and dark images.
    std::pair<QImage, QImage> renderBoth(const std::string& state) {
        std::pair<QImage, QImage> images;
        for (auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
            ui::Appearance::shared().setOverride(scheme);
            QApplication::processEvents();
            const bool dark = scheme == ui::ColorScheme::dark;
            QImage image =
                renderArtifact(*screen, "settings-" + state + (dark ? "-dark" : "-light"));
            (dark ? images.second : images.first) = image;
            // The sidebar is the surface, the content area the alternate
            // background, in either appearance.
            EXPECT_LT(distance(pixelAt(image, 100, 600), Theme::surface()), 4) << state;
            EXPECT_LT(distance(pixelAt(image, 220, 630), Theme::altBackground()), 4) << state;
        }
        ui::Appearance::shared().setOverride(ui::ColorScheme::light);
        return images;
    }

    // The centre of `widget` in the screen's coordinates.
    QPoint centreOf(QWidget* widget) const {
        return widget->mapTo(screen.get(), widget->rect().center());
    }

    sim::MemoryUserDefaults defaults;
    sim::VirtualClock clock;
    MivoSettingsStore store{defaults, clock};
    testing::FakeUpdatePreferences updates;
    SettingsViewModel model{updates};
    sim::RecordedAlerts alerts;
    std::unique_ptr<SettingsScreen> screen;

  private:
    AppVersion version_;
};

TEST_F(SettingsScreenTest, SidebarKeepsItsWidthAndEachTabSelectsItsCategory) {
    for (int width : {720, 800, 1100}) {
        screen->resize(width, 560);
        screen->layout()->activate();
        EXPECT_EQ(screen->sidebar()->width(), 210);
        EXPECT_EQ(screen->contentArea()->x(), 211);
        EXPECT_EQ(screen->contentArea()->width(), width - 211);
    }
    for (SettingsCategory category : allSettingsCategories()) {
        select(category);
        EXPECT_EQ(screen->currentPage(), screen->page(category));
        auto* title = screen->currentPage()->findChild<QLabel*>("categoryTitle");
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->text().toStdString(), mivo::title(category));
        for (auto* tab : screen->findChildren<SettingsTabButton*>()) {
            EXPECT_EQ(tab->isSelected(), tab->category() == category);
        }
    }
}

TEST_F(SettingsScreenTest, GeneralCardFollowsTheEnabledSettingWhereverItChanges) {
    auto* pill = find<SettingsPill>("mivoStatusPill");
    auto* toggle = find<MivoSettingsToggle>("enableMivoToggle");
    EXPECT_EQ(pill->title(), "Active");
    EXPECT_TRUE(toggle->isOn());
    auto [active, activeDark] = renderBoth("general-active");
    EXPECT_LT(
        distance(pixelAt(active, centreOf(pill).x(), pill->mapTo(screen.get(), QPoint(0, 2)).y()),
                 Theme::color(SettingsColor::primarySurface, ui::ColorScheme::light)),
        6);

    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_FALSE(store.mivoEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(toggle->knobProgress(), 0.0, 2000);
    EXPECT_EQ(pill->title(), "Paused");
    EXPECT_EQ(pill->backgroundRole(), SettingsColor::altBackground);
    EXPECT_EQ(pill->foregroundRole(), SettingsColor::textSecondary);
    renderBoth("general-paused");

    store.setMivoEnabled(true);  // from the tray, say
    EXPECT_EQ(pill->title(), "Active");
    EXPECT_TRUE(toggle->isOn());
}

TEST_F(SettingsScreenTest, ResetLinkShowsWhileTheShortcutDiffersFromTheDefault) {
    auto* recorder = find<ShortcutRecorder>("shortcutRecorder");
    auto* reset = find<SettingsLinkButton>("resetShortcutButton");
    EXPECT_EQ(recorder->displayText(), "Shift+Super+J");
    EXPECT_FALSE(reset->isVisible());
    QStringList texts;
    for (const QLabel* label : find<QWidget>("generalCard")->findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains(
        "Global hotkey to open the rewrite panel. Use at least one of Ctrl, Alt or Super."));

    // Recording the default's own keys stores ⇧⌘J, which is not "⌘⇧J".
    QTest::mouseClick(recorder, Qt::LeftButton);
    QTest::keyClick(recorder, Qt::Key_J, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_EQ(store.toneHotKey().display, "⇧⌘J");
    EXPECT_EQ(store.toneHotKey().keyCode, 38u);
    EXPECT_EQ(store.toneHotKey().carbonModifiers, 0x300u);
    EXPECT_TRUE(reset->isVisible());
    renderBoth("general-customShortcut");

    QTest::mouseClick(reset, Qt::LeftButton);
    EXPECT_EQ(store.toneHotKey(), HotKeyConfig::defaultConfig());
    EXPECT_FALSE(reset->isVisible());
    EXPECT_EQ(recorder->displayText(), "Shift+Super+J");

    // A refused combination that the root reverts shows the reverted one.
    store.setToneHotKey({49, 0x1800, "⌃⌥Space"});
    EXPECT_EQ(recorder->displayText(), "Ctrl+Alt+Space");
    renderBoth("general-revertedShortcut");
}

TEST_F(SettingsScreenTest, TheShortcutLineSaysWhenItDoesNotWorkOrAKeyWasRefused) {
    auto* recorder = find<ShortcutRecorder>("shortcutRecorder");
    auto* line = find<QLabel>("shortcutMessage");
    EXPECT_FALSE(line->isVisible());

    // Another program holds the stored shortcut.
    model.setToneHotKeyActive(false);
    ASSERT_TRUE(line->isVisible());
    EXPECT_EQ(line->text(), GeneralCard::notActiveMessage);
    EXPECT_EQ(line->palette().color(QPalette::WindowText), Theme::textPrimary());
    renderBoth("general-shortcutNotActive");

    // A key press without Ctrl, Alt or Super: the reason, not only the beep.
    QTest::mouseClick(recorder, Qt::LeftButton);
    QTest::keyClick(recorder, Qt::Key_A, Qt::ShiftModifier);
    EXPECT_EQ(alerts.beeps, 1);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(line->text(), "Use at least one of Ctrl, Alt or Super.");
    renderBoth("general-shortcutRefused");

    // A shortcut recorded: the refusal is over; so is "not active" once the
    // root has it registered.
    QTest::mouseClick(recorder, Qt::LeftButton);
    QTest::keyClick(recorder, Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_EQ(line->text(), GeneralCard::notActiveMessage);
    model.setToneHotKeyActive(true);
    EXPECT_FALSE(line->isVisible());

    // A refusal, then the shortcut set elsewhere (reset, a revert): gone too.
    QTest::mouseClick(recorder, Qt::LeftButton);
    QTest::keyClick(recorder, Qt::Key_Space);
    EXPECT_TRUE(line->isVisible());
    QTest::mouseClick(find<SettingsLinkButton>("resetShortcutButton"), Qt::LeftButton);
    EXPECT_FALSE(line->isVisible());
}

TEST_F(SettingsScreenTest, AccountCardShowsEachStateWithItsBadgeAndButtons) {
    select(SettingsCategory::account);
    int signIns = 0;
    int signOuts = 0;
    int deletions = 0;
    model.onSignIn = [&] { ++signIns; };
    model.onSignOut = [&] { ++signOuts; };
    model.onRequestAccountDeletion = [&] { ++deletions; };
    struct Case {
        const char* state;
        AuthSessionState auth;
        const char* badge;
        SettingsColor badgeBackground;
        std::vector<const char*> buttons;
    };
    const Case cases[] = {
        {"signedOut",
         AuthSessionState::signedOut(),
         "Signed out",
         SettingsColor::altBackground,
         {"continueWithGoogleButton"}},
        {"signingIn",
         AuthSessionState::signingIn(),
         "Connecting",
         SettingsColor::primarySurface,
         {"continueWithGoogleButton"}},
        {"signedIn",
         AuthSessionState::signedIn("u-1", "mika@example.jp"),
         "Connected",
         SettingsColor::primarySurface,
         {"signOutButton", "requestAccountDeletionButton"}},
        {"error",
         AuthSessionState::error("The sign-in window was closed before it finished. Try again "
                                 "from here when you are ready to connect your account."),
         "Action needed",
         SettingsColor::errorSurface,
         {"trySignInAgainButton"}},
        // The sign-in waits in the locked keyring; a new one stays possible.
        {"keyringLocked",
         AuthSessionState::keyringLocked(),
         "Keyring locked",
         SettingsColor::altBackground,
         {"continueWithGoogleButton"}},
        {"sessionEnded",
         AuthSessionState::sessionEnded("the service refused the refresh token (401)"),
         "Session ended",
         SettingsColor::errorSurface,
         {"continueWithGoogleButton"}},
    };
    for (const Case& c : cases) {
        model.update(c.auth);
        auto* badge = find<SettingsPill>("accountBadge");
        EXPECT_EQ(badge->title(), c.badge) << c.state;
        EXPECT_EQ(badge->backgroundRole(), c.badgeBackground) << c.state;
        for (const char* name : c.buttons) {
            auto* button = find<SettingsButton>(name);
            ASSERT_NE(button, nullptr) << c.state;
            EXPECT_TRUE(button->isEnabled()) << c.state << " " << name;
            QTest::mouseClick(button, Qt::LeftButton);
        }
        renderBoth(std::string("account-") + c.state);
    }
    EXPECT_EQ(signIns, 5);  // signed out, connecting, error, keyring locked, session ended
    EXPECT_EQ(signOuts, 1);
    EXPECT_EQ(deletions, 1);

    model.update(AuthSessionState::signingIn());
    EXPECT_TRUE(find<SettingsSpinner>("accountSpinner")->isSpinning());
    model.update(AuthSessionState::signedIn("u-1", "mika@example.jp"));
    auto* email = find<SettingsValue>("accountEmail");
    EXPECT_EQ(email->valueLabel()->text(), "mika@example.jp");
    EXPECT_TRUE(email->valueLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);
    model.update(AuthSessionState::sessionEnded("the service refused the refresh token (401)"));
    EXPECT_EQ(find<ThemedLabel>("accountSignedOutText")->text(),
              "Your session ended: the service refused the refresh token (401). Sign in again to "
              "keep using rewrites.");
    model.update(AuthSessionState::error("Token refresh failed"));
    auto* message = find<ThemedLabel>("accountErrorMessage");
    EXPECT_EQ(message->text(), "Token refresh failed");
    EXPECT_EQ(message->colorRole(), SettingsColor::error);
    // Without a usable address a new attempt could only fail the same way:
    // the card says how to give Mivo another one instead of offering it.
    model.setSignInPossible(false);
    EXPECT_EQ(
        screen->page(model.selectedCategory())->findChild<SettingsButton*>("trySignInAgainButton"),
        nullptr);
    auto* hint = find<ThemedLabel>("accountRestartHint");
    ASSERT_NE(hint, nullptr);
    const QString restart =
        "Mivo reads MIVO_API_URL only when it starts: after changing it, quit Mivo and start it "
        "again.";
    EXPECT_EQ(hint->text(), restart);
    model.setSignInPossible(true);
    EXPECT_NE(find<SettingsButton>("trySignInAgainButton"), nullptr);
    EXPECT_EQ(screen->page(model.selectedCategory())->findChild<ThemedLabel*>("accountRestartHint"),
              nullptr);
    // The address is the fault: a new one takes a new start, and another
    // attempt now could only fail the same way.
    model.update(AuthSessionState::error(
        "The server at http://127.0.0.2:8080 could not be reached (Connection refused).", true,
        true));
    ASSERT_NE(find<ThemedLabel>("accountRestartHint"), nullptr);
    EXPECT_EQ(find<ThemedLabel>("accountRestartHint")->text(), restart);
    EXPECT_EQ(
        screen->page(model.selectedCategory())->findChild<SettingsButton*>("trySignInAgainButton"),
        nullptr);
    renderBoth("account-error-unreachable");
    // Nothing answered where a service may yet be started: trying again
    // once it runs helps, a new start of Mivo does not.
    model.update(AuthSessionState::error(
        "The server at http://127.0.0.1:8080 could not be reached (Connection refused)", true));
    EXPECT_NE(find<SettingsButton>("trySignInAgainButton"), nullptr);
    EXPECT_EQ(screen->page(model.selectedCategory())->findChild<ThemedLabel*>("accountRestartHint"),
              nullptr);
    model.update(AuthSessionState::keyringLocked());
    EXPECT_EQ(find<ThemedLabel>("accountKeyringLockedText")->text(),
              "Your sign-in is kept in the desktop's keyring, which is locked. It comes back once "
              "the keyring is unlocked, or at the next start of Mivo.");
}

TEST_F(SettingsScreenTest, VocabularySwitchWritesTheStoreAndTheStatusFollows) {
    select(SettingsCategory::localCorrection);
    auto* toggle = find<MivoSettingsToggle>("vocabularySuggestionsToggle");
    auto* status = find<QLabel>("vocabularyStatusLabel");
    EXPECT_TRUE(status->text().startsWith("Off by default."));
    renderBoth("localCorrection-off");
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_TRUE(store.vocabularySuggestionsEnabled());
    EXPECT_EQ(defaults.boolean(MivoSettingsStore::vocabularySuggestionsEnabledKey), true);
    EXPECT_EQ(status->text(), "Optional vocabulary style suggestions are enabled.");
    QTRY_COMPARE_WITH_TIMEOUT(toggle->knobProgress(), 1.0, 2000);
    renderBoth("localCorrection-on");
}

TEST_F(SettingsScreenTest, PrivacyStatementCoversEveryRewrite) {
    select(SettingsCategory::privacy);
    auto* statement = find<QLabel>("privacyStatement");
    EXPECT_EQ(statement->text(), PrivacyCard::statement());
    // Improve and translate send text too: the statement may not single
    // out one kind of rewrite.
    EXPECT_FALSE(statement->text().contains("tone rewrite"));
    EXPECT_TRUE(statement->text().contains("context"));
    renderBoth("privacy");
}

TEST_F(SettingsScreenTest, AboutCardFollowsACheckWhileOpen) {
    select(SettingsCategory::about);
    auto* checkNow = find<SettingsButton>("checkNowButton");
    auto* lastChecked = find<QLabel>("lastCheckedLabel");
    EXPECT_EQ(find<SettingsPill>("versionPill")->title(), "1.4.2 (57)");
    EXPECT_EQ(find<QLabel>("versionValue")->text(), "1.4.2 (57)");
    EXPECT_EQ(lastChecked->text(), "Last checked: Not checked yet");
    EXPECT_TRUE(checkNow->isEnabled());
    renderBoth("about-canCheck");

    QTest::mouseClick(checkNow, Qt::LeftButton);
    EXPECT_EQ(updates.checksStarted, 1);
    EXPECT_FALSE(checkNow->isEnabled());
    renderBoth("about-checking");
    updates.finishCheck(std::chrono::system_clock::from_time_t(1'700'000'000));
    EXPECT_TRUE(checkNow->isEnabled());
    EXPECT_NE(lastChecked->text(), "Last checked: Not checked yet");

    updates.setAvailable(false);
    EXPECT_FALSE(checkNow->isEnabled());
    renderBoth("about-cannotCheck");

    auto* automatic = find<MivoSettingsToggle>("automaticUpdatesToggle");
    EXPECT_TRUE(automatic->isOn());
    QTest::mouseClick(automatic, Qt::LeftButton);
    EXPECT_FALSE(updates.automaticallyChecksForUpdates());
}

TEST_F(SettingsScreenTest, WithoutAFeedTheAboutCardSaysUpdatesComeWithThePackage) {
    updates.setHasUpdateFeed(false);
    updates.setAutomaticallyChecksForUpdates(false);
    select(SettingsCategory::about);
    auto* automatic = find<MivoSettingsToggle>("automaticUpdatesToggle");
    EXPECT_FALSE(automatic->isOn());
    EXPECT_FALSE(automatic->isEnabled());
    QTest::mouseClick(automatic, Qt::LeftButton);
    EXPECT_FALSE(updates.automaticallyChecksForUpdates());
    const QString detail = find<QLabel>("automaticUpdatesDetail")->text();
    EXPECT_TRUE(detail.contains("come with the package you installed")) << detail.toStdString();
    EXPECT_FALSE(detail.contains("checks once per day"));
    // Nothing to check: no button that does nothing, no date that never comes.
    EXPECT_TRUE(find<SettingsButton>("checkNowButton")->isHidden());
    EXPECT_TRUE(find<QLabel>("lastCheckedLabel")->isHidden());
    renderBoth("about-noFeed");

    updates.setHasUpdateFeed(true);
    EXPECT_TRUE(automatic->isEnabled());
    EXPECT_FALSE(find<SettingsButton>("checkNowButton")->isHidden());
    EXPECT_TRUE(find<QLabel>("automaticUpdatesDetail")->text().contains("checks once per day"));
}

// A copy built from source is not updated by any package: the about card
// says to build it again, and says so again when the copy is a package.
TEST_F(SettingsScreenTest, WithoutAFeedACopyBuiltFromSourceIsToldToBuildAgain) {
    updates.setHasUpdateFeed(false);
    updates.setAutomaticallyChecksForUpdates(false);
    updates.setInstallKind(InstallKind::builtFromSource);
    select(SettingsCategory::about);
    auto* detail = find<QLabel>("automaticUpdatesDetail");
    EXPECT_TRUE(detail->text().contains("built from source")) << detail->text().toStdString();
    EXPECT_TRUE(detail->text().contains("build it again")) << detail->text().toStdString();
    EXPECT_FALSE(detail->text().contains("package")) << detail->text().toStdString();
    renderBoth("about-noFeed-builtFromSource");

    updates.setInstallKind(InstallKind::package);
    EXPECT_TRUE(find<QLabel>("automaticUpdatesDetail")->text().contains("package"));
}

class UnknownVersionScreenTest : public SettingsScreenTest {
  protected:
    UnknownVersionScreenTest() : SettingsScreenTest(AppVersion{}) {}
};

TEST_F(UnknownVersionScreenTest, ShowsDashesTwice) {
    select(SettingsCategory::about);
    EXPECT_EQ(find<SettingsPill>("versionPill")->title(), "— (—)");
    EXPECT_EQ(find<QLabel>("versionValue")->text(), "— (—)");
    renderBoth("about-unknownVersion");
}

TEST_F(SettingsScreenTest, FeedbackCardCountsCutsAndReports) {
    select(SettingsCategory::feedback);
    auto* editor = find<QPlainTextEdit>("feedbackEditor");
    auto* counter = find<QLabel>("feedbackCounter");
    auto* send = find<SettingsButton>("sendFeedbackButton");
    auto* status = find<ThemedLabel>("feedbackStatus");
    EXPECT_EQ(counter->text(), "0/1000");
    EXPECT_FALSE(send->isEnabled());
    EXPECT_FALSE(status->isVisible());
    renderBoth("feedback-empty");

    // Blanks only: counted, but nothing to send.
    editor->setFocus();
    QTest::keyClicks(editor, "  ");
    EXPECT_EQ(counter->text(), "2/1000");
    EXPECT_FALSE(send->isEnabled());

    editor->clear();
    editor->insertPlainText(QString(5000, QChar('x')));
    EXPECT_EQ(editor->toPlainText().size(), 1000);
    EXPECT_EQ(counter->text(), "1000/1000");

    editor->setPlainText("ハイライトが便利です。Keep it up");
    EXPECT_EQ(counter->text(), "21/1000");
    EXPECT_TRUE(send->isEnabled());
    renderBoth("feedback-typed");

    std::vector<std::string> mails;
    bool opens = false;
    model.onSendFeedback = [&](const std::string& text) {
        mails.push_back(text);
        return opens;
    };
    QTest::mouseClick(send, Qt::LeftButton);
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->colorRole(), SettingsColor::error);
    EXPECT_EQ(editor->toPlainText(), "ハイライトが便利です。Keep it up");
    renderBoth("feedback-failed");

    opens = true;
    QTest::mouseClick(send, Qt::LeftButton);
    EXPECT_EQ(mails.size(), 2u);
    EXPECT_EQ(editor->toPlainText(), "");
    EXPECT_EQ(counter->text(), "0/1000");
    EXPECT_EQ(status->colorRole(), SettingsColor::primaryPressed);
    EXPECT_EQ(status->text().toStdString(), SettingsViewModel::feedbackSentMessage);
    renderBoth("feedback-sent");

    // The next edit removes the line.
    QTest::keyClicks(editor, "a");
    EXPECT_FALSE(status->isVisible());
}

}  // namespace
}  // namespace mivo
