// The root's account and rewrite connections: the hotkey with its fallback
// to the last one that worked (registered through the real rewrite hotkey on
// the simulated desktop), sign-in and its failure, the account fan-out and
// the rewrite engine's lifecycle.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/account_tone_wiring.hpp"
#include "platform/sim/captured_log.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "platform/sim/recorded_alerts.hpp"
#include "platform/sim/sim_hot_keys.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "settings/mivo_settings_store.hpp"
#include "tone/tone_hot_key.hpp"

namespace mivo {
namespace {

using Pairs = std::vector<std::pair<uint32_t, uint32_t>>;

const HotKeyConfig kDefault = HotKeyConfig::defaultConfig();
const HotKeyConfig kK{40, 0x300, "⌘⇧K"};
const HotKeyConfig kL{37, 0x300, "⌘⇧L"};

class AccountToneWiringTest : public ::testing::Test {
  protected:
    AccountToneWiringTest() { makeWiring(); }

    void makeWiring() {
        wiring = std::make_unique<AccountToneWiring>(
            store, alerts, log,
            AccountToneWiring::Account{
                .state = [this] { return authState; },
                .startSignIn =
                    [this](std::function<void(std::optional<std::string>)> done) {
                        ++signIns;
                        pendingSignIn = std::move(done);
                    },
                .signOut = [this] { ++signOuts; },
                .restoreSession = [this] { ++restores; },
                .validAccessToken =
                    [this](std::function<void(std::optional<std::string>)> done) { done(token); },
            },
            AccountToneWiring::Rewrite{
                .configureShortcut = [this](uint32_t k,
                                            uint32_t m) { return hotKey.configure(k, m); },
                .start =
                    [this] {
                        ++starts;
                        return hotKey.start();
                    },
                .stop = [this] { hotKey.stop(); },
                .trigger = [this] { ++triggers; },
            },
            AccountToneWiring::Views{
                .settings = [this](const AuthSessionState& s) { settingsShown.push_back(s); },
                .onboarding = [this](bool signedIn) { onboardingSignedIn.push_back(signedIn); },
                .tray =
                    [this](const AuthSessionState& s) {
                        trayAccount.push_back(s.isSignedIn() ? std::optional(s.email)
                                                             : std::nullopt);
                        traySessionEnded = s.sessionHasEnded();
                    },
                .trayShortcut = [this](const std::string& d) { trayShortcut = d; },
                .settingsShortcutActive = [this](bool on) { settingsShortcutActive.push_back(on); },
                .openSettings = [this] { ++settingsOpened; },
                .onboardingSigningIn = [this](bool on) { onboardingSigningIn.push_back(on); },
                .hasTray = [this] { return tray; },
            });
        store.onToneHotKeyChanged = [this](const HotKeyConfig& h) {
            wiring->handleToneHotKeyChanged(h);
        };
    }

    std::string lastAlert() const {
        return alerts.shown.empty() ? "" : alerts.shown.back().request.message;
    }

    sim::MemoryUserDefaults defaults;
    sim::VirtualClock clock;
    sim::CapturedLog log;
    sim::RecordedAlerts alerts;
    sim::SimHotKeys keys;
    ToneHotKey hotKey{keys, clock, log};
    MivoSettingsStore store{defaults, clock};
    std::unique_ptr<AccountToneWiring> wiring;

