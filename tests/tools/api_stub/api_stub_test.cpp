// The stand-in web service: its sign-in, token and rewrite rules, scripted
// failures, request log and command line, over real HTTP.

#include <gmock/gmock.h>

#include <chrono>
#include <string>
#include <vector>

#include "account_book.hpp"
#include "callback_port.hpp"
#include "refusal_log.hpp"
#include "stub_options.hpp"
#include "stub_process.hpp"
#include "stub_script.hpp"

namespace mivo {
namespace {

using nlohmann::json;
using testing::StubProcess;
using testing::StubReply;

const std::string kDeviceHash(64, 'a');
// Device nonces as Mivo makes them: 32 hexadecimal digits.
const std::string kNonce = "0123456789ABCDEF0123456789ABCDEF";
const std::string kOtherNonce = "FEDCBA9876543210FEDCBA9876543210";

json with(json base, const json& changes) {
    base.update(changes);
    return base;
}

std::string prefixOf(const testing::CallbackPort& callback) {
    return "http://127.0.0.1:" + std::to_string(callback.port()) + "/?grant=";
}

class ApiStubTest : public ::testing::Test {
  protected:
    StubReply post(const std::string& path, const json& body,
                   std::map<std::string, std::string> headers = {}) const {
        auto reply = stub.send("POST", path, body.dump(), headers);
        EXPECT_TRUE(reply.has_value()) << path;
        return reply.value_or(StubReply{});
    }
    json postJson(const std::string& path, const json& body, int status = 200) const {
        const auto reply = post(path, body);
        EXPECT_EQ(reply.status, status) << path << " " << reply.body;
        return json::parse(reply.body, nullptr, false);
    }
    // The grant that the browser brings back to the loopback callback.
    std::string signInGrant(const std::string& nonce) const {
        const auto start = postJson("/v1/auth/desktop/start",
                                    {{"device_nonce", nonce}, {"callback_port", callback.port()}});
        const std::string authUrl = start["auth_url"];
        const std::string prefix = stub.baseURL();
        EXPECT_TRUE(authUrl.starts_with(prefix + "/dev/signin?")) << authUrl;
        const auto page = stub.send("GET", authUrl.substr(prefix.size()));
        EXPECT_EQ(page->status, 302);
        const std::string location = page->headers.at("Location");
        EXPECT_TRUE(location.starts_with(callbackPrefix)) << location;
        return location.substr(location.find("grant=") + 6);
    }
    json signIn() const {
        return postJson("/v1/auth/desktop/exchange",
                        {{"grant", signInGrant(kNonce)}, {"device_nonce", kNonce}});
    }
    int meStatus(const std::string& token) const {
        return stub.send("GET", "/v1/me", "", {{"Authorization", "Bearer " + token}})->status;
    }
    StubReply convert(const json& body, const std::string& token) const {
        return post("/v1/rewrite/convert", body,
                    {{"Authorization", "Bearer " + token}, {"X-Mivo-Device-Id", kDeviceHash}});
    }

