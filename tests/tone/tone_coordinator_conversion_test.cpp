// From the user's choice to the preview and back into the host: requests as
// the service sees them, error states, cancels that really cancel, and the
// write-back after the host is in front again.

#include "coordinator_scene.hpp"

namespace mivo {
namespace {

using nlohmann::json;
using Loading = TonePanelState::Loading;
using Preview = TonePanelState::Preview;

class ToneConversionTest : public CoordinatorScene {
  protected:
    // The panel in preview for the sentence at the caret of a field holding
    // `text`.
    sim::SimId previewOf(const std::string& text, RewriteAction action) {
        const auto field = focusedField(text);
        coordinator->invoke();
        EXPECT_TRUE(panel.isOpen());
        panel.buttons().onAction(action);
        EXPECT_TRUE(awaitConversion());
        EXPECT_TRUE(box().state().is<Preview>()) << caseName(box().state());
        return field;
    }
};

TEST_F(ToneConversionTest, ImproveSendsTheRequestAndApplyWritesTheRewriteBack) {
    const auto field = focusedField("前の文。私はは学生です。");
    desk.pasteboard().userCopies({stringItem("the user's clipboard")});
    coordinator->invoke();
    panel.buttons().onAction(RewriteAction::improve);
    EXPECT_EQ(box().state(),
              TonePanelState::loading(RewriteAction::improve, std::nullopt, desk.clock().now()));
    ASSERT_TRUE(awaitConversion());

    const json body = lastBody("/v1/rewrite/convert");
    EXPECT_EQ(body["target_text"], "私はは学生です。");
    EXPECT_EQ(body["rewrite_action"], "improve");
    EXPECT_EQ(body["surface_tag"], "unknown");
    EXPECT_EQ(body["preceding_context"], "前の文。");
    EXPECT_FALSE(body.contains("target_register"));
    EXPECT_FALSE(body.contains("following_context"));
    EXPECT_EQ(body["request_id"].get<std::string>().size(), 36u);
    EXPECT_EQ(stub.requestsTo("/v1/rewrite/convert").back()["headers"]["authorization"],
              "Bearer " + testing::StubProcess::inLog(token));

    const auto* preview = box().state().get<Preview>();
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->rewritten, "私は学生です。");
    EXPECT_FALSE(preview->unchanged);
    EXPECT_TRUE(logged(
        "Rewrite: improve preview ready, latency=" + std::to_string(preview->latencyMs) + "ms"));

    // Showing the panel brought Mivo to the front; applying gives the host
    // the keyboard back and writes a little later.
    desk.activateApplication(ownPid);
    panel.buttons().onApply();
    EXPECT_FALSE(panel.isOpen());
    EXPECT_EQ(visibility, (std::vector<bool>{true, false}));
    EXPECT_EQ(desk.frontmostPid(), pid);
    desk.clock().advance(0.149);
    EXPECT_EQ(desk.text(field), "前の文。私はは学生です。");
    desk.clock().advance(0.001);
    EXPECT_EQ(desk.text(field), "前の文。私は学生です。");
    EXPECT_TRUE(logged("Tone: applied via set_text_contents → host=com.example.editor"))
        << ::testing::PrintToString(lines);
    EXPECT_EQ(coordinator->originalText(), "");
    desk.clock().advance(31);
    EXPECT_EQ(pasteboardString(desk.pasteboard()), "the user's clipboard");
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(ToneConversionTest, ARewriteLeftOnTheClipboardIsAnnounced) {
    const auto field = previewOf("私はは学生です。", RewriteAction::improve);
    // The field is gone by the time the rewrite is applied.
    desk.destroy(field);
    panel.press(panel_keys::returnKey);
    desk.clock().advance(0.15);
    EXPECT_TRUE(
        logged("Tone: applied via clipboard (auto-clear 30s) — AX write + paste both "
               "failed → host=com.example.editor"))
        << ::testing::PrintToString(lines);
    EXPECT_EQ(pasteboardString(desk.pasteboard()), "私は学生です。");
    desk.clock().advance(0.01);
    EXPECT_EQ(alertMessages(), std::vector<std::string>{"Copied — paste with Ctrl+V"});
}

TEST_F(ToneConversionTest, APasteThatNeverShowsIsAnnouncedNotLoggedAsApplied) {
    const auto field = previewOf("私はは学生です。", RewriteAction::improve);
    // Only a paste is left, and the field takes neither it nor typing.
    for (auto attribute : {kAXValueAttribute, kAXSelectedTextAttribute})
        desk.setWriteQuirk(field, std::string(attribute),
                           sim::WriteQuirk::fail(AXError::cannotComplete));
    desk.setInputQuirk(field, sim::InputQuirk{.ignoresPaste = true, .ignoresTyping = true});
    panel.press(panel_keys::returnKey);
    desk.clock().advance(0.15);
    EXPECT_EQ(coordinator->originalText(), "") << "the request is over at once";
    EXPECT_FALSE(logged("Tone: applied via paste → host=com.example.editor"));
    desk.clock().advance(2);
    EXPECT_FALSE(logged("Tone: applied via paste → host=com.example.editor"))
        << ::testing::PrintToString(lines);
    EXPECT_TRUE(
        logged("Tone: applied via clipboard (auto-clear 30s) — the paste did not show in the "
               "field → host=com.example.editor"))
        << ::testing::PrintToString(lines);
    EXPECT_EQ(pasteboardString(desk.pasteboard()), "私は学生です。");
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].request.title, "Mivo Rewrite");
    EXPECT_EQ(alerts.shown[0].request.message, "Copied — paste with Ctrl+V");
}