    AuthSessionState authState;
    std::optional<std::string> token;
    std::function<void(std::optional<std::string>)> pendingSignIn;
    int signIns = 0, signOuts = 0, restores = 0, starts = 0, triggers = 0, settingsOpened = 0;
    std::vector<AuthSessionState> settingsShown;
    std::vector<bool> onboardingSignedIn;
    std::vector<bool> onboardingSigningIn;
    std::vector<std::optional<std::string>> trayAccount;
    bool tray = true;
    bool traySessionEnded = false;
    std::string trayShortcut;
    std::vector<bool> settingsShortcutActive;
};

TEST_F(AccountToneWiringTest, TheStoredHotKeyIsRegisteredWhenTheEngineStarts) {
    store.setToneHotKey(kK);
    makeWiring();
    wiring->applyStoredHotKey();
    EXPECT_EQ(trayShortcut, "Shift+Super+K");
    EXPECT_TRUE(keys.registered().empty());
    wiring->startRewriteEngine();
    EXPECT_EQ(keys.registered(), (Pairs{{40, 0x300}}));
    wiring->stopRewriteEngine();
    EXPECT_TRUE(keys.registered().empty());
}

TEST_F(AccountToneWiringTest, ARefusedChangeRevertsToTheLastGoodHotKey) {
    wiring->applyStoredHotKey();
    wiring->startRewriteEngine();
    keys.holdElsewhere(40, 0x300);

    store.setToneHotKey(kK);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].request.title, "Shortcut Unavailable");
    EXPECT_EQ(alerts.shown[0].request.style, AlertRequest::Style::warning);
    EXPECT_EQ(lastAlert(),
              "\u201CShift+Super+K\u201D is already in use by another app or the system. "
              "Reverting to Shift+Super+J.");
    // Until the alert closes nothing is registered and the setting holds K.
    EXPECT_TRUE(keys.registered().empty());
    EXPECT_EQ(store.toneHotKey(), kK);

    alerts.answer();
    EXPECT_EQ(store.toneHotKey(), kDefault);
    EXPECT_EQ(keys.registered(), (Pairs{{38, 0x300}}));
    EXPECT_EQ(trayShortcut, "Shift+Super+J");
    EXPECT_EQ(keys.press(38, 0x300), 1);

    // An accepted change becomes the one to fall back on.
    store.setToneHotKey(kL);
    EXPECT_EQ(wiring->lastGoodToneHotKey(), kL);
    EXPECT_EQ(trayShortcut, "Shift+Super+L");
    store.setToneHotKey(kK);
    EXPECT_EQ(lastAlert(),
              "\u201CShift+Super+K\u201D is already in use by another app or the system. "
              "Reverting to Shift+Super+L.");
    alerts.answer();
    EXPECT_EQ(keys.registered(), (Pairs{{37, 0x300}}));
}

TEST_F(AccountToneWiringTest, AHotKeyRecordedWhilePausedIsCheckedWhenTheEngineStarts) {
    wiring->applyStoredHotKey();
    keys.holdElsewhere(40, 0x300);
    // Paused: only stored, shown at once, no alert yet.
    store.setToneHotKey(kK);
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_EQ(trayShortcut, "Shift+Super+K");
    EXPECT_EQ(wiring->lastGoodToneHotKey(), kDefault);

    wiring->startRewriteEngine();
    EXPECT_EQ(lastAlert(),
              "\u201CShift+Super+K\u201D is already in use by another app or the system. "
              "Reverting to Shift+Super+J.");
    alerts.answer();
    EXPECT_EQ(store.toneHotKey(), kDefault);
    EXPECT_EQ(keys.registered(), (Pairs{{38, 0x300}}));
    EXPECT_EQ(trayShortcut, "Shift+Super+J");
}

const std::string kJUnavailable =
    "\u201CShift+Super+J\u201D is already in use by another app or the system, so Mivo has no "
    "rewrite shortcut for now. Choose another one in Settings; the tray menu\u2019s Rewrite item "
    "still works.";

TEST_F(AccountToneWiringTest, AStoredHotKeyTakenSinceIsAnnouncedAtStart) {
    keys.holdElsewhere(38, 0x300);
    wiring->applyStoredHotKey();
    EXPECT_EQ(trayShortcut, "Shift+Super+J");
    wiring->startRewriteEngine();
    // Nothing to revert to: the alert says so and points to Settings, and
    // the tray stops naming a shortcut that does nothing.
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].request.title, "Shortcut Unavailable");
    EXPECT_EQ(lastAlert(), kJUnavailable);
    EXPECT_EQ(alerts.shown[0].request.buttons, (std::vector<std::string>{"Open Settings", "OK"}));
    EXPECT_EQ(trayShortcut, "");
    EXPECT_TRUE(keys.registered().empty());
    alerts.answer(0);
    EXPECT_EQ(settingsOpened, 1);
    EXPECT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(store.toneHotKey(), kDefault);
    // Once the user picks a free one it is registered at once.
    store.setToneHotKey(kL);
    EXPECT_EQ(keys.registered(), (Pairs{{37, 0x300}}));
    EXPECT_EQ(alerts.shown.size(), 1u);
}

