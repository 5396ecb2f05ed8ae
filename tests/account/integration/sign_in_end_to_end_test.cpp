// The whole sign-in on one machine: the stand-in service, the real loopback
// server, a browser that follows the service's redirect, the real Qt event
// loop and clock, and the tokens in the real Secret Service.

#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>

#include "account/auth_session_manager.hpp"
#include "browser_stand_in.hpp"
#include "event_loop_wait.hpp"
#include "platform/linux/libsecret_secret_store.hpp"
#include "platform/linux/qt/qt_http_transport.hpp"
#include "platform/linux/qt/qt_main_loop_post.hpp"
#include "platform/linux/qt/qt_scheduler.hpp"
#include "platform/sim/captured_log.hpp"
#include "socket_client.hpp"
#include "stub_process.hpp"

namespace mivo {
namespace {

using State = AuthSessionManager::State;

TEST(SignInEndToEndTest, TheBrowserSignInEndsWithTheTokensInTheKeyring) {
    testing::StubProcess stub;
    linux_desktop::QtHttpTransport transport;
    MivoAPIClient client(transport, stub.baseURL());
    linux_desktop::LibsecretSecretStore secrets;
    sim::CapturedLog log;
    KeychainStore keychain("com.mivo.auth", secrets, log);
    linux_desktop::QtScheduler scheduler;
    testing::BrowserStandIn browser(transport);
    const uint16_t port = testing::freeLoopbackPort();
    AuthSessionManager session(client, keychain, scheduler, browser,
                               linux_desktop::qtMainLoopPost(),
                               AuthSessionManager::Options{.callbackPort = port});
    std::vector<State> states;
    session.onStateChanged = [&](const State& s) { states.push_back(s); };

    std::optional<AuthSessionManager::SignInResult> result;
    session.startSignIn([&](auto r) { result = r; });
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return result.has_value(); }, 30));
    ASSERT_TRUE(result->has_value()) << result->error().errorDescription();

    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[0], State::signingIn());
    EXPECT_EQ(states[1].kind, State::Kind::signedIn);
    EXPECT_EQ(states[1].email, "dev@mivo.test");
    testing::runEventLoopUntil([&] { return browser.callbackReply.status != 0; }, 5);
    EXPECT_EQ(browser.callbackReply.status, 200);
    ASSERT_EQ(browser.opened.size(), 1u);
    EXPECT_THAT(browser.opened[0], ::testing::StartsWith(stub.baseURL() + "/dev/signin?"));

    // The keyring holds the session, item by item.
    EXPECT_EQ(secrets.read("com.mivo.auth", "access_token"), session.accessToken());
    EXPECT_TRUE(secrets.read("com.mivo.auth", "refresh_token").has_value());
    EXPECT_EQ(secrets.read("com.mivo.auth", "user_id"), states[1].userId);
    EXPECT_EQ(secrets.read("com.mivo.auth", "user_email"), "dev@mivo.test");
    const auto expiry = keychain.loadAccessTokenExpiresAt();
    ASSERT_TRUE(expiry.has_value());
    EXPECT_NEAR(std::chrono::duration<double>(*expiry - scheduler.wallClockNow()).count(), 3600,
                30);

    // The next run restores it from the keyring.
    AuthSessionManager next(client, keychain, scheduler, browser, linux_desktop::qtMainLoopPost(),
                            AuthSessionManager::Options{.callbackPort = port});
    bool restored = false;
    next.restoreSession([&] { restored = true; });
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return restored; }));
    EXPECT_EQ(next.state(), states[1]);

    // Signing out empties the keyring.
    bool signedOut = false;
    next.signOut([&] { signedOut = true; });
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return signedOut; }));
    for (const char* key :
         {"access_token", "refresh_token", "access_token_expires_at", "user_id", "user_email"})
        EXPECT_EQ(secrets.read("com.mivo.auth", key), std::nullopt) << key;
    EXPECT_TRUE(log.lines().empty());
}

// scripts/run.sh starts a new stand-in (on a new port) for every run of
// Mivo, keeping its accounts in the user's state folder: the sign-in of one
// run is still good in the next, and the keyring keeps it. A stand-in that
// forgot the account refuses the refresh, and that still signs out.
TEST(SignInEndToEndTest, TheSignInSurvivesTheNextRunOfTheStandIn) {
    std::string folder = (std::filesystem::temp_directory_path() / "mivo-state.XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::string book = folder + "/mivo/api-stub/accounts.json";
    linux_desktop::QtHttpTransport transport;
    linux_desktop::LibsecretSecretStore secrets;
    sim::CapturedLog log;
    KeychainStore keychain("com.mivo.auth", secrets, log);
    linux_desktop::QtScheduler scheduler;
    testing::BrowserStandIn browser(transport);
    {
        testing::StubProcess firstRun({"--accounts-file", book});
        MivoAPIClient client(transport, firstRun.baseURL());
        AuthSessionManager session(client, keychain, scheduler, browser,
                                   linux_desktop::qtMainLoopPost(),
                                   AuthSessionManager::Options{.callbackPort = 0});
        std::optional<AuthSessionManager::SignInResult> result;
        session.startSignIn([&](auto r) { result = r; });
        ASSERT_TRUE(testing::runEventLoopUntil([&] { return result.has_value(); }, 30));
        ASSERT_TRUE(result->has_value()) << result->error().errorDescription();
    }
    const auto signedInToken = secrets.read("com.mivo.auth", "access_token");
    ASSERT_TRUE(signedInToken.has_value());

    struct Run {
        const char* what;
        std::vector<std::string> options;
        State::Kind after;
    };
    const Run runs[] = {
        {"the next run", {"--accounts-file", book}, State::Kind::signedIn},
        {"the run after", {"--accounts-file", book}, State::Kind::signedIn},
        {"a stand-in without the book", {}, State::Kind::signedOut},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.what);
        testing::StubProcess stub(run.options);
        MivoAPIClient client(transport, stub.baseURL());
        AuthSessionManager session(client, keychain, scheduler, browser,
                                   linux_desktop::qtMainLoopPost(),
                                   AuthSessionManager::Options{.callbackPort = 0});
        bool restored = false;
        session.restoreSession([&] { restored = true; });
        ASSERT_TRUE(testing::runEventLoopUntil([&] { return restored; }, 30));
        EXPECT_EQ(session.state().kind, run.after);
        EXPECT_EQ(secrets.read("com.mivo.auth", "access_token").has_value(),
                  run.after == State::Kind::signedIn);
        // The stand-in was asked, not only the keyring.
        EXPECT_EQ(stub.requestsTo("/v1/me").size(), 1u);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace mivo
