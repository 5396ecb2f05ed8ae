// The rewrite client over the real transport against mivo-api-stub: request
// bodies and headers, answer decoding, the status rules, the 422 rescue,
// transport failures and the health probe.

#include <gmock/gmock.h>

#include <cstdlib>
#include <string>

#include "big_answer_server.hpp"
#include "callback_port.hpp"
#include "event_loop_wait.hpp"
#include "loop_probe.hpp"
#include "platform/linux/qt/qt_http_transport.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "stub_process.hpp"
#include "tone/tone_api_client.hpp"

namespace mivo {
namespace {

using nlohmann::json;
using testing::Answer;
using testing::StubProcess;
using Kind = ToneAPIClient::ToneAPIError::Kind;
using ConvertResult = ToneAPIClient::ConvertResult;
using ConvertRequest = ToneAPIClient::ConvertRequest;
using FeedbackRequest = ToneAPIClient::FeedbackRequest;

class ToneAPIClientTest : public ::testing::Test {
  protected:
    ToneAPIClientTest() {
        const testing::CallbackPort callback;
        const auto start = stub.send("POST", "/v1/auth/desktop/start",
                                     json{{"device_nonce", "0123456789ABCDEF0123456789abcdef"},
                                          {"callback_port", callback.port()}}
                                         .dump());
        const std::string authUrl = json::parse(start->body)["auth_url"];
        const std::string location =
            stub.send("GET", authUrl.substr(stub.baseURL().size()))->headers.at("Location");
        const auto tokens = stub.send("POST", "/v1/auth/desktop/exchange",
                                      json{{"grant", location.substr(location.find("grant=") + 6)},
                                           {"device_nonce", "0123456789ABCDEF0123456789abcdef"}}
                                          .dump());
        token = json::parse(tokens->body)["access_token"];
        stub.clearRequests();
    }

    ConvertRequest request(std::string text, RewriteAction action,
                           std::optional<Register> reg = std::nullopt) const {
        ConvertRequest r;
        r.targetText = std::move(text);
        r.action = action;
        r.targetRegister = reg;
        r.surfaceTag = "email_client";
        r.requestId = "req-1";
        r.accessToken = token;
        return r;
    }
    ToneAPIClient::Result<ConvertResult> convert(const ConvertRequest& r) {
        Answer<ToneAPIClient::Result<ConvertResult>> answer;
        client.convert(r, answer.callback());
        EXPECT_TRUE(answer.wait(30));
        EXPECT_EQ(answer.calls, 1);
        return answer.value.value_or(std::unexpected(ToneAPIClient::ToneAPIError{}));
    }
    ToneAPIClient::Result<ToneAPIClient::FeedbackResult> feedback(const FeedbackRequest& r) {
        Answer<ToneAPIClient::Result<ToneAPIClient::FeedbackResult>> answer;
        client.submitConversionFeedback(r, answer.callback());
        EXPECT_TRUE(answer.wait());
        return answer.value.value_or(std::unexpected(ToneAPIClient::ToneAPIError{}));
    }
    json lastBody(const std::string& path) const {
        const auto logged = stub.requestsTo(path);
        EXPECT_FALSE(logged.empty());
        return logged.empty() ? json() : json::parse(logged.back()["body"].get<std::string>());
    }
    // The next convert answer, scripted.
    void answerConvertWith(int status, const json& body) const {
        stub.script({{"/v1/rewrite/convert", {{"status", status}, {"body", body}}}});
    }
    Kind failureKind(const ToneAPIClient::Result<ConvertResult>& result) const {
        EXPECT_FALSE(result.has_value());
        return result ? Kind::providerError : result.error().kind;
    }