TEST_F(ToneConversionTest, AnUnchangedPreviewClosesWithoutWriting) {
    const auto field = previewOf("明日送るね。", RewriteAction::tone);
    const auto* preview = box().state().get<Preview>();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->unchanged);
    // The tone tab alone uses the selected register, polite unless changed.
    EXPECT_EQ(preview->toneRegister, Register::polite);
    EXPECT_EQ(lastBody("/v1/rewrite/convert")["target_register"], "polite");

    EXPECT_TRUE(panel.press(panel_keys::returnKey));
    EXPECT_FALSE(panel.isOpen());
    EXPECT_TRUE(logged("Rewrite: unchanged - closing without apply"));
    desk.clock().advance(1);
    EXPECT_EQ(desk.text(field), "明日送るね。");
}

TEST_F(ToneConversionTest, RegistersGoOnlyWithTone) {
    focusedField("Hello there.");
    coordinator->invoke();
    struct Case {
        std::function<void()> choose;
        std::optional<std::string> sent;
    };
    const Case cases[] = {
        {[&] { panel.buttons().onRegister(Register::casual); }, "casual"},
        {[&] { panel.buttons().onAction(RewriteAction::improve); }, std::nullopt},
        {[&] { panel.buttons().onAction(RewriteAction::translate); }, std::nullopt},
        // Retry repeats the last request.
        {[&] { panel.buttons().onRetry(); }, std::nullopt},
        {[&] { panel.buttons().onAction(RewriteAction::tone); }, "casual"},
    };
    for (const auto& c : cases) {
        c.choose();
        ASSERT_TRUE(awaitConversion());
        const json body = lastBody("/v1/rewrite/convert");
        EXPECT_EQ(body.contains("target_register"), c.sent.has_value()) << body.dump();
        if (c.sent) {
            EXPECT_EQ(body["target_register"], *c.sent);
        }
    }
    EXPECT_EQ(requestsTo("/v1/rewrite/convert"), 5u);
    EXPECT_EQ(lastBody("/v1/rewrite/convert")["rewrite_action"], "tone");
}

TEST_F(ToneConversionTest, TranslatingJapaneseTextSendsNothing) {
    focusedField("これは日本語です。");
    coordinator->invoke();
    panel.buttons().onAction(RewriteAction::translate);
    EXPECT_EQ(box().state(), TonePanelState::picking());
    EXPECT_EQ(box().selectedAction(), RewriteAction::translate);
    EXPECT_EQ(box().translateUnavailableReason(), "This text is already Japanese.");
    EXPECT_TRUE(logged("Rewrite: skipped translate because selected text is already Japanese"));
    EXPECT_EQ(coordinator->lastRewriteAction(), RewriteAction::improve);
    EXPECT_EQ(tokenRequests, 0);
    EXPECT_EQ(requestsTo("/v1/rewrite/convert"), 0u);
}

