// The account API client over the real transport against mivo-api-stub:
// request shapes, the status rule, strict decoding, and transport failures.

#include <gmock/gmock.h>

#include <cstdlib>
#include <limits>
#include <string>

#include "account/auth_url.hpp"
#include "account/mivo_api_client.hpp"
#include "big_answer_server.hpp"
#include "callback_port.hpp"
#include "event_loop_wait.hpp"
#include "hostile_server.hpp"
#include "loop_probe.hpp"
#include "platform/linux/qt/qt_http_transport.hpp"
#include "shared/service_address.hpp"
#include "stub_process.hpp"

namespace mivo {
namespace {

using nlohmann::json;
using testing::Answer;
using testing::StubProcess;
using Kind = MivoAPIClient::APIError::Kind;

template <typename T>
using Result = MivoAPIClient::Result<T>;

class MivoAPIClientTest : public ::testing::Test {
  protected:
    template <typename T, typename Call>
    Result<T> await(Call call) {
        Answer<Result<T>> answer;
        call(answer.callback());
        EXPECT_TRUE(answer.wait());
        EXPECT_EQ(answer.calls, 1);
        return answer.value.value_or(std::unexpected(MivoAPIClient::APIError{}));
    }
    Result<MivoAPIClient::MeResponse> me(const std::string& token) {
        return await<MivoAPIClient::MeResponse>([&](auto cb) { client.me(token, cb); });
    }
    Result<MivoAPIClient::TokenResponse> refresh(const std::string& token) {
        return await<MivoAPIClient::TokenResponse>([&](auto cb) { client.refresh(token, cb); });
    }
    Result<void> logout(const std::string& token) {
        return await<void>([&](auto cb) { client.logout(token, cb); });
    }
    // The browser's part: open the sign-in page, read where it sends us.
    std::string grantFrom(const std::string& authUrl) const {
        const auto page = stub.send("GET", authUrl.substr(stub.baseURL().size()));
        const std::string location = page->headers.at("Location");
        return location.substr(location.find("grant=") + 6);
    }
    MivoAPIClient::TokenResponse signIn() {
        const auto start = await<MivoAPIClient::DesktopStartResponse>([&](auto cb) {
            client.desktopStart("0123456789ABCDEF0123456789abcdef", callback.port(), cb);
        });
        EXPECT_TRUE(start.has_value());
        const auto tokens = await<MivoAPIClient::TokenResponse>([&](auto cb) {
            client.desktopExchange(grantFrom(start->authUrl), "0123456789ABCDEF0123456789abcdef",
                                   cb);
        });
        EXPECT_TRUE(tokens.has_value());
        return tokens.value_or(MivoAPIClient::TokenResponse{});
    }

    StubProcess stub;
    testing::CallbackPort callback;
    linux_desktop::QtHttpTransport transport;
    MivoAPIClient client{transport, stub.baseURL()};
};

TEST_F(MivoAPIClientTest, SignInRefreshAndSignOutAgainstTheService) {
    const auto tokens = signIn();
    EXPECT_GT(tokens.expiresIn, 0);
    const auto user = me(tokens.accessToken);
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->email, "dev@mivo.test");

    ASSERT_TRUE(refresh(tokens.refreshToken).has_value());
    // A replaced token works once more (its answer may have been lost), then
    // never again.
    const auto renewed = refresh(tokens.refreshToken);
    ASSERT_TRUE(renewed.has_value());
    EXPECT_EQ(refresh(tokens.refreshToken).error().kind, Kind::unauthorized);

