// Restore, silent refresh and sign-out against mivo-api-stub; expiry is
// decided on the virtual clock.

#include <gmock/gmock.h>

#include "neighbour_sockets.hpp"
#include "session_fixture.hpp"

namespace mivo {
namespace {

using ::testing::ElementsAre;
using Kind = AuthSessionManager::AuthError::Kind;
using State = AuthSessionManager::State;

class SessionTokensTest : public testing::SessionTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(signIn().has_value());
        signedIn = session->state();
        stub.clearRequests();
        states.clear();
    }
    // A new process: the same keychain, a fresh manager.
    void restart() {
        session = makeSession();
        states.clear();
    }

    State signedIn;
};

TEST_F(SessionTokensTest, SixtySecondsLeftIsNoRefreshButLessIs) {
    const auto first = session->accessToken();
    advanceToSecondsLeft(60);
    EXPECT_EQ(token().value_or("(none)"), first);
    EXPECT_EQ(count("/v1/auth/refresh"), 0u);

    advanceToSecondsLeft(59.9);
    const auto renewed = token();
    ASSERT_TRUE(renewed.has_value());
    EXPECT_NE(*renewed, first);
    EXPECT_EQ(count("/v1/auth/refresh"), 1u);
    EXPECT_EQ(stored("access_token"), *renewed);
    EXPECT_EQ(stored("access_token_expires_at"),
              KeychainStore::formatExpiry(clock.wallClockNow() + std::chrono::seconds(3600)));
}

TEST_F(SessionTokensTest, TwoCallersShareOneRefreshAndOneUserLookup) {
    advanceToSecondsLeft(30);
    testing::Answer<AuthSessionManager::TokenResult> a, b;
    session->validAccessToken(a.callback());
    session->validAccessToken(b.callback());
    ASSERT_TRUE(a.wait());
    ASSERT_TRUE(b.wait());
    EXPECT_EQ(count("/v1/auth/refresh"), 1u);
    EXPECT_EQ(count("/v1/me"), 1u);
    ASSERT_TRUE(a.value->has_value());
    EXPECT_EQ(*a.value, *b.value);
    EXPECT_EQ(**a.value, *session->accessToken());
    // The next expiry starts a new refresh.
    advanceToSecondsLeft(10);
    EXPECT_TRUE(token().has_value());
    EXPECT_EQ(count("/v1/auth/refresh"), 2u);
}

TEST_F(SessionTokensTest, ARefreshAnswered401EndsTheSession) {
    stub.script({{"/v1/auth/refresh", {{"status", 401}, {"body", {{"error", "invalid"}}}}}});
    advanceToSecondsLeft(-5);
    testing::Answer<AuthSessionManager::TokenResult> a, b;
    session->validAccessToken(a.callback());
    session->validAccessToken(b.callback());
    ASSERT_TRUE(a.wait() && b.wait());
    EXPECT_EQ(a.value->error().kind, Kind::notAuthenticated);
    EXPECT_EQ(b.value->error().errorDescription(), "Not authenticated");
    EXPECT_THAT(states,
                ElementsAre(State::sessionEnded("the service refused the refresh token (401)")));
    EXPECT_EQ(secrets.itemCount(), 0u);
    EXPECT_EQ(session->accessToken(), std::nullopt);
}

TEST_F(SessionTokensTest, ARefreshWhoseUserLookupFailsHandsOutTheNewTokenAtOnce) {
    const auto old = session->accessToken();
    stub.script({{"/v1/me", {{"status", 503}, {"body", ""}}}});
    advanceToSecondsLeft(10);
    const auto renewed = token();
    ASSERT_TRUE(renewed.has_value());
    EXPECT_NE(*renewed, old) << "the spent token was handed out";
    EXPECT_EQ(stored("access_token"), *renewed);
    EXPECT_TRUE(states.empty());
    EXPECT_TRUE(session->isAuthenticated());
    // The new token is good for an hour: no second refresh.
    EXPECT_EQ(token(), *renewed);
    EXPECT_EQ(count("/v1/auth/refresh"), 1u);
}

TEST_F(SessionTokensTest, AnOfflineRefreshKeepsTheSessionAndTheOldToken) {
    const auto old = session->accessToken();
    stub.script({{"/v1/auth/refresh", {{"drop", true}}}});
    advanceToSecondsLeft(10);
    EXPECT_EQ(token().value_or("(none)"), old);
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(secrets.itemCount(), 5u);
}

TEST_F(SessionTokensTest, RestoreTakesTheStoredSessionBack) {
    const auto storedToken = stored("access_token");
    restart();
    restore();
    EXPECT_THAT(states, ElementsAre(signedIn));
    EXPECT_EQ(session->accessToken(), storedToken);
    EXPECT_EQ(count("/v1/me"), 1u);
    EXPECT_EQ(count("/v1/auth/refresh"), 0u);
}