    StubProcess stub;
    std::string token;
    linux_desktop::QtHttpTransport transport;
    sim::MemoryUserDefaults defaults;
    sim::VirtualClock clock;
    ToneAPIClient client{transport, defaults, clock, stub.baseURL()};
};

TEST_F(ToneAPIClientTest, RewritesThroughTheService) {
    const auto improved = convert(request("私はは学生です。", RewriteAction::improve));
    ASSERT_TRUE(improved.has_value());
    EXPECT_EQ(improved->rewrittenText, "私は学生です。");
    EXPECT_FALSE(improved->unchanged);
    EXPECT_EQ(improved->requestId, "req-1");
    EXPECT_EQ(improved->surfaceTag, "email_client");

    const auto toned = convert(request("私は学生です。", RewriteAction::tone, Register::casual));
    ASSERT_TRUE(toned.has_value());
    EXPECT_TRUE(toned->unchanged);
    EXPECT_EQ(toned->action, RewriteAction::tone);
    EXPECT_EQ(toned->targetRegister, Register::casual);
}

TEST_F(ToneAPIClientTest, RegisterOnlyForToneAndContextsOnlyWhenGiven) {
    struct Case {
        RewriteAction action;
        std::optional<Register> reg;
        std::optional<std::string> sent;
    };
    const Case cases[] = {
        {RewriteAction::tone, std::nullopt, "polite"},
        {RewriteAction::tone, Register::formalBusiness, "formal_business"},
        {RewriteAction::improve, Register::casual, std::nullopt},
        {RewriteAction::translate, Register::casual, std::nullopt},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(convert(request("テスト。", c.action, c.reg)).has_value());
        const json body = lastBody("/v1/rewrite/convert");
        EXPECT_EQ(body.contains("target_register"), c.sent.has_value()) << body.dump();
        if (c.sent) {
            EXPECT_EQ(body["target_register"], *c.sent);
        }
    }

    auto r = request("本文。", RewriteAction::improve);
    r.precedingContext = "";
    r.followingContext = "後の文。";
    r.subjectOrTitle = "";
    ASSERT_TRUE(convert(r).has_value());
    EXPECT_EQ(lastBody("/v1/rewrite/convert"), json({{"rewrite_action", "improve"},
                                                     {"target_text", "本文。"},
                                                     {"surface_tag", "email_client"},
                                                     {"request_id", "req-1"},
                                                     {"following_context", "後の文。"}}));
    const auto headers = stub.requestsTo("/v1/rewrite/convert").back()["headers"];
    EXPECT_EQ(headers["authorization"], "Bearer " + StubProcess::inLog(token));
    EXPECT_EQ(headers["content-type"], "application/json");
    EXPECT_EQ(headers["x-mivo-device-id"], client.deviceIdHash());
}

TEST_F(ToneAPIClientTest, TokenHeaderFollowsTheCaller) {
    auto r = request("本文。", RewriteAction::improve);
    r.accessToken.reset();
    EXPECT_EQ(failureKind(convert(r)), Kind::unauthorized);
    EXPECT_FALSE(
        stub.requestsTo("/v1/rewrite/convert").back()["headers"].contains("authorization"));
    r.accessToken = "";
    EXPECT_EQ(failureKind(convert(r)), Kind::unauthorized);
    // Sent as "Bearer "; HTTP drops the blank that ends a header value.
    EXPECT_EQ(stub.requestsTo("/v1/rewrite/convert").back()["headers"]["authorization"], "Bearer");
}

TEST_F(ToneAPIClientTest, SuccessAnswersDecodeStrictlyWithTheCallersFallbacks) {
    const json full{{"request_id", "srv-9"},       {"rewritten_text", " 書き直し "},
                    {"rewrite_action", "tone"},    {"surface_tag", "chat_messaging"},
                    {"target_register", "casual"}, {"latency_ms", 42},
                    {"unchanged", false}};
    answerConvertWith(200, full);
    const auto decoded = convert(request("元", RewriteAction::improve, Register::polite));
    EXPECT_EQ(decoded, (ConvertResult{"srv-9", " 書き直し ", RewriteAction::tone, "chat_messaging",
                                      Register::casual, 42, false}));

    json sparse = full;
    sparse.erase("request_id");
    sparse.erase("target_register");
    sparse["rewrite_action"] = "summarise";
    answerConvertWith(200, sparse);
    const auto fallback = convert(request("元", RewriteAction::translate, Register::polite));
    ASSERT_TRUE(fallback.has_value());
    EXPECT_EQ(fallback->requestId, "req-1");
    EXPECT_EQ(fallback->action, RewriteAction::translate);
    EXPECT_EQ(fallback->targetRegister, Register::polite);

    for (const char* missing : {"latency_ms", "unchanged", "surface_tag", "rewritten_text"}) {
        json broken = full;
        broken.erase(missing);
        answerConvertWith(200, broken);
        EXPECT_EQ(failureKind(convert(request("元", RewriteAction::improve))), Kind::decodingFailed)
            << missing;
    }
    for (const json& wrong : {json{{"latency_ms", 1.5}}, json{{"unchanged", "no"}},
                              json{{"request_id", 5}}, json{{"rewritten_text", nullptr}}}) {
        json broken = full;
        broken.update(wrong);
        answerConvertWith(200, broken);
        EXPECT_EQ(failureKind(convert(request("元", RewriteAction::improve))), Kind::decodingFailed)
            << wrong.dump();
    }
}

TEST_F(ToneAPIClientTest, ConvertStatusRules) {
    struct Case {
        int status;
        json body;
        Kind kind;
        int code;
    };
    const Case cases[] = {
        {401, json::object(), Kind::unauthorized, 0},
        {413, json::object(), Kind::payloadTooLarge, 0},
        {429, json::object(), Kind::serviceUnavailable, 0},
        {503, {{"error", "ProviderError"}}, Kind::serviceUnavailable, 0},
        {500, {{"error", "ToneServiceUnavailableError"}}, Kind::serviceUnavailable, 0},
        {502, {{"error", "ProviderUnavailable"}}, Kind::serviceUnavailable, 0},
        {503, {{"error", "DatabaseError"}}, Kind::serverError, 503},
        {503, {{"error", "providererror"}}, Kind::serverError, 503},
        {503, "not json", Kind::serverError, 503},
        {500, {{"error", "ProviderError"}, {"detail", 3}}, Kind::serverError, 500},
        {501, {{"error", "ProviderError"}}, Kind::serverError, 501},
        {504, {{"error", "ProviderError"}}, Kind::serverError, 504},
        {404, json::object(), Kind::serverError, 404},
        {302, json::object(), Kind::serverError, 302},
    };
    for (const auto& c : cases) {
        answerConvertWith(c.status, c.body);
        const auto result = convert(request("元", RewriteAction::improve));
        ASSERT_FALSE(result.has_value()) << c.status;
        EXPECT_EQ(result.error().kind, c.kind) << c.status << " " << c.body.dump();
        EXPECT_EQ(result.error().code, c.code) << c.status;
    }
}

TEST_F(ToneAPIClientTest, SentenceCountMismatchRescue) {
    struct Case {
        const char* name;
        std::string target;
        json body;
        std::optional<std::string> rescued;  // none: outputInvalid
        std::optional<std::string> detail;
    };
    auto mismatch = [](json debug) {
        return json{{"error", "OutputInvalid"},
                    {"failure", "sentence_count_mismatch"},
                    {"detail", "2 sentences, expected 1"},
                    {"rewritten_text_debug", std::move(debug)}};
    };
    const Case cases[] = {
        {"japanese rewrite", "私は学生です。", mismatch("\n 私は学生です。そうです。 \n"),
         "私は学生です。そうです。", std::nullopt},
        {"latin target, any opening", "Hello.", mismatch("  Hi there. Bye. "), "Hi there. Bye.",
         std::nullopt},
        {"leading blanks then 以下", "私は学生です。", mismatch("  以下が書き直しです。"),
         std::nullopt, "2 sentences, expected 1"},
        {"rewritten", "Hello.", mismatch("rewritten: Hi."), std::nullopt,
         "2 sentences, expected 1"},
        {"Output:", "Hello.", mismatch("Output: Hi."), std::nullopt, "2 sentences, expected 1"},
        {"出力:", "Hello.", mismatch("出力: Hi."), std::nullopt, "2 sentences, expected 1"},
        {"japanese target, latin rewrite", "私は学生です。", mismatch("I am a student."),
         std::nullopt, "2 sentences, expected 1"},
        {"extension A counts as japanese", "㐂", mismatch("Joy."), std::nullopt,
         "2 sentences, expected 1"},
        {"katakana answer keeps it japanese", "私", mismatch("ワタシ"), "ワタシ", std::nullopt},
        {"blank debug", "Hello.", mismatch(" \n "), std::nullopt, "2 sentences, expected 1"},
        {"debug not a string", "Hello.", mismatch(5), std::nullopt, std::nullopt},
        {"no debug",
         "Hello.",
         {{"failure", "sentence_count_mismatch"}, {"detail", "too many"}},
         std::nullopt,
         "too many"},
        {"other failure",
         "Hello.",
         {{"failure", "language_mismatch"}, {"detail", "x"}, {"rewritten_text_debug", "Hi."}},
         std::nullopt,
         "x"},
        {"not json", "Hello.", "<html>", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        answerConvertWith(422, c.body);
        const auto result = convert(request(c.target, RewriteAction::tone, Register::casual));
        if (c.rescued) {
            ASSERT_TRUE(result.has_value());
            EXPECT_EQ(result->rewrittenText, *c.rescued);
            EXPECT_EQ(result->latencyMs, 0);
            EXPECT_EQ(result->requestId, "req-1");
            EXPECT_EQ(result->targetRegister, Register::casual);
            EXPECT_FALSE(result->unchanged);
        } else {
            ASSERT_FALSE(result.has_value());
            EXPECT_EQ(result.error().kind, Kind::outputInvalid);
            EXPECT_EQ(result.error().detail, c.detail);
        }
    }
    answerConvertWith(422, mismatch(" 私は学生です。\n"));
    const auto same = convert(request("私は学生です。", RewriteAction::improve));
    ASSERT_TRUE(same.has_value());
    EXPECT_TRUE(same->unchanged);
}

TEST_F(ToneAPIClientTest, FeedbackBodyAndStatusRules) {
    FeedbackRequest r;
    r.sourceText = "元";
    r.convertedText = "新";
    r.action = RewriteAction::improve;
    r.targetRegister = Register::formalBusiness;
    r.rating = FeedbackRating::thumbsDown;
    r.feedbackText = "";
    r.requestId = "req-1";
    r.accessToken = token;
    const auto sent = feedback(r);
    ASSERT_TRUE(sent.has_value());
    EXPECT_FALSE(sent->feedbackId.empty());
    EXPECT_EQ(lastBody("/v1/feedback/conversion"), json({{"rewrite_action", "improve"},
                                                         {"rating", "thumbs_down"},
                                                         {"source_text", "元"},
                                                         {"converted_text", "新"},
                                                         {"target_register", "formal_business"},
                                                         {"request_id", "req-1"}}));
    EXPECT_FALSE(
        stub.requestsTo("/v1/feedback/conversion").back()["headers"].contains("x-mivo-device-id"));

    struct Case {
        int status;
        json body;
        Kind kind;
        int code;
    };
    const Case cases[] = {
        {401, json::object(), Kind::unauthorized, 0},
        {413, json::object(), Kind::payloadTooLarge, 0},
        {422,
         {{"failure", "sentence_count_mismatch"}, {"rewritten_text_debug", "x"}},
         Kind::serverError,
         422},
        {429, json::object(), Kind::serverError, 429},
        {500, "anything", Kind::serviceUnavailable, 0},
        {503, {{"error", "DatabaseError"}}, Kind::serviceUnavailable, 0},
        {504, json::object(), Kind::serverError, 504},
        {200, {{"feedback_id", "f"}}, Kind::decodingFailed, 0},
    };
    for (const auto& c : cases) {
        stub.script({{"/v1/feedback/conversion", {{"status", c.status}, {"body", c.body}}}});
        const auto result = feedback(r);
        ASSERT_FALSE(result.has_value()) << c.status;
        EXPECT_EQ(result.error().kind, c.kind) << c.status;
        EXPECT_EQ(result.error().code, c.code) << c.status;
    }
}

TEST_F(ToneAPIClientTest, TransportEndings) {
    ToneAPIClient nowhere(transport, defaults, clock, "http://127.0.0.1:1");
    Answer<ToneAPIClient::Result<ConvertResult>> refused;
    nowhere.convert(request("元", RewriteAction::improve), refused.callback());
    ASSERT_TRUE(refused.wait());
    EXPECT_EQ(refused.value->error().kind, Kind::offline);

    ToneAPIClient invalid(transport, defaults, clock, "");
    Answer<ToneAPIClient::Result<ConvertResult>> notAnAddress;
    invalid.convert(request("元", RewriteAction::improve), notAnAddress.callback());
    ASSERT_TRUE(notAnAddress.wait());
    EXPECT_EQ(notAnAddress.value->error(), (ToneAPIClient::ToneAPIError{Kind::serverError}));

    stub.script({{"/v1/rewrite/convert", {{"drop", true}}}});
    EXPECT_EQ(failureKind(convert(request("元", RewriteAction::improve))), Kind::offline);

    stub.script({{"/v1/rewrite/convert", {{"delay", 30}}}});
    Answer<ToneAPIClient::Result<ConvertResult>> cancelled;
    Cancel handle = client.convert(request("元", RewriteAction::improve), cancelled.callback());
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return !stub.requests().empty(); }));
    handle.cancel();
    testing::runEventLoopFor(0.3);
    EXPECT_EQ(cancelled.calls, 0);
}