    StubProcess stub;
    testing::CallbackPort callback;
    std::string callbackPrefix = prefixOf(callback);
};

TEST_F(ApiStubTest, AGrantServesOnceAndOnlyTheNonceThatAskedForIt) {
    const std::string grant = signInGrant(kNonce);
    EXPECT_EQ(postJson("/v1/auth/desktop/exchange",
                       {{"grant", grant}, {"device_nonce", kOtherNonce}}, 400)["error"],
              "nonce_mismatch");
    const json tokens =
        postJson("/v1/auth/desktop/exchange", {{"grant", grant}, {"device_nonce", kNonce}});
    EXPECT_TRUE(tokens["expires_in"].is_number_integer());
    EXPECT_EQ(meStatus(tokens["access_token"]), 200);
    EXPECT_EQ(postJson("/v1/auth/desktop/exchange", {{"grant", grant}, {"device_nonce", kNonce}},
                       400)["error"],
              "invalid_grant");
}

TEST_F(ApiStubTest, RefreshRotatesAndLogoutRevokes) {
    const json first = signIn();
    const json second = postJson("/v1/auth/refresh", {{"refresh_token", first["refresh_token"]}});
    EXPECT_NE(second["access_token"], first["access_token"]);
    EXPECT_EQ(meStatus(first["access_token"]), 401);
    EXPECT_EQ(meStatus(second["access_token"]), 200);
    // The replaced token works once more, as after a lost answer: the
    // tokens that answer carried go, and then it is spent for good.
    const json third = postJson("/v1/auth/refresh", {{"refresh_token", first["refresh_token"]}});
    EXPECT_EQ(meStatus(second["access_token"]), 401);
    EXPECT_EQ(meStatus(third["access_token"]), 200);
    EXPECT_EQ(post("/v1/auth/refresh", {{"refresh_token", second["refresh_token"]}}).status, 401);
    EXPECT_EQ(post("/v1/auth/refresh", {{"refresh_token", first["refresh_token"]}}).status, 401);

    const auto out =
        stub.send("POST", "/v1/auth/logout", "",
                  {{"Authorization", "Bearer " + third["access_token"].get<std::string>()}});
    EXPECT_EQ(out->status, 204);
    EXPECT_EQ(meStatus(third["access_token"]), 401);
    EXPECT_EQ(post("/v1/auth/refresh", {{"refresh_token", third["refresh_token"]}}).status, 401);
}

TEST_F(ApiStubTest, ShortTokenLifetimeAndCallbackPortOnRequest) {
    const testing::CallbackPort configured;
    stub.config({{"expires_in", 5}, {"callback_port", configured.port()}});
    callbackPrefix = prefixOf(configured);
    EXPECT_EQ(signIn()["expires_in"], 5);
}

TEST(ApiStubCommandLine, CallbackPortAndLifetimeFromOptions) {
    const testing::CallbackPort callback;
    StubProcess stub({"--callback-port", std::to_string(callback.port()), "--expires-in", "7"});
    const auto start = stub.send("POST", "/v1/auth/desktop/start",
                                 json{{"device_nonce", kNonce}, {"callback_port", 9999}}.dump());
    const std::string authUrl = json::parse(start->body)["auth_url"];
    const auto page = stub.send("GET", authUrl.substr(stub.baseURL().size()));
    const std::string location = page->headers.at("Location");
    EXPECT_TRUE(location.starts_with(prefixOf(callback))) << location;
    const auto tokens = stub.send(
        "POST", "/v1/auth/desktop/exchange",
        json{{"grant", location.substr(location.find("grant=") + 6)}, {"device_nonce", kNonce}}
            .dump());
    EXPECT_EQ(json::parse(tokens->body)["expires_in"], 7);
}

TEST(ApiStubUpdateFeed, AnnouncesTheConfiguredVersionAndIsAbsentWithoutOne) {
    StubProcess stub({"--update-version", "9.1.0", "--update-notes-url", "https://mivo.test/n"});
    auto feed = stub.send("GET", "/update/feed.json");
    ASSERT_TRUE(feed.has_value());
    EXPECT_EQ(feed->status, 200);
    EXPECT_EQ(json::parse(feed->body),
              (json{{"version", "9.1.0"}, {"notes_url", "https://mivo.test/n"}}));
    EXPECT_EQ(stub.requestsTo("/update/feed.json").size(), 1u);

    StubProcess bare;
    EXPECT_EQ(bare.send("GET", "/update/feed.json")->status, 404);
    bare.config({{"update_version", "0.2.0"}});
    feed = bare.send("GET", "/update/feed.json");
    EXPECT_EQ(json::parse(feed->body), (json{{"version", "0.2.0"}}));
    EXPECT_EQ(bare.send("POST", "/dev/config", R"({"update_version":2})")->status, 400);
    // Scripted failures reach the feed like any endpoint.
    bare.script({{"/update/feed.json", {{"status", 503}, {"body", ""}}}});
    EXPECT_EQ(bare.send("GET", "/update/feed.json")->status, 503);
}

TEST_F(ApiStubTest, ImproveAppliesTheEnginesSuggestionsOtherActionsLeaveTheText) {
    const std::string token = signIn()["access_token"];
    struct Case {
        json body;
        std::string rewritten;
        bool unchanged;
    };
    const json base{{"surface_tag", "unknown"}, {"request_id", "r-1"}};
    const Case cases[] = {
        {{{"target_text", "私はは学生です。宿題をを終えた。"}, {"rewrite_action", "improve"}},
         "私は学生です。宿題を終えた。",
         false},
        {{{"target_text", "今日は晴れです。"}, {"rewrite_action", "improve"}},
         "今日は晴れです。",
         true},
        {{{"target_text", "私はは学生です。"},
          {"rewrite_action", "tone"},
          {"target_register", "casual"}},
         "私はは学生です。",
         true},
        {{{"target_text", "私はは学生です。"}, {"rewrite_action", "translate"}},
         "私はは学生です。",
         true},
    };
    for (const auto& c : cases) {
        json body = base;
        body.update(c.body);
        const auto reply = convert(body, token);
        ASSERT_EQ(reply.status, 200) << reply.body;
        const json answer = json::parse(reply.body);
        EXPECT_EQ(answer["rewritten_text"], c.rewritten) << body.dump();
        EXPECT_EQ(answer["unchanged"], c.unchanged) << body.dump();
        EXPECT_EQ(answer["request_id"], "r-1");
        EXPECT_EQ(answer["rewrite_action"], body["rewrite_action"]);
        EXPECT_EQ(answer.contains("target_register"), body.contains("target_register"));
        EXPECT_TRUE(answer["latency_ms"].is_number_integer());
    }
}

TEST_F(ApiStubTest, RewriteRequestsAreChecked) {
    const std::string token = signIn()["access_token"];
    const json good{{"target_text", "こんにちは。"},
                    {"rewrite_action", "improve"},
                    {"surface_tag", "unknown"},
                    {"request_id", "r"}};
    EXPECT_EQ(convert(good, "wrong").status, 401);
    EXPECT_EQ(post("/v1/rewrite/convert", good, {{"Authorization", "Bearer " + token}}).status,
              400);
    const json bad[] = {
        with(good, {{"rewrite_action", "shout"}}),
        with(good, {{"target_register", "polite"}}),
        with(good, {{"rewrite_action", "tone"}}),
        with(good, {{"target_text", 3}}),
        with(good, {{"extra", "x"}}),
        json::array(),
    };
    for (const auto& body : bad)
        EXPECT_EQ(convert(body, token).status, 400) << body.dump();

    const json rating{{"rewrite_action", "tone"},    {"rating", "thumbs_down"},
                      {"source_text", "a"},          {"converted_text", "b"},
                      {"target_register", "polite"}, {"feedback_text", "too stiff"}};
    const auto fb = post("/v1/feedback/conversion", rating, {{"Authorization", "Bearer " + token}});
    ASSERT_EQ(fb.status, 200);
    EXPECT_TRUE(json::parse(fb.body)["feedback_id"].is_string());
    EXPECT_EQ(post("/v1/feedback/conversion", with(rating, {{"rating", "meh"}}),
                   {{"Authorization", "Bearer " + token}})
                  .status,
              400);
}

TEST_F(ApiStubTest, ScriptedAnswersServeTheirTurnThenTheEndpointAnswersAgain) {
    stub.script(
        {{"/v1/health",
          json::array({{{"status", 503}, {"body", {{"error", "ProviderError"}}}, {"times", 2}},
                       {{"drop", true}},
                       {{"delay", 0.4}}})}});
    for (int i = 0; i < 2; ++i) {
        const auto reply = stub.send("GET", "/v1/health");
        EXPECT_EQ(reply->status, 503);
        EXPECT_EQ(json::parse(reply->body)["error"], "ProviderError");
    }
    EXPECT_FALSE(stub.send("GET", "/v1/health").has_value());
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(stub.send("GET", "/v1/health")->status, 200);
    EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(400));
    EXPECT_EQ(stub.send("GET", "/v1/health")->status, 200);
}

TEST_F(ApiStubTest, TheLogHoldsEveryServiceRequestButNotTheControlOnes) {
    stub.send("POST", "/v1/nowhere", "payload", {{"Authorization", "Bearer t"}});
    stub.send("GET", "/v1/health");
    const json log = stub.requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0]["method"], "POST");
    EXPECT_EQ(log[0]["path"], "/v1/nowhere");
    EXPECT_EQ(log[0]["body"], "payload");
    EXPECT_EQ(log[0]["headers"]["authorization"], "Bearer " + StubProcess::inLog("t"));
    EXPECT_FALSE(log[0]["headers"].contains("remote_addr"));
    EXPECT_EQ(log[1]["path"], "/v1/health");
    stub.clearRequests();
    EXPECT_TRUE(stub.requests().empty());
}