    EXPECT_TRUE(logout(renewed->accessToken).has_value());
    EXPECT_EQ(me(renewed->accessToken).error().kind, Kind::unauthorized);
}

TEST_F(MivoAPIClientTest, RequestsCarryExactlyTheirKeysAndHeaders) {
    const auto tokens = signIn();
    me(tokens.accessToken);
    refresh(tokens.refreshToken);
    logout("gone");

    const auto start = stub.requestsTo("/v1/auth/desktop/start").at(0);
    EXPECT_EQ(json::parse(start["body"].get<std::string>()),
              json({{"device_nonce", "0123456789ABCDEF0123456789abcdef"},
                    {"callback_port", callback.port()}}));
    EXPECT_EQ(start["headers"]["content-type"], "application/json");
    EXPECT_FALSE(start["headers"].contains("authorization"));
    const auto exchange = stub.requestsTo("/v1/auth/desktop/exchange").at(0);
    EXPECT_THAT(json::parse(exchange["body"].get<std::string>()).items().begin().key(),
                ::testing::AnyOf("grant", "device_nonce"));
    EXPECT_EQ(json::parse(exchange["body"].get<std::string>()).size(), 2u);
    EXPECT_EQ(json::parse(stub.requestsTo("/v1/auth/refresh").at(0)["body"].get<std::string>()),
              json({{"refresh_token", StubProcess::inLog(tokens.refreshToken)}}));

    const auto meRequest = stub.requestsTo("/v1/me").at(0);
    EXPECT_EQ(meRequest["method"], "GET");
    EXPECT_EQ(meRequest["headers"]["authorization"],
              "Bearer " + StubProcess::inLog(tokens.accessToken));
    const auto out = stub.requestsTo("/v1/auth/logout").at(0);
    EXPECT_EQ(out["headers"]["authorization"], "Bearer " + StubProcess::inLog("gone"));
    EXPECT_FALSE(out["headers"].contains("content-type"));
    EXPECT_EQ(out["body"], "");
}

TEST_F(MivoAPIClientTest, ABaseEndingInASlashIsUsedUnchanged) {
    MivoAPIClient slashed(transport, stub.baseURL() + "/");
    Answer<Result<MivoAPIClient::MeResponse>> answer;
    slashed.me("t", answer.callback());
    ASSERT_TRUE(answer.wait());
    EXPECT_EQ(answer.value->error().kind, Kind::serverError);
    EXPECT_EQ(answer.value->error().statusCode, 404);
    EXPECT_EQ(stub.requests().at(0)["path"], "//v1/me");
}

TEST_F(MivoAPIClientTest, StatusRuleAndStrictDecoding) {
    struct Case {
        int status;
        std::string body;
        Kind kind;
        std::string message;
        int statusCode;
        // What the user is told of it, where it matters.
        const char* told = nullptr;
    };
    const Case cases[] = {
        {400, R"({"error":"grant expired"})", Kind::badRequest, "grant expired", 0},
        {400, R"({"error":"grant expired","code":3})", Kind::badRequest, "Bad request", 0},
        {400, R"({"error":5})", Kind::badRequest, "Bad request", 0},
        {400, R"({"message":"no"})", Kind::badRequest, "Bad request", 0},
        {400, R"(["error"])", Kind::badRequest, "Bad request", 0},
        {400, "", Kind::badRequest, "Bad request", 0},
        {400, "<html>", Kind::badRequest, "Bad request", 0},
        {401, R"({"error":"expired"})", Kind::unauthorized, "", 0},
        {304, "", Kind::serverError, "", 304},
        {404, "", Kind::serverError, "", 404},
        {503, R"({"user_id":"u","email":"e"})", Kind::serverError, "", 503,
         "The server failed (status 503)"},
        {429, R"({"error":"too_many_sessions"})", Kind::serverError, "", 429,
         "The sign-in service is busy; try again in a few minutes"},
        {204, "", Kind::decodingFailed, "", 0},
        {200, "", Kind::decodingFailed, "", 0},
        {200, R"({"user_id":"u"})", Kind::decodingFailed, "", 0},
        {200, R"({"user_id":"u","email":null})", Kind::decodingFailed, "", 0},
        {200, R"({"user_id":7,"email":"e"})", Kind::decodingFailed, "", 0},
        {200, R"(["u","e"])", Kind::decodingFailed, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.status) + " " + c.body);
        stub.script({{"/v1/me", {{"status", c.status}, {"body", c.body}}}});
        const auto result = me("t");
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().kind, c.kind);
        if (c.kind == Kind::badRequest) {
            EXPECT_EQ(result.error().message, c.message);
        }
        EXPECT_EQ(result.error().statusCode, c.statusCode);
        if (c.told != nullptr) {
            EXPECT_EQ(describeAPIError(result.error()), c.told);
        }
    }
    stub.script(
        {{"/v1/me", {{"status", 200}, {"body", R"({"user_id":"u","email":"e","x":[1]})"}}}});
    EXPECT_EQ(me("t"), (MivoAPIClient::MeResponse{"u", "e"}));
}

TEST_F(MivoAPIClientTest, ExpiresInMustBeAWholeNumber) {
    struct Case {
        std::string expiresIn;
        bool decodes;
    };
    const Case cases[] = {
        {"3600", true},    {"0", false},    {"\"3600\"", false}, {"1.5", false},
        {"3600.0", false}, {"null", false}, {"1e3", false},      {"99999999999999999999", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expiresIn);
        stub.script({{"/v1/auth/refresh",
                      {{"status", 200},
                       {"body", R"({"access_token":"a","refresh_token":"r","expires_in":)" +
                                    c.expiresIn + "}"}}}});
        const auto result = refresh("r");
        EXPECT_EQ(result.has_value(), c.decodes);
        if (!c.decodes) {
            EXPECT_EQ(result.error().kind, Kind::decodingFailed);
        }
    }
}