TEST_F(ToneAPIClientTest, AnAnswerLaterThanTwelveSecondsTimesOut) {
    stub.script({{"/v1/rewrite/convert", {{"delay", 13}}}});
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(failureKind(convert(request("元", RewriteAction::improve))), Kind::timeout);
    // A server silent that long meets the 10 s idle limit first; nothing
    // outlasts the 12 s of a whole transfer.
    const auto waited = std::chrono::steady_clock::now() - began;
    EXPECT_GE(waited, std::chrono::milliseconds(9990));
    EXPECT_LT(waited, std::chrono::milliseconds(12500));
}

TEST_F(ToneAPIClientTest, BadInputNeverStopsTheClient) {
    // Deeply nested, as long as a rewrite answer may be.
    stub.script({{"/v1/rewrite/convert", {{"status", 200}, {"body", std::string(250000, '{')}}}});
    EXPECT_EQ(failureKind(convert(request("元", RewriteAction::improve))), Kind::decodingFailed);
    auto r = request("\xff\xfe", RewriteAction::improve);
    r.followingContext = "\xc3";
    EXPECT_TRUE(convert(r).has_value());
    r.accessToken = "t\r\nX-Admin: 1";
    EXPECT_EQ(failureKind(convert(r)), Kind::serverError);
}