TEST_F(ApiStubTest, BadInputNeverStopsTheStub) {
    const std::string token = signIn()["access_token"];
    const std::map<std::string, std::string> auth{{"Authorization", "Bearer " + token},
                                                  {"X-Mivo-Device-Id", kDeviceHash}};
    const std::string bodies[] = {"{",
                                  "null",
                                  "[1,2]",
                                  R"({"device_nonce":5,"callback_port":"x"})",
                                  R"({"refresh_token":null,"grant":{}})",
                                  "\xff\xfe{\"a\":\"\xc3\"}",
                                  R"({"target_text":"\ud800","rewrite_action":"improve"})",
                                  std::string(3 << 20, 'x')};
    const std::string paths[] = {"/v1/auth/desktop/start",
                                 "/v1/auth/desktop/exchange",
                                 "/v1/auth/refresh",
                                 "/v1/auth/logout",
                                 "/v1/rewrite/convert",
                                 "/v1/feedback/conversion",
                                 "/dev/script",
                                 "/dev/config"};
    for (const auto& path : paths) {
        for (const auto& body : bodies) {
            const auto reply = stub.send("POST", path, body, auth);
            ASSERT_TRUE(reply.has_value()) << path;
            // Refused (or, for sign-out, done), never a success with data,
            // never the library's 500 for a handler that threw.
            EXPECT_NE(reply->status, 200) << path << " " << body.substr(0, 40);
            EXPECT_LT(reply->status, 500) << path << " " << body.substr(0, 40);
        }
    }
    EXPECT_EQ(stub.send("GET", "/v1/health")->status, 200);
    EXPECT_EQ(stub.send("GET", "/dev/signin?request_id=nothing")->status, 400);
}