TEST_F(ToneConversionTest, ServiceFailuresBecomeTheirPanelStates) {
    struct Case {
        json script;
        TonePanelState state;
        std::optional<std::string> logLine;
    };
    const std::string unavailable =
        "AI rewrite service is temporarily unavailable. Please try again later.";
    const Case cases[] = {
        {{{"status", 401}, {"body", {{"error", "unauthorized"}}}},
         TonePanelState::error("Sign-in expired. Please sign in again.", false),
         std::nullopt},
        {{{"status", 413}, {"body", {{"error", "too large"}}}},
         TonePanelState::error("Selection is too long for AI rewrite.", false),
         std::nullopt},
        {{{"status", 503}, {"body", {{"error", "ProviderError"}}}},
         TonePanelState::error(unavailable, true),
         std::nullopt},
        {{{"status", 500}, {"body", {{"error", "boom"}}}},
         TonePanelState::error(unavailable, true),
         "Rewrite: server error code=500"},
        {{{"status", 422}, {"body", {{"detail", "too short"}}}},
         TonePanelState::error("The rewrite didn't pass quality checks. too short", true),
         std::nullopt},
        {{{"status", 422}, {"body", {{"error", "x"}}}},
         TonePanelState::error("The rewrite didn't pass quality checks. ", true),
         std::nullopt},
        {{{"status", 200}, {"body", {{"rewritten_text", 5}}}},
         TonePanelState::error("AI rewrite is temporarily unavailable. Please try again later.",
                               true),
         "Rewrite: unexpected conversion error"},
    };
    focusedField("Hello there.");
    coordinator->invoke();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script.dump());
        stub.script({{"/v1/rewrite/convert", c.script}});
        panel.buttons().onAction(RewriteAction::improve);
        ASSERT_TRUE(awaitConversion());
        EXPECT_EQ(box().state(), c.state) << caseName(box().state());
        if (c.logLine) {
            EXPECT_TRUE(logged(*c.logLine)) << ::testing::PrintToString(lines);
        }

        // Return retries only what may be retried.
        const auto sent = requestsTo("/v1/rewrite/convert");
        panel.press(panel_keys::returnKey);
        const bool retried = box().state().is<Loading>();
        EXPECT_EQ(retried, c.state.get<TonePanelState::Error>()->retryable);
        if (retried) {
            ASSERT_TRUE(awaitConversion());
            EXPECT_EQ(requestsTo("/v1/rewrite/convert"), sent + 1);
        }
        // Failures leave nothing to rate.
        stub.script(json::object());
        panel.buttons().onCancel();
        panel.buttons().onFeedback(FeedbackRating::thumbsUp);
        EXPECT_EQ(box().feedbackErrorMessage(), "Feedback unavailable");
    }
}

TEST_F(ToneConversionTest, AnUnreachableServiceShowsOfflineAndReturnRetries) {
    ToneAPIClient unreachable{transport, defaults, desk.clock(), "http://127.0.0.1:9"};
    auto offline = std::make_shared<ToneCoordinator>(
        ToneCoordinator::Ports{desk.ports(), hotKeys, alerts, unreachable, panel, ownPid}, nullptr,
        [this](auto done) { done(token); }, [] { return false; }, [] {});
    focusedField("Hello there.");
    offline->invoke();
    panel.buttons().onRegister(Register::formalBusiness);
    ASSERT_TRUE(
        testing::runEventLoopUntil([&] { return !offline->stateBox().state().is<Loading>(); }));
    EXPECT_EQ(offline->stateBox().state(), TonePanelState::offline());

    panel.press(panel_keys::returnKey);
    const auto* loading = offline->stateBox().state().get<Loading>();
    ASSERT_NE(loading, nullptr);
    EXPECT_EQ(loading->action, RewriteAction::tone);
    EXPECT_EQ(loading->toneRegister, Register::formalBusiness);
    offline->hidePanel();
}

