// The token store when the Secret Service is no help: one that never
// answers (a private bus with a silent service), and a keyring daemon with no
// login collection to keep anything in (see with_keyring.sh).

#include <gmock/gmock.h>

#include <cstdlib>
#include <future>
#include <string>

#include <libsecret/secret.h>

#include "account/auth_session_manager.hpp"
#include "browser_stand_in.hpp"
#include "event_loop_wait.hpp"
#include "platform/linux/libsecret_secret_store.hpp"
#include "platform/linux/qt/qt_http_transport.hpp"
#include "platform/linux/qt/qt_main_loop_post.hpp"
#include "platform/linux/qt/qt_scheduler.hpp"
#include "platform/sim/captured_log.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "silent_secret_service.hpp"
#include "socket_client.hpp"
#include "stub_process.hpp"

namespace mivo {
namespace {

using State = AuthSessionManager::State;

// The bound runs on the simulated clock: it passes only when the test says,
// so everything before that happens while the keyring is still silent.
TEST(StuckSecretServiceTest, TheMainLoopRunsWhileTheKeyringNeverAnswers) {
    testing::SilentSecretService silent;
    ASSERT_TRUE(silent.ownsTheName()) << "another Secret Service runs on this bus";
    auto secrets = std::make_shared<linux_desktop::LibsecretSecretStore>();
    sim::CapturedLog log;
    sim::VirtualClock clock;
    KeychainStore store(
        "com.mivo.auth", secrets, log,
        KeychainStore::Offload{
            .post = linux_desktop::qtMainLoopPost(), .scheduler = &clock, .boundSeconds = 5});
    int told = 0;
    store.onNotRemembered = [&] { ++told; };
    bool loaded = false;
    store.whenLoaded([&] { loaded = true; });
    // The three calls that each held the loop before.
    store.set("access_token", "a");
    store.set("refresh_token", "r");
    store.remove("user_id");
    EXPECT_EQ(store.get("access_token"), "a") << "memory must answer at once";

    // Work posted now runs although every keyring call is still waiting.
    bool loopRan = false;
    linux_desktop::qtMainLoopPost()([&] { loopRan = true; });
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return loopRan; }));
    EXPECT_FALSE(loaded);
    EXPECT_EQ(told, 0);

    clock.advance(5);
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return loaded && told == 1; }));
    EXPECT_FALSE(store.remembers());
    // Given up for the run: the session goes on in memory, the user was told
    // once.
    store.set("access_token", "b");
    testing::runEventLoopFor(0.2);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(store.get("access_token"), "b");
    EXPECT_EQ(store.get("refresh_token"), "r");
}

// A session restored at start from a keyring that never answers ends
// signed out after the bound, and the loop ran all along.
TEST(StuckSecretServiceTest, RestoreGivesUpAfterTheBound) {
    testing::SilentSecretService silent;
    ASSERT_TRUE(silent.ownsTheName());
    testing::StubProcess stub;
    linux_desktop::QtHttpTransport transport;
    MivoAPIClient client(transport, stub.baseURL());
    auto secrets = std::make_shared<linux_desktop::LibsecretSecretStore>();
    sim::CapturedLog log;
    sim::VirtualClock clock;
    KeychainStore keychain(
        "com.mivo.auth", secrets, log,
        KeychainStore::Offload{.post = linux_desktop::qtMainLoopPost(), .scheduler = &clock});
    testing::BrowserStandIn browser(transport);
    AuthSessionManager session(client, keychain, clock, browser, linux_desktop::qtMainLoopPost());
    bool restored = false;
    session.restoreSession([&] { restored = true; });
    testing::runEventLoopFor(0.1);
    EXPECT_FALSE(restored);
    clock.advance(KeychainStore::kSecretServiceBoundSeconds);
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return restored; }));
    EXPECT_EQ(session.state(), State::signedOut());
    EXPECT_TRUE(stub.requests().empty());
}

