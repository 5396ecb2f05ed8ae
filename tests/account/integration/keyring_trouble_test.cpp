// The token store when the Secret Service is no help: one that never
// answers (a private bus with a silent service), and a keyring daemon with no
// login collection to keep anything in (see with_keyring.sh).

#include <gmock/gmock.h>

#include <cstdlib>

#include "account/auth_session_manager.hpp"
#include "browser_stand_in.hpp"
#include "event_loop_wait.hpp"
#include "platform/linux/libsecret_secret_store.hpp"
#include "platform/linux/qt_http_transport.hpp"
#include "platform/linux/qt_main_loop_post.hpp"
#include "platform/linux/qt_scheduler.hpp"
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

// gnome-keyring with no login collection: the sign-in still works for this
// run, and the user hears once that it will not be remembered.
TEST(NoLoginKeyringTest, SignInWorksForThisRunAndTheUserIsToldOnce) {
    testing::StubProcess stub;
    linux_desktop::QtHttpTransport transport;
    MivoAPIClient client(transport, stub.baseURL());
    auto secrets = std::make_shared<linux_desktop::LibsecretSecretStore>();
    sim::CapturedLog log;
    linux_desktop::QtScheduler scheduler;
    KeychainStore keychain(
        "com.mivo.auth", secrets, log,
        KeychainStore::Offload{.post = linux_desktop::qtMainLoopPost(), .scheduler = &scheduler});
    int told = 0;
    keychain.onNotRemembered = [&] { ++told; };
    testing::BrowserStandIn browser(transport);
    AuthSessionManager session(client, keychain, scheduler, browser,
                               linux_desktop::qtMainLoopPost(),
                               AuthSessionManager::Options{.callbackPort = 0});

    std::optional<AuthSessionManager::SignInResult> result;
    session.startSignIn([&](auto r) { result = r; });
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return result.has_value(); }, 30));
    ASSERT_TRUE(result->has_value()) << result->error().errorDescription();
    EXPECT_EQ(session.state().kind, State::Kind::signedIn);

    ASSERT_TRUE(testing::runEventLoopUntil([&] { return told > 0; }, 30))
        << "the user was never told";
    testing::runEventLoopFor(0.5);
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(keychain.remembers());
    std::optional<AuthSessionManager::TokenResult> token;
    session.validAccessToken([&](auto t) { token = t; });
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return token.has_value(); }));
    EXPECT_EQ(token->value_or("(none)"), session.accessToken());
}

}  // namespace
}  // namespace mivo
