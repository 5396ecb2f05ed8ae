// The browser sign-in against mivo-api-stub: the real loopback server on a
// free port, the stand-in browser following the stub's redirect.

#include <gmock/gmock.h>

#include <future>
#include <regex>

#include "account/auth_url.hpp"
#include "session_fixture.hpp"
#include "shared/service_address.hpp"

namespace mivo {
namespace {

using ::testing::ElementsAre;
using Kind = AuthSessionManager::AuthError::Kind;
using State = AuthSessionManager::State;

class SignInTest : public testing::SessionTest {};

TEST_F(SignInTest, SignsInThroughTheBrowserAndStoresTheWholeSession) {
    ASSERT_TRUE(signIn().has_value());
    EXPECT_THAT(states, ElementsAre(State::signingIn(), session->state()));
    EXPECT_EQ(session->state().kind, State::Kind::signedIn);
    EXPECT_EQ(session->currentUserId(), session->state().userId);
    EXPECT_EQ(stored("user_id"), session->state().userId);
    EXPECT_EQ(stored("user_email"), "dev@mivo.test");
    EXPECT_EQ(stored("access_token"), session->accessToken());
    EXPECT_TRUE(stored("refresh_token").has_value());
    // Expiry: the virtual now plus the stub's 3600 s.
    EXPECT_EQ(stored("access_token_expires_at"),
              KeychainStore::formatExpiry(clock.wallClockNow() + std::chrono::seconds(3600)));
    EXPECT_EQ(browser.callbackReply.status, 200);
    EXPECT_THAT(browser.callbackReply.body, ::testing::HasSubstr("You're signed in to Mivo"));

    // One nonce, 32 upper-case hex digits, sent to start and to exchange.
    const auto start = stub.requestsTo("/v1/auth/desktop/start");
    const auto exchange = stub.requestsTo("/v1/auth/desktop/exchange");
    ASSERT_EQ(start.size(), 1u);
    ASSERT_EQ(exchange.size(), 1u);
    const auto startBody = nlohmann::json::parse(start[0]["body"].get<std::string>());
    const auto nonce = startBody["device_nonce"].get<std::string>();
    EXPECT_TRUE(std::regex_match(nonce, std::regex("[0-9A-F]{32}"))) << nonce;
    EXPECT_EQ(startBody["callback_port"], port);
    EXPECT_EQ(nlohmann::json::parse(exchange[0]["body"].get<std::string>())["device_nonce"], nonce);
}

TEST_F(SignInTest, SigningInWhileSignedInDoesNothing) {
    ASSERT_TRUE(signIn().has_value());
    stub.clearRequests();
    states.clear();
    EXPECT_TRUE(signIn().has_value());
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(stub.requests().size(), 0u);
}

TEST_F(SignInTest, ASecondStartWhileWaitingReopensThePageAndStartsNothing) {
    browser.follows = false;
    bool firstDone = false;
    session->startSignIn([&](auto r) { firstDone = r.has_value(); });
    // Before the page is known, a second start just returns.
    int early = 0;
    session->startSignIn([&](auto r) { early += r.has_value(); });
    EXPECT_EQ(early, 1);
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return browser.opened.size() == 1; }));
    int again = 0;
    session->startSignIn([&](auto r) { again += r.has_value(); });
    EXPECT_EQ(again, 1);
    ASSERT_EQ(browser.opened.size(), 2u);
    EXPECT_EQ(browser.opened[1], browser.opened[0]);
    EXPECT_EQ(count("/v1/auth/desktop/start"), 1u);

    browser.visit(browser.opened[0]);
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return firstDone; }));
    EXPECT_TRUE(session->isAuthenticated());
}

TEST_F(SignInTest, AnUnsafeAuthURLIsNeverOpened) {
    const char* urls[] = {"javascript:alert(1)", "http://example.com/signin", "file:///etc/passwd",
                          "not a url"};
    for (const char* url : urls) {
        stub.script({{"/v1/auth/desktop/start",
                      {{"status", 200}, {"body", {{"auth_url", url}, {"request_id", "r"}}}}}});
        const auto result = signIn();
        ASSERT_FALSE(result.has_value()) << url;
        EXPECT_EQ(result.error().kind, Kind::invalidAuthURL);
        EXPECT_EQ(session->state(), State::error("Invalid OAuth URL received from server"));
    }
    EXPECT_TRUE(browser.opened.empty());
    EXPECT_TRUE(DesktopCallbackServer::listenOnLoopback(port).has_value()) << "a server was left";
}