TEST_F(AccountToneWiringTest, WithoutATrayTheTakenHotKeyPointsOnlyToSettings) {
    tray = false;
    keys.holdElsewhere(38, 0x300);
    wiring->applyStoredHotKey();
    wiring->startRewriteEngine();
    EXPECT_EQ(lastAlert(),
              "\u201CShift+Super+J\u201D is already in use by another app or the system, so Mivo "
              "has no rewrite shortcut for now. Choose another one in Settings.");
    EXPECT_EQ(alerts.shown[0].request.buttons, (std::vector<std::string>{"Open Settings", "OK"}));
}

TEST_F(AccountToneWiringTest, SettingsShowsWhetherTheShortcutWorks) {
    struct Row {
        const char* name;
        std::function<void()> steps;
        std::vector<bool> shown;  // what Settings was told, in order
    };
    const std::vector<Row> rows{
        {"free at start: works", [this] { wiring->startRewriteEngine(); }, {true}},
        {"taken at start, nothing to go back to: not active",
         [this] {
             keys.holdElsewhere(38, 0x300);
             wiring->startRewriteEngine();
         },
         {false}},
        {"taken, then a free one recorded: works again",
         [this] {
             keys.holdElsewhere(38, 0x300);
             wiring->startRewriteEngine();
             store.setToneHotKey(kL);
         },
         {false, true}},
        {"a taken one recorded is reverted: the old one keeps working",
         [this] {
             wiring->startRewriteEngine();
             keys.holdElsewhere(40, 0x300);
             store.setToneHotKey(kK);
             alerts.answer();
         },
         {true, true}},
    };
    for (const Row& row : rows) {
        keys.holdElsewhere(38, 0x300, false);
        keys.holdElsewhere(40, 0x300, false);
        store.setToneHotKey(kDefault);
        makeWiring();
        wiring->applyStoredHotKey();
        settingsShortcutActive.clear();
        row.steps();
        EXPECT_EQ(settingsShortcutActive, row.shown) << row.name;
        wiring->stopRewriteEngine();
        alerts.shown.clear();
    }
}

TEST_F(AccountToneWiringTest, ARevertToAHotKeyTakenTooEndsWithoutAShortcut) {
    wiring->applyStoredHotKey();
    wiring->startRewriteEngine();
    keys.holdElsewhere(40, 0x300);
    store.setToneHotKey(kK);
    // While the first alert is open another program takes J as well.
    keys.holdElsewhere(38, 0x300);
    alerts.answer();
    // No second "Reverting to" naming the same taken keys.
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_EQ(alerts.shown[1].request.message, kJUnavailable);
    EXPECT_EQ(trayShortcut, "");
    alerts.answer(1);
    EXPECT_EQ(settingsOpened, 0);
    EXPECT_EQ(alerts.shown.size(), 2u);

    // The recorder's glyph order is the same combination as the default.
    store.setToneHotKey({38, 0x300, "⇧⌘J"});
    ASSERT_EQ(alerts.shown.size(), 3u);
    EXPECT_EQ(alerts.shown[2].request.message, kJUnavailable);
    alerts.answer(1);
    EXPECT_EQ(alerts.shown.size(), 3u);

    // Freed while paused: the next start registers it and the tray names it
    // again.
    wiring->stopRewriteEngine();
    keys.holdElsewhere(38, 0x300, false);
    wiring->startRewriteEngine();
    EXPECT_EQ(keys.registered(), (Pairs{{38, 0x300}}));
    EXPECT_EQ(trayShortcut, "Shift+Super+J");
}