// The user's answer to gnome-keyring's "Choose password for new keyring"
// prompt on the test's display, given as soon as the prompt shows: keys for
// xdotool ("Escape" dismisses it; a password twice creates the keyring).
// Runs beside the event loop, which must keep turning meanwhile.
std::future<int> answerKeyringPrompt(std::string xdotoolArguments) {
    return std::async(std::launch::async, [arguments = std::move(xdotoolArguments)] {
        const std::string find =
            "timeout 60 xdotool search --sync --onlyvisible --classname gcr-prompter | head -n 1";
        const std::string command = "w=$(" + find + ") && [ -n \"$w\" ] && sleep 0.3 && " +
                                    "xdotool windowfocus --sync \"$w\" " + arguments;
        return std::system(command.c_str());
    });
}

// A sign-in against gnome-keyring with no login collection: the keyring asks
// the user for a new keyring's password on the display.
class NoLoginKeyringTest : public ::testing::Test {
  protected:
    void signIn() {
        session.startSignIn([&](auto r) { result = r; });
        ASSERT_TRUE(testing::runEventLoopUntil([&] { return result.has_value(); }, 30));
        ASSERT_TRUE(result->has_value()) << result->error().errorDescription();
        EXPECT_EQ(session.state().kind, State::Kind::signedIn);
    }
    void requireDisplay() {
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "the keyring's prompt needs a display";
    }

    testing::StubProcess stub;
    linux_desktop::QtHttpTransport transport;
    MivoAPIClient client{transport, stub.baseURL()};
    std::shared_ptr<linux_desktop::LibsecretSecretStore> secrets =
        std::make_shared<linux_desktop::LibsecretSecretStore>();
    sim::CapturedLog log;
    linux_desktop::QtScheduler scheduler;
    KeychainStore keychain{
        "com.mivo.auth", secrets, log,
        KeychainStore::Offload{.post = linux_desktop::qtMainLoopPost(), .scheduler = &scheduler}};
    testing::BrowserStandIn browser{transport};
    AuthSessionManager session{client,
                               keychain,
                               scheduler,
                               browser,
                               linux_desktop::qtMainLoopPost(),
                               AuthSessionManager::Options{.callbackPort = 0}};
    std::optional<AuthSessionManager::SignInResult> result;
};

// The user dismisses the prompt: the sign-in still works for this run, and
// the user hears once that it will not be remembered, only after the prompt
// is gone, however long it stayed.
TEST_F(NoLoginKeyringTest, SignInWorksForThisRunAndTheUserIsToldOnce) {
    requireDisplay();
    int told = 0;
    keychain.onNotRemembered = [&] { ++told; };
    signIn();
    // Longer than the keyring's bound: nobody is told over the prompt.
    testing::runEventLoopFor(KeychainStore::kSecretServiceBoundSeconds + 1);
    EXPECT_EQ(told, 0) << "told while the keyring's prompt was open";
    auto dismissed = answerKeyringPrompt("key Escape");

    ASSERT_TRUE(testing::runEventLoopUntil([&] { return told > 0; }, 30))
        << "the user was never told";
    EXPECT_EQ(dismissed.get(), 0);
    testing::runEventLoopFor(0.5);
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(keychain.remembers());
    std::optional<AuthSessionManager::TokenResult> token;
    session.validAccessToken([&](auto t) { token = t; });
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return token.has_value(); }));
    EXPECT_EQ(token->value_or("(none)"), session.accessToken());
}

// The user creates the keyring, after the bound: every value of the sign-in
// is saved in it, and nobody is told otherwise.
TEST_F(NoLoginKeyringTest, TheSignInIsSavedOnceTheUserCreatesTheKeyring) {
    requireDisplay();
    int told = 0;
    keychain.onNotRemembered = [&] { ++told; };
    signIn();
    testing::runEventLoopFor(KeychainStore::kSecretServiceBoundSeconds + 1);
    auto created = answerKeyringPrompt(
        "type --delay 20 mivo-new && xdotool key Tab type --delay 20 mivo-new && "
        "xdotool key Return");
    ASSERT_TRUE(testing::runEventLoopUntil(
        [&] {
            return created.wait_for(std::chrono::seconds(0)) == std::future_status::ready &&
                   keychain.callsUnderWay() == 0;
        },
        60));
    EXPECT_EQ(created.get(), 0);
    testing::runEventLoopFor(0.5);
    EXPECT_EQ(told, 0);
    EXPECT_TRUE(keychain.remembers());
    for (const char* key : KeychainStore::kSessionKeys)
        EXPECT_EQ(secrets->read("com.mivo.auth", key), keychain.get(key)) << key;
    EXPECT_EQ(secrets->read("com.mivo.auth", "access_token"), session.accessToken());
}

}  // namespace
}  // namespace mivo