TEST_F(ToneAPIClientTest, HealthProbeIsCachedForThirtySeconds) {
    auto ping = [this](bool force) {
        Answer<bool> answer;
        client.ping(force, answer.callback());
        // A cached answer comes on the virtual clock, a fresh one on the loop.
        clock.advance(0);
        EXPECT_TRUE(answer.wait());
        return answer.value.value_or(false);
    };
    auto probes = [this] { return stub.requestsTo("/v1/health").size(); };
    EXPECT_TRUE(ping(false));
    EXPECT_EQ(stub.requestsTo("/v1/health").at(0)["method"], "HEAD");
    clock.advance(29);
    EXPECT_TRUE(ping(false));
    EXPECT_EQ(probes(), 1u);
    stub.script({{"/v1/health", {{"status", 204}, {"times", 0}}}});
    EXPECT_FALSE(ping(true));
    EXPECT_EQ(probes(), 2u);
    EXPECT_FALSE(ping(false));
    clock.advance(30);
    stub.script(json::object());
    EXPECT_TRUE(ping(false));
    EXPECT_EQ(probes(), 3u);
}

// A rewrite answer is a few kilobytes: one of 32 MB of keys is refused as it
// arrives instead of being parsed on the main loop, which keeps answering.
TEST(ToneAPIClientLimits, AHugeAnswerNeverHoldsTheLoop) {
    using Framing = testing::BigAnswerServer::Framing;
    linux_desktop::QtHttpTransport transport;
    sim::MemoryUserDefaults defaults;
    sim::VirtualClock clock;
    for (const Framing framing : {Framing::announcedLength, Framing::untilClose}) {
        for (const bool rating : {false, true}) {
            SCOPED_TRACE(std::string(framing == Framing::untilClose ? "until close" : "length") +
                         (rating ? ", feedback" : ", convert"));
            testing::BigAnswerServer server(framing);
            ToneAPIClient client{transport, defaults, clock, server.baseURL()};
            testing::LoopProbe probe;
            bool failed = false;
            int answers = 0;
            auto done = [&](const auto& result) {
                ++answers;
                failed = !result.has_value();
            };
            if (rating) {
                ToneAPIClient::FeedbackRequest r;
                r.accessToken = "t";
                client.submitConversionFeedback(r, done);
            } else {
                ConvertRequest r;
                r.targetText = "元";
                r.requestId = "req-1";
                r.accessToken = "t";
                client.convert(r, done);
            }
            ASSERT_TRUE(testing::runEventLoopUntil([&] { return answers > 0; }, 60));
            testing::runEventLoopFor(0.05);
            EXPECT_LT(probe.longestStall(), std::chrono::milliseconds(100));
            EXPECT_TRUE(failed);
            EXPECT_EQ(answers, 1);
            EXPECT_LT(server.bodyBytesSent(), testing::BigAnswerServer::body().size());
        }
    }
}

TEST(ToneAPIClientDevice, IdentifierIsMadeOnceAndOnlyItsHashIsSent) {
    sim::MemoryUserDefaults defaults;
    const std::string first = ToneAPIClient::loadDeviceIdHash(defaults);
    const auto stored = defaults.string("tone.device_id");
    ASSERT_TRUE(stored.has_value());
    EXPECT_THAT(*stored,
                ::testing::MatchesRegex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-"
                                        "[0-9A-F]{12}"));
    EXPECT_EQ(ToneAPIClient::loadDeviceIdHash(defaults), first);
    EXPECT_EQ(defaults.string("tone.device_id"), stored);

    sim::MemoryUserDefaults known;
    known.set("tone.device_id", std::string("ABC"));
    EXPECT_EQ(ToneAPIClient::loadDeviceIdHash(known),
              "b5d4045c3f466fa91fe2cc6abe79232a1a57cdf104f7a26e716e0a1e2789df78");
    known.set("tone.device_id", std::string(""));
    EXPECT_NE(ToneAPIClient::loadDeviceIdHash(known),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_NE(known.string("tone.device_id"), "");
}

}  // namespace
}  // namespace mivo