TEST_F(SignInTest, AFailedUserLookupStoresNothing) {
    stub.script({{"/v1/me", {{"status", 500}, {"body", ""}}}});
    const auto result = signIn();
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().errorDescription(), "Sign in failed: The server failed (status 500)");
    EXPECT_EQ(session->state(), State::error("The server failed (status 500)"));
    EXPECT_EQ(secrets.itemCount(), 0u);
    EXPECT_EQ(session->accessToken(), std::nullopt);
    // After a failure a new attempt starts, with a new nonce.
    ASSERT_TRUE(signIn().has_value());
    const auto starts = stub.requestsTo("/v1/auth/desktop/start");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_NE(starts[0]["body"], starts[1]["body"]);
}

TEST_F(SignInTest, ABusyCallbackPortGivesWayToAFreeOneThatTheStartRequestCarries) {
    auto holder = DesktopCallbackServer::listenOnLoopback(port);
    ASSERT_TRUE(holder.has_value());
    const auto result = signIn();
    ASSERT_TRUE(result.has_value()) << result.error().errorDescription();
    const auto start = stub.requestsTo("/v1/auth/desktop/start");
    ASSERT_EQ(start.size(), 1u);
    const auto carried =
        nlohmann::json::parse(start[0]["body"].get<std::string>())["callback_port"];
    EXPECT_NE(carried, port);
    EXPECT_GT(carried.get<int>(), 0);
    EXPECT_EQ(browser.callbackReply.status, 200);
}

// Any local program can reach the loopback port before the browser does.
TEST_F(SignInTest, AJunkGrantIsAnsweredAndIgnoredAndTheBrowserStillSignsIn) {
    browser.follows = false;
    std::optional<AuthSessionManager::SignInResult> result;
    session->startSignIn([&](auto r) { result = r; });
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return browser.opened.size() == 1; }));

    // Sent from a thread: the loop must run while the service checks it.
    auto junk = std::async(std::launch::async, [p = port] {
        testing::SocketClient intruder(p);
        intruder.send("GET /?grant=junk HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        return intruder.readUntilClosed(10).value_or("(no answer)");
    });
    ASSERT_TRUE(testing::runEventLoopUntil(
        [&] { return junk.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_THAT(junk.get(), ::testing::StartsWith("HTTP/1.1 400"));
    testing::runEventLoopFor(0.2);
    EXPECT_FALSE(result.has_value()) << "the junk grant ended the sign-in";
    EXPECT_EQ(session->state(), State::signingIn());

    browser.visit(browser.opened[0]);
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return result.has_value(); }));
    ASSERT_TRUE(result->has_value()) << result->error().errorDescription();
    testing::runEventLoopUntil([&] { return browser.callbackReply.status != 0; }, 5);
    EXPECT_EQ(browser.callbackReply.status, 200);
    EXPECT_EQ(count("/v1/auth/desktop/exchange"), 2u);
}

TEST_F(SignInTest, AWaitThatRunsOutSaysItTimedOut) {
    session = std::make_unique<AuthSessionManager>(
        client, keychain, clock, browser, linux_desktop::qtMainLoopPost(),
        AuthSessionManager::Options{.callbackPort = port, .grantWaitSeconds = 0.3});
    browser.follows = false;
    const auto result = signIn();
    ASSERT_FALSE(result.has_value());
    const std::string text =
        "Timed out waiting for the browser: the sign-in was not finished in time";
    EXPECT_EQ(result.error(), (AuthSessionManager::AuthError{Kind::signInFailed, text}));
    EXPECT_EQ(session->state(), State::error(text));
}

TEST_F(SignInTest, SignOutDuringTheWaitEndsTheAttemptForGood) {
    browser.follows = false;
    int completions = 0;
    session->startSignIn([&](auto) { ++completions; });
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return browser.opened.size() == 1; }));
    session->signOut();
    EXPECT_EQ(session->state(), State::signedOut());
    // The browser comes back late: nobody listens any more, and the service
    // keeps the grant from a port that anyone may take now.
    browser.visit(browser.opened[0]);
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return browser.pageStatus != 0; }));
    EXPECT_EQ(browser.pageStatus, 409);
    testing::runEventLoopFor(0.5);
    EXPECT_EQ(browser.callbackAttempts, 0);
    EXPECT_EQ(browser.callbackReply.status, 0);
    EXPECT_EQ(session->state(), State::signedOut());
    EXPECT_EQ(secrets.itemCount(), 0u);
    EXPECT_EQ(completions, 0);
    // The port is free for the next attempt, which works.
    browser.follows = true;
    EXPECT_TRUE(signIn().has_value());
    EXPECT_TRUE(session->isAuthenticated());
}

