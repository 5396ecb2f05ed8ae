// The account API client over the real transport against mivo-api-stub:
// request shapes, the status rule, strict decoding, and transport failures.

#include <gmock/gmock.h>

#include <cstdlib>
#include <string>

#include "account/mivo_api_client.hpp"
#include "event_loop_wait.hpp"
#include "platform/linux/qt_http_transport.hpp"
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
        const auto start = await<MivoAPIClient::DesktopStartResponse>(
            [&](auto cb) { client.desktopStart("nonce-7", 9999, cb); });
        EXPECT_TRUE(start.has_value());
        const auto tokens = await<MivoAPIClient::TokenResponse>(
            [&](auto cb) { client.desktopExchange(grantFrom(start->authUrl), "nonce-7", cb); });
        EXPECT_TRUE(tokens.has_value());
        return tokens.value_or(MivoAPIClient::TokenResponse{});
    }

    StubProcess stub;
    linux_desktop::QtHttpTransport transport;
    MivoAPIClient client{transport, stub.baseURL()};
};

TEST_F(MivoAPIClientTest, SignInRefreshAndSignOutAgainstTheService) {
    const auto tokens = signIn();
    EXPECT_GT(tokens.expiresIn, 0);
    const auto user = me(tokens.accessToken);
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->email, "dev@mivo.test");

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
              json({{"device_nonce", "nonce-7"}, {"callback_port", 9999}}));
    EXPECT_EQ(start["headers"]["content-type"], "application/json");
    EXPECT_FALSE(start["headers"].contains("authorization"));
    const auto exchange = stub.requestsTo("/v1/auth/desktop/exchange").at(0);
    EXPECT_THAT(json::parse(exchange["body"].get<std::string>()).items().begin().key(),
                ::testing::AnyOf("grant", "device_nonce"));
    EXPECT_EQ(json::parse(exchange["body"].get<std::string>()).size(), 2u);
    EXPECT_EQ(json::parse(stub.requestsTo("/v1/auth/refresh").at(0)["body"].get<std::string>()),
              json({{"refresh_token", tokens.refreshToken}}));

    const auto meRequest = stub.requestsTo("/v1/me").at(0);
    EXPECT_EQ(meRequest["method"], "GET");
    EXPECT_EQ(meRequest["headers"]["authorization"], "Bearer " + tokens.accessToken);
    const auto out = stub.requestsTo("/v1/auth/logout").at(0);
    EXPECT_EQ(out["headers"]["authorization"], "Bearer gone");
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
        {503, R"({"user_id":"u","email":"e"})", Kind::serverError, "", 503},
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
        {"3600", true},    {"0", true},     {"\"3600\"", false}, {"1.5", false},
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
    // A huge answer, and a token that would forge a header.
    stub.script({{"/v1/me", {{"status", 200}, {"body", std::string(900000, '[')}}}});
    EXPECT_EQ(me("t").error().kind, Kind::decodingFailed);
    EXPECT_EQ(me("t\r\nX-Admin: yes").error().kind, Kind::networkFailed);
    const auto start = await<MivoAPIClient::DesktopStartResponse>(
        [&](auto cb) { client.desktopStart("\xff\xfe", -5, cb); });
    EXPECT_EQ(start.error().kind, Kind::badRequest);
}

TEST(MivoAPIClientAddress, EnvironmentValueIsTakenAsIs) {
    unsetenv("MIVO_API_URL");
    EXPECT_EQ(MivoAPIClient::baseURLFromEnvironment(), "http://127.0.0.1:8787");
    for (const char* value : {"https://api.example.test/", " http://x ", ""}) {
        setenv("MIVO_API_URL", value, 1);
        EXPECT_EQ(MivoAPIClient::baseURLFromEnvironment(), value);
    }
    unsetenv("MIVO_API_URL");
}

}  // namespace
}  // namespace mivo