// The next start finds the keyring locked and the user dismisses its
// prompt: the session waits, said as such, and comes back once the keyring
// is unlocked, without a new sign-in.
TEST_F(SessionTokensTest, ASessionInALockedKeyringComesBackOnceItIsUnlocked) {
    auto lockedSecrets = std::make_shared<sim::MemorySecretStore>();
    for (const char* key : KeychainStore::kSessionKeys) {
        if (auto value = stored(key)) {
            ASSERT_TRUE(lockedSecrets->add("com.mivo.auth", key, *value).has_value());
        }
    }
    lockedSecrets->lock(true);
    KeychainStore lockedKeychain(
        "com.mivo.auth", lockedSecrets, log,
        KeychainStore::Offload{.post = linux_desktop::qtMainLoopPost(), .scheduler = &clock});
    AuthSessionManager restarted(client, lockedKeychain, clock, browser,
                                 linux_desktop::qtMainLoopPost());
    std::vector<State> seen;
    restarted.onStateChanged = [&](const State& state) { seen.push_back(state); };
    lockedKeychain.onUnlocked = [&] { restarted.restoreSession(); };

    bool done = false;
    restarted.restoreSession([&] { done = true; });
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return done; }));
    EXPECT_THAT(seen, ElementsAre(State::keyringLocked()));
    EXPECT_EQ(lockedSecrets->unlockPrompts(), 1);
    EXPECT_EQ(count("/v1/me"), 0u);

    lockedSecrets->lock(false);
    clock.advance(KeychainStore::kUnlockCheckSeconds);
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen.back(), signedIn);
    EXPECT_EQ(count("/v1/auth/desktop/start"), 0u);
}

TEST_F(SessionTokensTest, RestoreOfAnExpiredTokenRefreshesFirst) {
    advanceToSecondsLeft(0);
    restart();
    restore();
    EXPECT_TRUE(session->isAuthenticated());
    EXPECT_EQ(count("/v1/auth/refresh"), 1u);
    EXPECT_EQ(stored("access_token"), session->accessToken());
}

// The expiry is a date, the same after a reboot or a suspend; what older
// builds stored (seconds of uptime) reads as long past, so the token is
// refreshed instead of handed out.
TEST_F(SessionTokensTest, TheExpiryIsStoredAsACalendarDateAndOldUptimeValuesAreRefreshed) {
    const auto written = KeychainStore::parseExpiry(stored("access_token_expires_at").value());
    ASSERT_TRUE(written.has_value());
    const double now =
        std::chrono::duration<double>(clock.wallClockNow().time_since_epoch()).count();
    EXPECT_DOUBLE_EQ(*written, now + 3600);

    for (const char* uptime : {"5437.78", "0.0", "-1.0"}) {
        SCOPED_TRACE(uptime);
        keychain.set("access_token_expires_at", uptime);
        restart();
        stub.clearRequests();
        restore();
        EXPECT_TRUE(session->isAuthenticated());
        EXPECT_EQ(count("/v1/auth/refresh"), 1u);
        EXPECT_EQ(stored("access_token_expires_at"),
                  KeychainStore::formatExpiry(clock.wallClockNow() + std::chrono::seconds(3600)));
    }
}

TEST_F(SessionTokensTest, RestoreWithoutAKnownExpiryNeverRefreshes) {
    keychain.set("access_token_expires_at", "soon");
    restart();
    restore();
    ASSERT_TRUE(session->isAuthenticated());
    clock.advance(10 * 3600);
    EXPECT_TRUE(token().has_value());
    EXPECT_EQ(count("/v1/auth/refresh"), 0u);
}

TEST_F(SessionTokensTest, AnOfflineRestoreKeepsTheKeysAndTriesAgainOnTheNextTokenRequest) {
    restart();
    stub.script({{"/v1/me", {{"drop", true}}}});
    restore();
    EXPECT_TRUE(states.empty()) << "an offline start changed the state";
    EXPECT_EQ(session->state(), State::signedOut());
    EXPECT_EQ(secrets.itemCount(), 5u);

    // Back online: the next token request restores first.
    const auto t = token();
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(*t, stored("access_token"));
    EXPECT_TRUE(session->isAuthenticated());
    EXPECT_EQ(count("/v1/me"), 2u);
}