TEST(ApiStubOptions, CommandLineTable) {
    struct Case {
        std::vector<std::string> args;
        bool accepted;
        int port;
    };
    const Case cases[] = {
        {{}, true, 8787},
        {{"--port", "0"}, true, 0},
        {{"--port", "8787", "--script", "s.json"}, true, 8787},
        {{"--port"}, false, 0},
        {{"--port", "65536"}, false, 0},
        {{"--port", "12ab"}, false, 0},
        {{"--callback-port", "0"}, false, 0},
        {{"--expires-in", "1.5"}, false, 0},
        {{"--verbose", "1"}, false, 0},
        {{"--update-version", "1.2.0", "--update-notes-url", "https://n"}, true, 8787},
        {{"--update-version"}, false, 0},
    };
    for (const auto& c : cases) {
        const auto options = stub::parseStubOptions(c.args);
        EXPECT_EQ(options.has_value(), c.accepted) << ::testing::PrintToString(c.args);
        if (options && c.accepted) {
            EXPECT_EQ(options->port, c.port);
        }
    }
}

TEST(ApiStubScript, MalformedScriptsAreRefusedAndChangeNothing) {
    stub::Script script;
    ASSERT_FALSE(script.load(R"({"/v1/me": {"status": 500}})").has_value());
    for (const char* bad :
         {"[]", "{", R"({"/v1/me": {"status": "500"}})", R"({"/v1/me": [{"delay": -1}]})",
          R"({"/v1/me": [3]})", R"({"/v1/me": {"drop": "yes"}})"}) {
        EXPECT_TRUE(script.load(bad).has_value()) << bad;
    }
    const auto kept = script.take("/v1/me");
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->status, 500);
    EXPECT_FALSE(script.take("/v1/me").has_value());
}

// The account book on a clock the test moves: what expires makes room,
// nothing live is pushed out, and past a cap newcomers are refused.
TEST(ApiStubAccountBook, OnlyWhatExpiredMakesRoom) {
    using Book = stub::AccountBook;
    using namespace std::chrono_literals;
    auto now = Book::Clock::now();
    Book book(3600, [&] { return now; });
    std::string first;
    for (std::size_t i = 0; i < Book::kMaxPendingSignIns; ++i) {
        const auto id = book.start(kNonce, 9999);
        ASSERT_TRUE(id.has_value());
        if (i == 0)
            first = *id;
    }
    EXPECT_EQ(book.start(kNonce, 9999).error(), Book::kTooManySignIns);
    now += Book::kSignInLifetime - 1s;
    const auto grant = book.approve(first);
    ASSERT_TRUE(grant.has_value());
    EXPECT_EQ(book.approve(first)->grant, grant->grant);
    now += 1s;
    EXPECT_FALSE(book.approve(first).has_value());
    EXPECT_EQ(book.exchange(grant->grant, kNonce).error(), "invalid_grant");

    auto signIn = [&] {
        const auto id = book.start(kNonce, 9999);
        return book.exchange(book.approve(id.value())->grant, kNonce);
    };
    const auto user = signIn();
    ASSERT_TRUE(user.has_value());
    for (std::size_t i = 1; i < Book::kMaxSessions; ++i)
        ASSERT_TRUE(signIn().has_value());
    EXPECT_EQ(signIn().error(), Book::kTooManySessions);
    EXPECT_TRUE(book.userFor(user->accessToken).has_value());
    // Expired access tokens can still be renewed: their sessions stay.
    now += 3600s + Book::kRefreshLifetime - 1s;
    EXPECT_EQ(signIn().error(), Book::kTooManySessions);
    const auto renewed = book.refresh(user->refreshToken, now);
    ASSERT_TRUE(renewed.has_value());
    now += 1s;
    EXPECT_TRUE(signIn().has_value());
    EXPECT_TRUE(book.userFor(renewed->accessToken).has_value());
}