TEST_F(MivoAPIClientTest, LogoutCountsEveryStatusAsSignedOut) {
    for (int status : {200, 204, 401, 404, 500, 503}) {
        stub.script({{"/v1/auth/logout", {{"status", status}, {"body", "not json"}}}});
        EXPECT_TRUE(logout("t").has_value()) << status;
    }
    stub.script({{"/v1/auth/logout", {{"drop", true}}}});
    const auto dropped = logout("t");
    ASSERT_FALSE(dropped.has_value());
    EXPECT_EQ(dropped.error().kind, Kind::networkFailed);
    EXPECT_EQ(dropped.error().transportFailure.kind, HttpFailureKind::offline);
}

// The words of the sign-in alert and the account card when the address
// set does not lead to the service: which address, why, and what to write
// instead where the address is the likely fault.
TEST_F(MivoAPIClientTest, AnAddressNothingAnswersIsToldWithWhatToWriteInstead) {
    const std::string port = std::to_string(stub.port());
    const std::string advice =
        ". The stand-in web service (scripts/run.sh) listens on 127.0.0.1 "
        "only: write http://127.0.0.1:" +
        port + " in MIVO_API_URL.";
    const std::pair<std::string, std::string> rows[] = {
        {"http://127.0.0.2:" + port, "The server at http://127.0.0.2:" + port +
                                         " could not be reached (Connection refused)" + advice},
        // The stand-in holds its port on [::1] without answering there.
        {"http://[::1]:" + port, "The server at http://[::1]:" + port +
                                     " could not be reached (Connection refused)" + advice},
        {"http://127.0.0.1:1",
         "The server at http://127.0.0.1:1 could not be reached (Connection refused)"},
        // Read, and connected to, as 127.0.0.8: the advice says so.
        {"http://127.0.0.010:" + port,
         "The server at http://127.0.0.010:" + port +
             " could not be reached (Connection refused). The stand-in web service "
             "(scripts/run.sh) listens on 127.0.0.1 only (127.0.0.010 is read as 127.0.0.8): "
             "write http://127.0.0.1:" +
             port + " in MIVO_API_URL."},
        // Read as the stand-in's own address: nothing to advise.
        {"http://127.000.000.001:1",
         "The server at http://127.000.000.001:1 could not be reached (Connection refused)"},
    };
    for (const auto& [address, told] : rows) {
        SCOPED_TRACE(address);
        MivoAPIClient elsewhere(transport, address);
        Answer<Result<MivoAPIClient::MeResponse>> answer;
        elsewhere.me("t", answer.callback());
        ASSERT_TRUE(answer.wait());
        ASSERT_FALSE(answer.value->has_value());
        EXPECT_EQ(describeAPIError(answer.value->error(), address), told);
    }
    MivoAPIClient::APIError untrusted{
        Kind::networkFailed, "", 0,
        HttpFailure{HttpFailureKind::untrustedCertificate, 0,
                    "the certificate \u201Cmivo.test\u201D issued by \u201Cmivo.test\u201D is not "
                    "trusted: The certificate is self-signed, and untrusted"}};
    EXPECT_EQ(describeAPIError(untrusted, "https://mivo.test"),
              "The server at https://mivo.test was not used: the certificate \u201Cmivo.test\u201D "
              "issued by \u201Cmivo.test\u201D is not trusted: The certificate is self-signed, and "
              "untrusted. Write the address of a server whose certificate this machine trusts in "
              "MIVO_API_URL, or add its issuer to the system's trusted certificates.");
    // Where the kernel would not say whose program listens, nothing is sent
    // either, and no advice pretends to know whose it is.
    MivoAPIClient::APIError unknown{
        Kind::networkFailed, "", 0,
        HttpFailure{HttpFailureKind::foreignListener, 0,
                    "Mivo could not tell whose program answers at http://127.0.0.1:8080 (the "
                    "kernel's socket diagnostics did not answer within a second)"}};
    unknown.transportFailure.ownerUnknown = true;
    EXPECT_EQ(describeAPIError(unknown, "http://127.0.0.1:8080"),
              "The address in MIVO_API_URL, \u201Chttp://127.0.0.1:8080\u201D, was refused: Mivo "
              "could not tell whose program answers at http://127.0.0.1:8080 (the kernel's socket "
              "diagnostics did not answer within a second), so nothing of your session was sent "
              "there.");
}