// A session stored by a run whose address worked, restored through one that
// cannot: the card says so instead of a silent sign-out, and the keys stay;
// also for a session of an earlier day, whose token is refreshed first.
TEST_F(SessionTokensTest, ARestoreFromAnAddressThatCannotWorkSaysWhy) {
    const std::string standIn = std::to_string(stub.port());
    const std::string elsewhere = "http://127.0.0.2:" + standIn;
    auto left = std::make_unique<testing::Listener>(0);
    const std::string nothing = "http://127.0.0.1:" + std::to_string(left->port);
    left.reset();
    // Another user took the port that the user's own service left.
    std::unique_ptr<testing::Listener> taken;
    {
        testing::AsAnotherUser other;
        taken = std::make_unique<testing::Listener>(0);
    }
    const std::string takenAt = "http://127.0.0.1:" + std::to_string(taken->port);
    const std::pair<std::string, State> rows[] = {
        {elsewhere,
         State::error("The server at " + elsewhere +
                          " could not be reached (Connection refused). The stand-in web service "
                          "(scripts/run.sh) listens on 127.0.0.1 only: write "
                          "http://127.0.0.1:" +
                          standIn + " in MIVO_API_URL.",
                      true, true)},
        // Nothing listens on this machine where the service was: no network
        // lies between, and the session waits in the keyring.
        {nothing,
         State::error("The server at " + nothing + " could not be reached (Connection refused)",
                      true, false)},
        {takenAt,
         State::error("The address in MIVO_API_URL, \u201C" + takenAt +
                          "\u201D, was refused: another program, not yours, answers at " + takenAt +
                          ", so nothing of your session was sent there. If your own service "
                          "listened there, it has ended and the port was taken: start it again "
                          "(scripts/run.sh starts the stand-in on a free port and Mivo with its "
                          "address).",
                      true, true)},
    };
    for (const bool expired : {false, true}) {
        if (expired)
            advanceToSecondsLeft(-3600);
        for (const auto& [address, told] : rows) {
            SCOPED_TRACE(address + (expired ? ", expired" : ", still valid"));
            MivoAPIClient api{transport, address};
            session = std::make_unique<AuthSessionManager>(
                api, keychain, clock, browser, linux_desktop::qtMainLoopPost(),
                AuthSessionManager::Options{.callbackPort = port});
            session->onStateChanged = [&](const State& s) { states.push_back(s); };
            states.clear();
            restore();
            EXPECT_THAT(states, ElementsAre(told));
            EXPECT_EQ(secrets.itemCount(), 5u);
            session.reset();
        }
    }
}

TEST_F(SessionTokensTest, AnOfflineRestoreThroughTheRefreshAlsoTriesAgain) {
    advanceToSecondsLeft(-1);
    restart();
    stub.script({{"/v1/auth/refresh", {{"status", 502}, {"body", ""}}}});
    restore();
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(secrets.itemCount(), 5u);
    // The sign-in button finds the stored session good: no browser needed.
    EXPECT_TRUE(signIn().has_value());
    EXPECT_TRUE(session->isAuthenticated());
    EXPECT_TRUE(browser.opened.size() == 1u) << "the browser was opened again";
    EXPECT_EQ(count("/v1/auth/desktop/start"), 0u);
}

TEST_F(SessionTokensTest, SignOutDuringARefreshStaysSignedOut) {
    const auto old = session->accessToken();
    stub.script({{"/v1/auth/refresh", {{"delay", 1.0}}}});
    advanceToSecondsLeft(10);
    testing::Answer<AuthSessionManager::TokenResult> waiting;
    session->validAccessToken(waiting.callback());
    bool signedOut = false;
    session->signOut([&] { signedOut = true; });
    ASSERT_TRUE(waiting.wait());
    EXPECT_EQ(waiting.value->error().kind, Kind::notAuthenticated);
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return signedOut; }));
    testing::runEventLoopFor(1.5);  // long enough for a late refresh answer
    EXPECT_THAT(states, ElementsAre(State::signedOut()));
    EXPECT_EQ(secrets.itemCount(), 0u);
    EXPECT_EQ(session->accessToken(), std::nullopt);
    const auto logout = stub.requestsTo("/v1/auth/logout");
    ASSERT_EQ(logout.size(), 1u);
    EXPECT_EQ(logout[0]["headers"]["authorization"], "Bearer " + testing::StubProcess::inLog(*old));
}

TEST_F(SessionTokensTest, SignOutOfflineStillEndsTheLocalSession) {
    stub.script({{"/v1/auth/logout", {{"drop", true}}}});
    bool done = false;
    session->signOut([&] { done = true; });
    EXPECT_THAT(states, ElementsAre(State::signedOut()));
    EXPECT_EQ(secrets.itemCount(), 0u);
    EXPECT_TRUE(testing::runEventLoopUntil([&] { return done; }));
    const auto t = token();
    EXPECT_EQ(t.error().kind, Kind::notAuthenticated);
}

TEST_F(SessionTokensTest, SignOutWithoutATokenSendsNoLogout) {
    restart();  // nothing in memory yet
    bool done = false;
    session->signOut([&] { done = true; });
    EXPECT_TRUE(done);
    EXPECT_THAT(states, ElementsAre(State::signedOut()));
    EXPECT_EQ(secrets.itemCount(), 0u);
    EXPECT_EQ(count("/v1/auth/logout"), 0u);
}

TEST_F(SessionTokensTest, ARefreshWithoutAStoredRefreshTokenEndsTheSession) {
    keychain.remove("refresh_token");
    advanceToSecondsLeft(10);
    EXPECT_EQ(token().error().kind, Kind::notAuthenticated);
    EXPECT_THAT(states, ElementsAre(State::signedOut()));
    EXPECT_EQ(session->accessToken(), std::nullopt);
    EXPECT_EQ(secrets.itemCount(), 0u);
}

}  // namespace
}  // namespace mivo