// A refresh whose answer may have been lost, on a clock the test moves. Each
// step presents a refresh token: the one the session began with, its first
// successor, or the newest handed out, received `waited` before it is
// handled. Whatever happens, the session lives on as one session.
TEST(ApiStubAccountBook, ALostRefreshAnswerDoesNotEndTheSession) {
    using Book = stub::AccountBook;
    using namespace std::chrono_literals;
    enum class Token { original, successor, newest };
    struct Step {
        std::chrono::seconds later;
        Token token;
        std::chrono::seconds waited;
        const char* refused;  // nothing: served
    };
    struct Row {
        const char* what;
        std::vector<Step> steps;
    };
    const char* const invalid = Book::kInvalidRefreshToken;
    const Row rows[] = {
        {"the answer arrived",
         {{0s, Token::original, 0s, nullptr},
          {0s, Token::successor, 0s, nullptr},
          {0s, Token::original, 0s, invalid}}},
        {"the answer was lost and the client tried again at once",
         {{0s, Token::original, 0s, nullptr},
          {0s, Token::original, 0s, nullptr},
          {0s, Token::original, 0s, invalid},
          {0s, Token::successor, 0s, invalid},
          {0s, Token::newest, 0s, nullptr}}},
        {"tried again at the end of the grace",
         {{0s, Token::original, 0s, nullptr},
          {Book::kReuseGrace - 1s, Token::original, 0s, nullptr}}},
        {"tried again after the grace",
         {{0s, Token::original, 0s, nullptr},
          {Book::kReuseGrace, Token::original, 0s, invalid},
          {0s, Token::successor, 0s, nullptr}}},
        {"the request waited longer than the client",
         {{0s, Token::original, Book::kClientPatience + 1s, Book::kTooLate},
          {0s, Token::original, 0s, nullptr},
          {0s, Token::original, Book::kClientPatience, nullptr}}},
        {"a reuse waited longer than the client",
         {{0s, Token::original, 0s, nullptr},
          {0s, Token::original, Book::kClientPatience + 1s, Book::kTooLate},
          {0s, Token::successor, 0s, nullptr}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto now = Book::Clock::now();
        Book book(3600, [&] { return now; });
        const auto id = book.start(kNonce, 9999);
        const auto first = book.exchange(book.approve(id.value())->grant, kNonce);
        ASSERT_TRUE(first.has_value());
        std::string original = first->refreshToken;
        std::string successor;
        stub::Tokens newest = *first;
        for (std::size_t i = 0; i < row.steps.size(); ++i) {
            const Step& step = row.steps[i];
            SCOPED_TRACE("step " + std::to_string(i + 1));
            now += step.later;
            const std::string& presented = step.token == Token::original    ? original
                                           : step.token == Token::successor ? successor
                                                                            : newest.refreshToken;
            const auto renewed = book.refresh(presented, now - step.waited);
            if (step.refused != nullptr) {
                ASSERT_FALSE(renewed.has_value());
                EXPECT_EQ(renewed.error(), step.refused);
                continue;
            }
            ASSERT_TRUE(renewed.has_value()) << renewed.error();
            if (successor.empty())
                successor = renewed->refreshToken;
            newest = *renewed;
        }
        EXPECT_TRUE(book.userFor(newest.accessToken).has_value());
        EXPECT_EQ(json::parse(book.bookJson())["sessions"].size(), 1u);
    }
}

// However many connections are turned away, the log says a few lines, and
// each says how many so far.
TEST(ApiStubRefusals, AFloodOfRefusalsCostsAFewLines) {
    struct Row {
        int refusals;
        std::size_t lines;
        const char* last;
    };
    const Row rows[] = {
        {1, 1, "(1 refused so far"},
        {3, 2, "(2 refused so far"},
        {4, 3, "(4 refused so far"},
        {100'000, 17, "(65536 refused so far"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.refusals);
        std::vector<std::string> said;
        stub::RefusalLog log([&](const std::string& line) { said.push_back(line); });
        for (int i = 0; i < row.refusals; ++i)
            log.refused(i % 2 == 0 ? std::optional<uid_t>(65534) : std::nullopt);
        EXPECT_EQ(log.count(), static_cast<uint64_t>(row.refusals));
        ASSERT_EQ(said.size(), row.lines);
        EXPECT_THAT(said.back(), ::testing::HasSubstr(row.last));
    }
}

}  // namespace
}  // namespace mivo