TEST_F(MivoAPIClientTest, TransportFailuresAndCancelling) {
    MivoAPIClient nowhere(transport, "http://127.0.0.1:1");
    Answer<Result<MivoAPIClient::MeResponse>> refused;
    nowhere.me("t", refused.callback());
    ASSERT_TRUE(refused.wait());
    EXPECT_EQ(refused.value->error().kind, Kind::networkFailed);
    EXPECT_EQ(refused.value->error().transportFailure.kind, HttpFailureKind::offline);

    MivoAPIClient empty(transport, "");
    Answer<Result<MivoAPIClient::MeResponse>> invalid;
    empty.me("t", invalid.callback());
    ASSERT_TRUE(invalid.wait());
    EXPECT_EQ(invalid.value->error().kind, Kind::networkFailed);

    stub.script({{"/v1/me", {{"delay", 30}}}});
    Answer<Result<MivoAPIClient::MeResponse>> cancelled;
    Cancel handle = client.me("t", cancelled.callback());
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return !stub.requestsTo("/v1/me").empty(); }));
    handle.cancel();
    testing::runEventLoopFor(0.3);
    EXPECT_EQ(cancelled.calls, 0);
}

TEST_F(MivoAPIClientTest, BadInputNeverStopsTheClient) {
    // A deeply nested answer as long as an account answer may be, and a
    // token that would forge a header.
    stub.script({{"/v1/me", {{"status", 200}, {"body", std::string(60000, '[')}}}});
    EXPECT_EQ(me("t").error().kind, Kind::decodingFailed);
    EXPECT_EQ(me("t\r\nX-Admin: yes").error().kind, Kind::networkFailed);
    const auto start = await<MivoAPIClient::DesktopStartResponse>(
        [&](auto cb) { client.desktopStart("\xff\xfe", -5, cb); });
    EXPECT_EQ(start.error().kind, Kind::badRequest);
}

// Servers that keep an account request open forever while never falling
// silent long enough for the idle limit: the total limit ends each, and
// reports a time-out. The limits are short here; Mivo's own are 30 s idle and
// 12 s in all.
TEST(MivoAPIClientLimits, AnAnswerThatNeverEndsIsCutAtTheTotalLimit) {
    struct Row {
        const char* what;
        std::string opening;
        std::string piece;
    };
    const Row rows[] = {
        {"one byte at a time", "HTTP/1.1 200 OK\r\nContent-Length: 60000\r\n\r\n{", " "},
        {"endless 100 Continue", "HTTP/1.1 100 Continue\r\n\r\n", "HTTP/1.1 100 Continue\r\n\r\n"},
        {"endless trailers",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n",
         "X-More: yes\r\n"},
    };
    linux_desktop::QtHttpTransport transport;
    for (const auto& row : rows) {
        testing::HostileServer server(row.opening, row.piece, 0.05);
        MivoAPIClient client(transport, server.baseURL(), {.idleSeconds = 0.5, .totalSeconds = 1});
        Answer<Result<MivoAPIClient::MeResponse>> answer;
        client.me("t", answer.callback());
        ASSERT_TRUE(answer.wait(10)) << row.what << ": still open";
        ASSERT_FALSE(answer.value->has_value()) << row.what;
        EXPECT_EQ(answer.value->error().kind, Kind::networkFailed) << row.what;
        EXPECT_EQ(answer.value->error().transportFailure.kind, HttpFailureKind::timeout)
            << row.what;
        EXPECT_GT(server.piecesSent(), 5) << row.what << ": the server was not kept talking";
    }
}

// An account answer is a few hundred bytes: one of 32 MB of keys is refused
// as it arrives instead of being parsed on the main loop, which keeps
// answering throughout.
TEST(MivoAPIClientLimits, AHugeAnswerNeverHoldsTheLoop) {
    using Framing = testing::BigAnswerServer::Framing;
    linux_desktop::QtHttpTransport transport;
    for (const Framing framing : {Framing::announcedLength, Framing::untilClose}) {
        for (const bool refreshing : {false, true}) {
            SCOPED_TRACE(std::string(framing == Framing::untilClose ? "until close" : "length") +
                         (refreshing ? ", refresh" : ", me"));
            testing::BigAnswerServer server(framing);
            MivoAPIClient client(transport, server.baseURL());
            testing::LoopProbe probe;
            bool failed = false;
            int answers = 0;
            auto done = [&](const auto& result) {
                ++answers;
                failed = !result.has_value();
            };
            if (refreshing)
                client.refresh("r", done);
            else
                client.me("t", done);
            ASSERT_TRUE(testing::runEventLoopUntil([&] { return answers > 0; }, 60));
            testing::runEventLoopFor(0.05);
            EXPECT_LT(probe.longestStall(), std::chrono::milliseconds(100));
            EXPECT_TRUE(failed);
            EXPECT_EQ(answers, 1);
            EXPECT_LT(server.bodyBytesSent(), testing::BigAnswerServer::body().size());
        }
    }
}

