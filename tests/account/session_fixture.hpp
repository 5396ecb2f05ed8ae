#pragma once

// A session manager wired to the real HTTP transport and a mivo-api-stub
// process, with the keychain in memory and the virtual clock as the time
// that decides about expiry. The browser is a stand-in that follows the
// stub's redirect to the loopback callback on a free port.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "account/auth_session_manager.hpp"
#include "browser_stand_in.hpp"
#include "event_loop_wait.hpp"
#include "platform/linux/qt/qt_http_transport.hpp"
#include "platform/linux/qt/qt_main_loop_post.hpp"
#include "platform/sim/captured_log.hpp"
#include "platform/sim/memory_secret_store.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "socket_client.hpp"
#include "stub_process.hpp"

namespace mivo::testing {

class SessionTest : public ::testing::Test {
  protected:
    using State = AuthSessionManager::State;

    std::unique_ptr<AuthSessionManager> makeSession() {
        auto s = std::make_unique<AuthSessionManager>(
            client, keychain, clock, browser, linux_desktop::qtMainLoopPost(),
            AuthSessionManager::Options{.callbackPort = port, .grantWaitSeconds = 30});
        s->onStateChanged = [this, raw = s.get()](const State& st) {
            if (raw == session.get())
                states.push_back(st);
        };
        return s;
    }

    AuthSessionManager::SignInResult signIn() {
        Answer<AuthSessionManager::SignInResult> answer;
        session->startSignIn(answer.callback());
        EXPECT_TRUE(answer.wait()) << "the sign-in never completed";
        // The browser hears the outcome as the sign-in completes; its reply
        // arrives on a later turn of the loop.
        if (browser.callbackAttempts > 0)
            runEventLoopUntil([this] { return browser.callbackReply.status != 0; }, 5);
        return answer.value.value_or(std::unexpected(AuthSessionManager::AuthError{}));
    }
    AuthSessionManager::TokenResult token() {
        Answer<AuthSessionManager::TokenResult> answer;
        session->validAccessToken(answer.callback());
        EXPECT_TRUE(answer.wait()) << "no token answer";
        return answer.value.value_or(std::unexpected(AuthSessionManager::AuthError{}));
    }
    void restore() {
        bool done = false;
        session->restoreSession([&] { done = true; });
        EXPECT_TRUE(runEventLoopUntil([&] { return done; }));
    }
    std::size_t count(const std::string& path) const { return stub.requestsTo(path).size(); }
    std::optional<std::string> stored(const char* key) const { return keychain.get(key); }
    // Time until the stored session's access token expires.
    void advanceToSecondsLeft(double left) {
        const auto expiry = keychain.loadAccessTokenExpiresAt();
        ASSERT_TRUE(expiry.has_value());
        clock.advance(std::chrono::duration<double>(*expiry - clock.wallClockNow()).count() - left);
    }

    StubProcess stub;
    linux_desktop::QtHttpTransport transport;
    MivoAPIClient client{transport, stub.baseURL()};
    sim::MemorySecretStore secrets;
    sim::CapturedLog log;
    KeychainStore keychain{"com.mivo.auth", secrets, log};
    sim::VirtualClock clock;
    BrowserStandIn browser{transport};
    uint16_t port = freeLoopbackPort();
    std::vector<State> states;
    std::unique_ptr<AuthSessionManager> session = makeSession();
};

}  // namespace mivo::testing