namespace mivo {
namespace {

// The login keyring of with_keyring.sh (password "mivo-test") locked before
// Mivo starts, as after a session resumed without unlocking it.
class LockedKeyringTest : public ::testing::Test {
  protected:
    // Locks the default collection, or unlocks it through the keyring's
    // password prompt (which blocks until answered: call it off the loop).
    static bool lockOrUnlock(bool unlock) {
        GError* error = nullptr;
        SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
        if (service == nullptr)
            return false;
        SecretCollection* login = secret_collection_for_alias_sync(
            service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error);
        bool done = false;
        if (login != nullptr) {
            GList* objects = g_list_append(nullptr, login);
            done =
                (unlock ? secret_service_unlock_sync(service, objects, nullptr, nullptr, &error)
                        : secret_service_lock_sync(service, objects, nullptr, nullptr, &error)) > 0;
            g_list_free(objects);
            g_object_unref(login);
        }
        if (error != nullptr)
            g_error_free(error);
        g_object_unref(service);
        return done;
    }

    static bool promptShowing() {
        return std::system("xdotool search --onlyvisible --classname gcr-prompter >/dev/null") == 0;
    }
};

// One prompt, however many values the sign-in has; after it is dismissed
// the store says the keyring is locked, and once the user unlocks it the
// values come back without another prompt from Mivo.
TEST_F(LockedKeyringTest, OnePromptAtStartAndTheValuesComeBackOnceUnlocked) {
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "the keyring's prompt needs a display";
    auto secrets = std::make_shared<linux_desktop::LibsecretSecretStore>();
    ASSERT_TRUE(secrets->add("com.mivo.auth", "access_token", "kept").has_value());
    ASSERT_TRUE(secrets->add("com.mivo.auth", "user_email", "mika@example.com").has_value());
    ASSERT_TRUE(lockOrUnlock(false));
    ASSERT_TRUE(secrets->isLocked());

    sim::CapturedLog log;
    linux_desktop::QtScheduler scheduler;
    KeychainStore keychain(
        "com.mivo.auth", secrets, log,
        KeychainStore::Offload{.post = linux_desktop::qtMainLoopPost(), .scheduler = &scheduler});
    int unlocked = 0;
    keychain.onUnlocked = [&] { ++unlocked; };
    bool loaded = false;
    keychain.whenLoaded([&] { loaded = true; });
    auto dismissed = answerKeyringPrompt("key Escape");
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return loaded; }, 60))
        << "the load waits on a further prompt";
    EXPECT_EQ(dismissed.get(), 0);
    EXPECT_TRUE(keychain.isLocked());
    EXPECT_EQ(keychain.get("access_token"), std::nullopt);
    EXPECT_TRUE(log.contains("the Secret Service keyring is locked"));
    testing::runEventLoopFor(1.0);
    EXPECT_FALSE(promptShowing()) << "a second prompt";

    // The user unlocks the keyring elsewhere (here: its own prompt).
    auto typed = answerKeyringPrompt("type --delay 20 mivo-test && xdotool key Return");
    auto unlocking = std::async(std::launch::async, [] { return lockOrUnlock(true); });
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return unlocked > 0; },
                                           KeychainStore::kUnlockCheckSeconds * 4 + 30));
    EXPECT_EQ(typed.get(), 0);
    EXPECT_TRUE(unlocking.get());
    EXPECT_EQ(keychain.get("access_token"), "kept");
    EXPECT_EQ(keychain.get("user_email"), "mika@example.com");
    EXPECT_FALSE(keychain.isLocked());
}

}  // namespace
}  // namespace mivo