// Records what would have gone out, and sends nothing.
class NoNetwork : public HttpTransport {
  public:
    Cancel send(HttpRequest request, Completion) override {
        sent.push_back(request.url);
        return {};
    }
    std::vector<std::string> sent;
};

TEST(SignInWithoutAServiceTest, NothingIsSentAndTheUserIsToldWhy) {
    NoNetwork network;
    MivoAPIClient unconfigured(network, "");
    sim::MemorySecretStore secrets;
    sim::CapturedLog log;
    KeychainStore keychain("com.mivo.auth", secrets, log);
    // A session stored by a run that had a service.
    keychain.set("access_token", "a");
    keychain.set("refresh_token", "r");
    keychain.set("access_token_expires_at", "1.0");
    sim::VirtualClock clock;
    testing::BrowserStandIn browser(network);
    AuthSessionManager session(unconfigured, keychain, clock, browser, [](auto work) { work(); });

    bool restored = false;
    session.restoreSession([&] { restored = true; });
    EXPECT_TRUE(restored);
    EXPECT_EQ(session.state(), State::signedOut());
    // An address set but refused is told on the account card at start.
    setenv("MIVO_API_URL", "http://localhost:8080", 1);
    AuthSessionManager refused(unconfigured, keychain, clock, browser, [](auto work) { work(); });
    refused.restoreSession();
    unsetenv("MIVO_API_URL");
    EXPECT_EQ(refused.state(), State::error(refusedAddressText("http://localhost:8080")));

    // The alert and the account card say why: nothing set, or an address
    // refused, with what to write instead.
    const std::pair<const char*, std::string> rows[] = {
        {nullptr, kNoServiceConfigured},
        {"http://localhost:8080",
         "The address in MIVO_API_URL, \u201Chttp://localhost:8080\u201D, was refused: plain "
         "http is used only with a loopback address written as a number, because the name "
         "localhost may lead to [::1], where another user's program can answer. Write "
         "http://127.0.0.1:8080 instead."},
        {"http://mivo.example/api",
         "The address in MIVO_API_URL, \u201Chttp://mivo.example/api\u201D, was refused: plain "
         "http is used only with this machine's loopback addresses, because tokens would "
         "travel unencrypted. Write an https address, or http://127.0.0.1:PORT for a service "
         "on this machine."},
        // A dotted host the network library would look up as a name.
        {"http://127.0.0.08:8080",
         "The address in MIVO_API_URL, \u201Chttp://127.0.0.08:8080\u201D, was refused: the "
         "network library does not read 127.0.0.08 as an address but as a host name (a number "
         "written with a leading 0 is octal, which has no 8 or 9), and would look it up in the "
         "hosts file and DNS, so the tokens could leave this machine unencrypted. Write "
         "http://127.0.0.1:8080 instead."},
        {"http://00127.0.0.1:8080",
         "The address in MIVO_API_URL, \u201Chttp://00127.0.0.1:8080\u201D, was refused: the "
         "network library reads 00127.0.0.1 as 87.0.0.1 (a number written with a leading 0 is "
         "octal), which is not this machine, and plain http is used only with this machine's "
         "loopback addresses, because tokens would travel unencrypted. Write "
         "http://127.0.0.1:8080 instead."},
        // As pasted, with a space after it.
        {"http://127.0.0.1:8080/ ",
         "The address in MIVO_API_URL, \u201Chttp://127.0.0.1:8080/ \u201D, was refused: it "
         "holds a space at its end. Write the address without spaces."},
        // Addresses the network library does not read: what it takes.
        {"http://127.0.0.1:123456",
         "The address in MIVO_API_URL, \u201Chttp://127.0.0.1:123456\u201D, was refused: its "
         "port, \u201C123456\u201D, is not a number from 0 to 65535. Write "
         "http://127.0.0.1:PORT with the port your service listens on, or an https address."},
        {"http://127.0.0.1:evil.test:8080",
         "The address in MIVO_API_URL, \u201Chttp://127.0.0.1:evil.test:8080\u201D, was "
         "refused: its port, \u201Cevil.test:8080\u201D, is not a number from 0 to 65535. "
         "Write http://127.0.0.1:PORT with the port your service listens on, or an https "
         "address."},
        {"http://me@evil.test@127.0.0.1:8080",
         "The address in MIVO_API_URL, \u201Chttp://me@evil.test@127.0.0.1:8080\u201D, was "
         "refused: it holds more than one @ before the host, and the network library does not "
         "read such an address. Write http://127.0.0.1:8080 for a service on this machine, or "
         "an https address."},
        {"http://[::1]x:8080",
         "The address in MIVO_API_URL, \u201Chttp://[::1]x:8080\u201D, was refused: after "
         "the ] that closes [::1] comes \u201Cx:8080\u201D, where only a colon and a port may "
         "follow. Write http://[::1]:PORT or http://127.0.0.1:PORT instead."},
        {"127.0.0.1:8080",
         "The address in MIVO_API_URL, \u201C127.0.0.1:8080\u201D, was refused: it does not "
         "begin with http:// or https://. Write http://127.0.0.1:8080 for a service on this "
         "machine, or an https address."},
    };
    for (const auto& [address, says] : rows) {
        SCOPED_TRACE(address ? address : "(not set)");
        if (address)
            setenv("MIVO_API_URL", address, 1);
        std::optional<AuthSessionManager::SignInResult> result;
        session.startSignIn([&](auto r) { result = r; });
        unsetenv("MIVO_API_URL");
        ASSERT_TRUE(result.has_value());
        ASSERT_FALSE(result->has_value());
        EXPECT_EQ(result->error().errorDescription(), "Sign in failed: " + says);
        EXPECT_EQ(session.state(), State::error(says));
    }

    std::optional<AuthSessionManager::TokenResult> token;
    session.validAccessToken([&](auto t) { token = t; });
    ASSERT_TRUE(token.has_value());
    EXPECT_FALSE(token->has_value());
    session.signOut();

    EXPECT_THAT(network.sent, ::testing::IsEmpty());
    EXPECT_TRUE(browser.opened.empty());
}

