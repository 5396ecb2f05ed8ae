// The texts of failures that the service cannot be made to produce quickly
// on loopback (a 12 s time-out, a provider's own message), and the names of
// the ways a rewrite is written back.

#include <gtest/gtest.h>

#include "tone/tone_coordinator_messages.hpp"

namespace mivo {
namespace {

using Error = ToneAPIClient::ToneAPIError;
using Kind = Error::Kind;

Error error(Kind kind) {
    Error e;
    e.kind = kind;
    return e;
}

TEST(ToneMessagesTest, ConversionFailuresThatNeedNoServer) {
    Error provider = error(Kind::providerError);
    provider.message = "upstream model quota";
    const auto timedOut = tone_messages::conversionFailure(error(Kind::timeout));
    EXPECT_EQ(timedOut.state, TonePanelState::error("Request timed out.", true));
    EXPECT_EQ(timedOut.logLine, std::nullopt);

    const auto failed = tone_messages::conversionFailure(provider);
    // The provider's own words stay out of the panel.
    EXPECT_EQ(failed.state,
              TonePanelState::error(
                  "AI rewrite service is temporarily unavailable. Please try again later.", true));
    EXPECT_EQ(failed.logLine, "Rewrite: provider unavailable");
    EXPECT_EQ(tone_messages::conversionFailure(error(Kind::offline)).state,
              TonePanelState::offline());
    // The transport sent nothing to another user's program: said, and no
    // retry, which would meet it again.
    Error notSent = error(Kind::serverError);
    notSent.message = "another program, not yours, answers at http://127.0.0.2:8080";
    const auto refused = tone_messages::conversionFailure(notSent);
    EXPECT_EQ(refused.state,
              TonePanelState::error("Your text was not sent: another program, not yours, "
                                    "answers at http://127.0.0.2:8080.",
                                    false));
    EXPECT_EQ(refused.logLine,
              "Rewrite: not sent: another program, not yours, answers at http://127.0.0.2:8080");
}

TEST(ToneMessagesTest, FeedbackFailures) {
    Error server = error(Kind::serverError);
    server.code = 502;
    struct Case {
        Error error;
        std::string message;
        std::string logLine;
    };
    const Case cases[] = {
        {error(Kind::timeout), "Feedback timed out", "Feedback: timed out"},
        {server, "Couldn't save feedback", "Feedback: server error code=502"},
        {error(Kind::outputInvalid), "Couldn't save feedback", "Feedback: unexpected submit error"},
        {error(Kind::decodingFailed), "Couldn't save feedback",
         "Feedback: unexpected submit error"},
    };
    for (const auto& c : cases) {
        const auto failure = tone_messages::feedbackFailure(c.error);
        EXPECT_EQ(failure.message, c.message);
        EXPECT_EQ(failure.logLine, c.logLine);
    }
}

TEST(ToneMessagesTest, WaysOfWritingBack) {
    using Result = TonePasteApplier::ApplyResult;
    EXPECT_EQ(tone_messages::appliedVia({Result::Kind::appliedNative, {}}), "set_text_contents");
    EXPECT_EQ(tone_messages::appliedVia({Result::Kind::appliedSelectedText, {}}),
              "delete_text+insert_text");
    EXPECT_EQ(tone_messages::appliedVia({Result::Kind::appliedPaste, {}}), "paste");
    EXPECT_EQ(tone_messages::appliedVia(Result::copiedToClipboard("no field")),
              "clipboard (auto-clear 30s) — no field");
}

}  // namespace
}  // namespace mivo