// The offline text is the same for a stopped service and a lost network;
// the log tells them apart, once per failed request.
TEST_F(ToneConversionTest, AServiceThatDoesNotAnswerIsLoggedWithItsAddress) {
    struct Case {
        const char* name;
        std::string address;
        nlohmann::json script;
        std::string expectedLine;
    };
    const std::string stubAddress = stub.baseURL();
    const Case cases[] = {
        {"nothing listens", "http://127.0.0.1:9", json::object(),
         "Rewrite: no answer from http://127.0.0.1:9: unreachable (Connection refused)"},
        {"the connection drops",
         stubAddress,
         {{"/v1/rewrite/convert", {{"drop", true}}}},
         "Rewrite: no answer from " + stubAddress +
             ": unreachable (The remote host closed the connection)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        stub.script(c.script);
        ToneAPIClient api{transport, defaults, desk.clock(), c.address};
        auto offline = std::make_shared<ToneCoordinator>(
            ToneCoordinator::Ports{desk.ports(), hotKeys, alerts, api, panel, ownPid}, nullptr,
            [this](auto done) { done(token); }, [] { return false; }, [] {});
        std::vector<std::string> seen;
        offline->onLog = [&](const std::string& line) { seen.push_back(line); };
        focusedField("Hello there.");
        offline->invoke();
        panel.buttons().onAction(RewriteAction::improve);
        ASSERT_TRUE(
            testing::runEventLoopUntil([&] { return !offline->stateBox().state().is<Loading>(); }));
        EXPECT_EQ(offline->stateBox().state(), TonePanelState::offline());
        EXPECT_EQ(std::ranges::count(seen, c.expectedLine), 1) << ::testing::PrintToString(seen);
        offline->hidePanel();
    }
}

TEST_F(ToneConversionTest, WithoutATokenTheTextIsNotSent) {
    focusedField("Hello there.");
    coordinator->invoke();
    signedIn = false;  // the session ended while the panel was open
    panel.buttons().onAction(RewriteAction::improve);
    EXPECT_EQ(box().state(), TonePanelState::signedOut());
    EXPECT_TRUE(logged("Rewrite: no access token — showing sign-in prompt"));
    EXPECT_EQ(requestsTo("/v1/rewrite/convert"), 0u);
}

TEST_F(ToneConversionTest, ACancelledRequestNeverComesBack) {
    focusedField("Hello there.");
    coordinator->invoke();
    struct Case {
        const char* name;
        std::function<void()> cancel;
        TonePanelState after;
    };
    const Case cases[] = {
        {"cancel back to the picker", [&] { panel.buttons().onCancel(); },
         TonePanelState::picking()},
        {"a second choice", [&] { panel.buttons().onAction(RewriteAction::translate); },
         TonePanelState::preview("Hello there.", RewriteAction::translate, std::nullopt, 0, true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The first answer (0.3 s) would come before a probe's (0.6 s).
        stub.script(json::parse(R"({"/v1/rewrite/convert": [{"delay": 0.3}, {"delay": 0.6}]})"));
        history.clear();
        panel.buttons().onAction(RewriteAction::improve);
        c.cancel();
        if (!box().state().is<Loading>()) {
            ToneAPIClient::ConvertRequest probe;
            probe.targetText = "probe";
            probe.requestId = "probe";
            probe.accessToken = token;
            bool answered = false;
            client.convert(probe, [&](auto) { answered = true; });
            ASSERT_TRUE(testing::runEventLoopUntil([&] { return answered; }));
        } else {
            ASSERT_TRUE(awaitConversion());
        }
        auto after = box().state();
        if (auto* p = std::get_if<Preview>(&after.value))
            p->latencyMs = 0;
        EXPECT_EQ(after, c.after) << caseName(after);
        for (const auto& state : history) {
            EXPECT_FALSE(state.is<Preview>() &&
                         state.get<Preview>()->action == RewriteAction::improve);
        }
    }

    // Closing the panel cancels the running request too.
    stub.script(json::parse(R"({"/v1/rewrite/convert": [{"delay": 0.3}, {"delay": 0.6}]})"));
    panel.buttons().onAction(RewriteAction::improve);
    history.clear();
    panel.press(panel_keys::escape);
    bool answered = false;
    ToneAPIClient::ConvertRequest probe;
    probe.targetText = "probe";
    probe.requestId = "probe";
    probe.accessToken = token;
    client.convert(probe, [&](auto) { answered = true; });
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return answered; }));
    EXPECT_TRUE(history.empty());
}

}  // namespace
}  // namespace mivo