TEST_F(AccountToneWiringTest, TheAccountIsShownEverywhere) {
    struct Case {
        AuthSessionState state;
        std::optional<std::string> tray;
        bool onboarding;
        bool signingIn;  // onboarding's sign-in button shows it
        bool ended = false;
        // What the rewrite panel says instead of asking for a sign-in.
        std::optional<std::string> fault = std::nullopt;
    };
    const Case cases[] = {
        {AuthSessionState::signingIn(), std::nullopt, false, true},
        {AuthSessionState::error("The server at http://127.0.0.2:8080 could not be reached", true),
         std::nullopt, false, false, false,
         "The server at http://127.0.0.2:8080 could not be reached"},
        {AuthSessionState::signedIn("u1", "dev@mivo.test"), "dev@mivo.test", true, false},
        {AuthSessionState::signingIn(), std::nullopt, false, true},
        {AuthSessionState::error("Sign in failed: timed out"), std::nullopt, false, false},
        {AuthSessionState::signedOut(), std::nullopt, false, false},
        {AuthSessionState::sessionEnded("the service refused the refresh token (401)"),
         std::nullopt, false, false, true},
        {AuthSessionState::signedOut(), std::nullopt, false, false},
    };
    for (const auto& c : cases) {
        authState = c.state;
        wiring->handleAuthStateChanged(c.state);
        EXPECT_EQ(settingsShown.back(), c.state);
        EXPECT_EQ(trayAccount.back(), c.tray);
        EXPECT_EQ(traySessionEnded, c.ended);
        EXPECT_EQ(onboardingSignedIn.back(), c.onboarding);
        EXPECT_EQ(onboardingSigningIn.back(), c.signingIn);
        EXPECT_EQ(wiring->isSignedOut(), !c.onboarding);
        EXPECT_EQ(wiring->accountFault(), c.fault);
    }
    // Said once, with why.
    EXPECT_EQ(log.count("[Mivo][Auth] session ended: the service refused the refresh token "
                        "(401); the stored sign-in was removed"),
              1u);
    authState = AuthSessionState::signedIn("u1", "a@b.c");
    wiring->refreshSettingsAccount();
    EXPECT_EQ(settingsShown.back(), authState);
}

TEST_F(AccountToneWiringTest, SignInFailuresAreShownAndSuccessIsQuiet) {
    wiring->restoreSession();
    EXPECT_EQ(restores, 1);

    wiring->beginSignIn();
    pendingSignIn(std::nullopt);
    EXPECT_TRUE(alerts.shown.empty());

    wiring->beginSignIn();
    pendingSignIn("Sign in failed: the browser did not come back");
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].request.title, "Sign In Failed");
    EXPECT_EQ(alerts.shown[0].request.message, "Sign in failed: the browser did not come back");
    EXPECT_EQ(alerts.shown[0].request.style, AlertRequest::Style::warning);
    EXPECT_EQ(signIns, 2);

    // A failure that arrives after the wiring is gone shows nothing.
    wiring->beginSignIn();
    auto late = pendingSignIn;
    wiring.reset();
    late("too late");
    EXPECT_EQ(alerts.shown.size(), 1u);
}

TEST_F(AccountToneWiringTest, TheEngineRunsWithMonitoringAndTheTrayItemOnlyWhenEnabled) {
    wiring->triggerTone();
    EXPECT_EQ(triggers, 1);
    store.setMivoEnabled(false);
    wiring->triggerTone();
    EXPECT_EQ(triggers, 1);

    wiring->startRewriteEngine();
    wiring->startRewriteEngine();
    EXPECT_EQ(starts, 1);
    // Once stopped it starts again.
    wiring->stopRewriteEngine();
    wiring->startRewriteEngine();
    EXPECT_EQ(starts, 2);

    wiring->logTone("Tone: panel opened");
    EXPECT_EQ(log.lines().back(), "[Mivo][Tone] Tone: panel opened");

    std::optional<std::string> handed = "unset";
    wiring->accessToken([&](std::optional<std::string> t) { handed = std::move(t); });
    EXPECT_EQ(handed, std::nullopt);
    token = "tok";
    wiring->accessToken([&](std::optional<std::string> t) { handed = std::move(t); });
    EXPECT_EQ(handed, "tok");
}

}  // namespace
}  // namespace mivo