TEST(AuthURLTest, OnlyHttpsOrLoopbackHttpIsOpened) {
    const std::pair<const char*, bool> rows[] = {
        {"https://mivo.example/signin?x=1", true},
        {"HTTPS://mivo.example", true},
        {"http://127.0.0.1:8787/dev/signin?request_id=1", true},
        {"http://127.9.9.9/x", true},
        {"http://localhost:8787/", false},
        {"http://LOCALHOST:8787/", false},
        {"http://[::1]:8787/", true},
        {"http://example.com/", false},
        {"http://127.0.0.1.evil.example/", false},
        {"http://127.0.0.1@evil.example/", false},
        {"http://1270.0.0.1/", false},
        {"http://128.0.0.1/", false},
        // As the network library reads the number (held against it in the
        // transport's tests); a name when it cannot read one.
        {"http://127.000.000.001:8080/", true},
        {"http://127.0.0.08:8080/", false},
        {"http://00127.0.0.1/", false},
        {"http://[0:0:0:0:0:0:0:1]/", false},
        // What the network library refuses to read, though the host is
        // fine; a port it reads, with leading zeros or none after ":".
        {"http://127.0.0.1:123456/", false},
        {"http://127.0.0.1:65536/", false},
        {"http://127.0.0.1:80a/", false},
        {"http://127.0.0.1:evil.test:8080/", false},
        {"http://a@b@127.0.0.1:8080/", false},
        {"http://[::1]x:8080/", false},
        {"https://mivo.example:99999/", false},
        {"http://127.0.0.1:65535/", true},
        {"http://127.0.0.1:0000000080/", true},
        {"http://127.0.0.1:/", true},
        {"javascript:alert(1)", false},
        {"file:///etc/passwd", false},
        {"ftp://127.0.0.1/", false},
        {"https://", false},
        {"https://mivo.example/a b", false},
        {"", false},
    };
    for (const auto& [url, ok] : rows)
        EXPECT_EQ(isAcceptableAuthURL(url), ok) << url;
}

}  // namespace
}  // namespace mivo