// Every account request goes out with a bound on its whole transfer.
TEST(MivoAPIClientLimits, EveryRequestCarriesATotalLimit) {
    struct Recorder : HttpTransport {
        Cancel send(HttpRequest request, Completion) override {
            totals.push_back(request.totalTimeoutSeconds);
            return {};
        }
        std::vector<double> totals;
    } recorder;
    MivoAPIClient client(recorder, "https://api.example.test");
    client.me("t", [](auto) {});
    client.desktopStart("n", 1, [](auto) {});
    client.desktopExchange("g", "n", [](auto) {});
    client.refresh("r", [](auto) {});
    client.logout("t", [](auto) {});
    EXPECT_THAT(recorder.totals, ::testing::Each(12.0));
    EXPECT_EQ(recorder.totals.size(), 5u);
}

// A lifetime the calendar clock cannot hold, or one that is over before it
// starts, never reaches the session's arithmetic.
TEST_F(MivoAPIClientTest, TokenLifetimesAreRefusedOrCappedBeforeUse) {
    constexpr int64_t kYear = MivoAPIClient::kMaxTokenLifetimeSeconds;
    struct Row {
        json expiresIn;
        std::optional<int64_t> taken;  // none: the answer is refused
    };
    const Row rows[] = {
        {1, 1},
        {3600, 3600},
        {kYear, kYear},
        {kYear + 1, kYear},
        {9'200'000'000LL, kYear},
        {std::numeric_limits<int64_t>::max(), kYear},
        {0, std::nullopt},
        {-1, std::nullopt},
        {-9'200'000'000LL, std::nullopt},
        {std::numeric_limits<int64_t>::min(), std::nullopt},
        {std::numeric_limits<uint64_t>::max(), std::nullopt},
        {1.5, std::nullopt},
        {9.2e9, std::nullopt},
        {1e300, std::nullopt},
        {"3600", std::nullopt},
        {nullptr, std::nullopt},
    };
    for (const auto& row : rows) {
        stub.script(
            {{"/v1/auth/refresh",
              {{"status", 200},
               {"body",
                {{"access_token", "a"}, {"refresh_token", "r"}, {"expires_in", row.expiresIn}}}}}});
        const auto tokens = refresh("r0");
        if (row.taken) {
            ASSERT_TRUE(tokens.has_value()) << row.expiresIn.dump();
            EXPECT_EQ(tokens->expiresIn, *row.taken) << row.expiresIn.dump();
        } else {
            ASSERT_FALSE(tokens.has_value()) << row.expiresIn.dump();
            EXPECT_EQ(tokens.error().kind, Kind::decodingFailed) << row.expiresIn.dump();
        }
    }
}

// Tokens travel only where the user pointed Mivo, and in the clear only on
// this machine: no address configured means no service at all.
TEST(MivoAPIClientAddress, OnlyAnExplicitHttpsOrLoopbackAddressIsUsed) {
    const std::pair<const char*, bool> rows[] = {
        {nullptr, false},
        {"", false},
        {"https://api.example.test/", true},
        {"http://127.0.0.1:8787", true},
        {"http://localhost:9000/base", false},
        {"http://[::1]:8787", true},
        {"http://192.168.1.5:8787", false},
        {"http://api.example.test", false},
        {"http://127.0.0.1.evil.example", false},
        {" http://127.0.0.1:8787", false},
        {"ftp://127.0.0.1", false},
    };
    for (const auto& [value, used] : rows) {
        if (value != nullptr)
            setenv("MIVO_API_URL", value, 1);
        else
            unsetenv("MIVO_API_URL");
        const auto address = serviceAddressFromEnvironment();
        EXPECT_EQ(address.has_value(), used) << (value ? value : "(unset)");
        if (address) {
            EXPECT_EQ(*address, value) << "the address must be taken unchanged";
        }
    }
    unsetenv("MIVO_API_URL");
}

}  // namespace
}  // namespace mivo
