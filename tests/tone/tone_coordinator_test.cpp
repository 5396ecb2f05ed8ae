// Opening the rewrite panel: the refusals and their alerts, the signed-out
// panel, the length limit, the keys, the activation guard and a second press
// while a panel is open.

#include "coordinator_scene.hpp"

namespace mivo {
namespace {

using Field = ToneStateBox::Field;

class ToneCoordinatorTest : public CoordinatorScene {};

TEST_F(ToneCoordinatorTest, RefusalsShowTheirAlertAFewMillisecondsLater) {
    struct Case {
        const char* name;
        std::string bundle;    // of the application in front
        std::string text;      // of its focused field; none focused when empty
        std::string selected;  // selected in it
        std::string message;
        std::string logLine;
    };
    const Case cases[] = {
        {"terminal in front", "org.gnome.Terminal", "echo hi", "echo hi",
         ToneCoordinator::kCodeEditorRefusal,
         "Tone: surface_tag=code_or_terminal (org.gnome.Terminal) — skipping"},
        // Refused before any text is looked at: even without a field.
        {"code editor without a field", "code", "", "", ToneCoordinator::kCodeEditorRefusal,
         "Tone: surface_tag=code_or_terminal (code) — skipping"},
        {"no field", "com.example.writer", "", "", ToneCoordinator::kNoTextRefusal,
         "Tone: no readable text in focused control — soft-fail"},
        // Only spaces selected: nothing readable, whatever else the field holds.
        {"blank selection", "com.example.writer", "   ", "   ", ToneCoordinator::kNoTextRefusal,
         "Tone: no readable text in focused control — soft-fail"},
    };
    Pid next = 400;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        alerts.shown.clear();
        lines.clear();
        const Pid app = next++;
        desk.addApplication(app, c.bundle, c.bundle);
        const auto window = desk.addWindow(app, "w");
        desk.activateApplication(app);
        if (!c.text.empty()) {
            const auto field = desk.addTextField(window, c.text);
            desk.focus(field);
            const auto start =
                *text::characterToUtf16Offset(c.text, *text::find(c.text, c.selected));
            desk.select(field, Utf16Range{start, text::utf16Length(c.selected)});
        }

        coordinator->invoke();
        EXPECT_TRUE(alerts.shown.empty()) << "shown inside the press";
        desk.clock().advance(0.009);
        EXPECT_TRUE(alerts.shown.empty());
        desk.clock().advance(0.001);
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].request.title, "Mivo Rewrite");
        EXPECT_EQ(alerts.shown[0].request.message, c.message);
        EXPECT_EQ(alerts.shown[0].request.buttons, std::vector<std::string>{"OK"});
        EXPECT_EQ(alerts.shown[0].request.style, AlertRequest::Style::informational);
        EXPECT_TRUE(logged(c.logLine)) << ::testing::PrintToString(lines);
        EXPECT_FALSE(panel.isOpen());
    }
    EXPECT_EQ(tokenRequests, 0);
}

TEST_F(ToneCoordinatorTest, TheLimitCountsTrimmedCharactersAndNamesItself) {
    ToneLimits::update(5);
    struct Case {
        std::string selected;
        bool opens;
    };
    // "が" + combining mark is one Character; surrounding white space is not counted.
    const Case cases[] = {{"あいうえお", true},
                          {"  あいうえお \n", true},
                          {"あいうえか\u3099", true},
                          {"あいうえおか", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selected);
        alerts.shown.clear();
        coordinator->hidePanel();
        fieldWithSelection("前" + c.selected + "後", c.selected);
        coordinator->invoke();
        desk.clock().advance(0.01);
        EXPECT_EQ(panel.isOpen(), c.opens);
        if (c.opens) {
            EXPECT_TRUE(alerts.shown.empty());
            EXPECT_EQ(text::characterCount(coordinator->originalText()), 5);
        } else {
            EXPECT_EQ(alertMessages(),
                      std::vector<std::string>{"Selection too long - max 5 characters"});
            EXPECT_TRUE(logged("Tone: target_text 6 chars exceeds 5 - soft-fail"));
        }
    }
}

// With no service configured there is nothing to sign in to or send to: the
// press says so (and why, when the address set was refused), and neither a
// token nor the network is asked.
TEST_F(ToneCoordinatorTest, WithoutAServiceThePressSaysSoAndSendsNothing) {
    struct Row {
        const char* address;  // MIVO_API_URL; nullptr: not set
        std::string says;
    };
    const Row rows[] = {
        {nullptr, ToneCoordinator::kNoServiceRefusal},
        {"http://localhost:8080",
         "The address in MIVO_API_URL, \u201Chttp://localhost:8080\u201D, was refused: plain "
         "http is used only with a loopback address written as a number, because the name "
         "localhost may lead to [::1], where another user's program can answer. Write "
         "http://127.0.0.1:8080 instead."},
    };
    ToneAPIClient unconfigured{transport, defaults, desk.clock(), ""};
    auto alone = std::make_shared<ToneCoordinator>(
        ToneCoordinator::Ports{desk.ports(), hotKeys, alerts, unconfigured, panel, ownPid}, nullptr,
        [this](std::function<void(std::optional<std::string>)> done) {
            ++tokenRequests;
            done(token);
        },
        [] { return true; }, [this] { ++signInRequests; });
    fieldWithSelection("前の文です", "文");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.address ? row.address : "(not set)");
        if (row.address)
            setenv("MIVO_API_URL", row.address, 1);
        alerts.shown.clear();
        alone->invoke();
        desk.clock().advance(0.01);
        unsetenv("MIVO_API_URL");
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].request.message, row.says);
        EXPECT_FALSE(panel.isOpen()) << "the sign-in panel offers what cannot work";
    }
    EXPECT_EQ(tokenRequests, 0);
    EXPECT_EQ(signInRequests, 0);
    EXPECT_TRUE(stub.requests().empty());
}

TEST_F(ToneCoordinatorTest, SignedOutOpensTheSignInPanelWithoutTheTextChecks) {
    signedIn = false;
    ToneLimits::update(3);
    for (const std::string selected : {"   ", "とても長い文章です"}) {
        SCOPED_TRACE(selected);
        coordinator->hidePanel();
        fieldWithSelection("前" + selected + "後", selected);
        coordinator->invoke();
        desk.clock().advance(0.01);
        EXPECT_TRUE(alerts.shown.empty());
        ASSERT_TRUE(panel.isOpen());
        EXPECT_EQ(box().state(), TonePanelState::signedOut());
        EXPECT_EQ(panel.last().originalText, "");
        EXPECT_TRUE(logged("Tone: user signed out — showing sign-in prompt"));
    }

    // An address that cannot work, as the account card tells it, is what
    // the panel says first: the sign-in would only meet it.
    const std::string fault =
        "The server at http://127.0.0.2:8080 could not be reached (Connection refused).";
    coordinator->accountFault = [&]() -> std::optional<std::string> { return fault; };
    coordinator->hidePanel();
    coordinator->invoke();
    EXPECT_EQ(box().state(), TonePanelState::signedOut(fault));

    // The panel's sign-in button asks for the sign-in and closes the panel.
    panel.buttons().onSignIn();
    EXPECT_EQ(signInRequests, 1);
    EXPECT_FALSE(panel.isOpen());
    EXPECT_TRUE(logged("Tone: sign-in requested from rewrite panel"));
    EXPECT_EQ(requestsTo("/v1/rewrite/convert"), 0u);
}

TEST_F(ToneCoordinatorTest, AnOpenedPanelCarriesTheRequestAndLogsWhereItCameFrom) {
    const std::string text = "最初の文です。Hello there friend. 最後の文。";
    openPanel(text, "Hello there friend.");
    EXPECT_EQ(box().state(), TonePanelState::picking());
    EXPECT_EQ(panel.last().originalText, "Hello there friend.");
    EXPECT_EQ(panel.last().box, &coordinator->stateBox());
    EXPECT_TRUE(panel.last().anchor.has_value());
    EXPECT_EQ(visibility, std::vector<bool>{true});
    // English text may be translated.
    EXPECT_EQ(box().translateUnavailableReason(), std::nullopt);
    EXPECT_TRUE(
        logged("Tone: panel opened — COLD path, target_text=19 chars, ctx=(7/5), "
               "bundle=com.example.editor, surface_tag=unknown"))
        << ::testing::PrintToString(lines);

    coordinator->hidePanel();
    openPanel("これは日本語の文章です。", "日本語の文章");
    EXPECT_EQ(box().translateUnavailableReason(), "This text is already Japanese.");
}

TEST_F(ToneCoordinatorTest, TheWarmBufferServesTheRequestAndIsClearedAfterIt) {
    ToneWarmBuffer warm(desk.ports(), [] { return ToneLimits::maxTargetCharacters(); });
    std::vector<std::string> warmLines;
    warm.onLog = [&](const std::string& line) { warmLines.push_back(line); };
    auto withBuffer = std::make_shared<ToneCoordinator>(
        ToneCoordinator::Ports{desk.ports(), hotKeys, alerts, client, panel, ownPid}, &warm,
        [this](auto done) { done(token); }, [] { return false; }, [] {});
    withBuffer->onLog = [this](const std::string& line) { lines.push_back(line); };
    fieldWithSelection("Before. Warm text here. After.", "Warm text here.");
    warm.start();
    desk.clock().advance(1);

    withBuffer->invoke();
    ASSERT_TRUE(panel.isOpen());
    EXPECT_EQ(withBuffer->originalText(), "Warm text here.");
    EXPECT_TRUE(
        logged("Tone: panel opened — warm path, target_text=15 chars, ctx=(7/6), "
               "bundle=com.example.editor, surface_tag=unknown"))
        << ::testing::PrintToString(lines);
    withBuffer->hidePanel();
    EXPECT_EQ(warmLines.back(), "warmBuffer: cleared (request_completion)");
    warm.stop();
}

TEST_F(ToneCoordinatorTest, TheHotKeyOpensThePanelOnceStarted) {
    fieldWithSelection("Some text here.", "text");
    EXPECT_EQ(hotKeys.press(38, 768), 0);
    EXPECT_TRUE(coordinator->start());
    EXPECT_TRUE(logged("ToneCoordinator: started, listening for tone hotkey"));
    EXPECT_EQ(hotKeys.press(38, 768), 1);
    desk.clock().advance(0);
    EXPECT_TRUE(panel.isOpen());

    coordinator->stop();
    EXPECT_FALSE(panel.isOpen());
    EXPECT_EQ(hotKeys.press(38, 768), 0);
    // While stopped a new shortcut is only stored; started, it is registered.
    EXPECT_TRUE(coordinator->configureShortcut(40, 768));
    EXPECT_TRUE(hotKeys.registered().empty());
    EXPECT_TRUE(coordinator->start());
    EXPECT_EQ(hotKeys.registered(), (std::vector<std::pair<uint32_t, uint32_t>>{{40, 768}}));
    hotKeys.holdElsewhere(41, 768);
    EXPECT_FALSE(coordinator->configureShortcut(41, 768));
}

TEST_F(ToneCoordinatorTest, ArrowsStepThroughActionsAndRegistersWithWrapAround) {
    openPanel("Some text here.", "text");
    struct Step {
        int key;
        RewriteAction action;
        Register reg;
    };
    // From improve and polite.
    const Step steps[] = {
        {panel_keys::leftArrow, RewriteAction::translate, Register::polite},
        {panel_keys::downArrow, RewriteAction::improve, Register::polite},
        {panel_keys::rightArrow, RewriteAction::tone, Register::polite},
        // With tone selected the arrows move the register.
        {panel_keys::rightArrow, RewriteAction::tone, Register::formalBusiness},
        {panel_keys::downArrow, RewriteAction::tone, Register::casual},
        {panel_keys::upArrow, RewriteAction::tone, Register::formalBusiness},
    };
    for (const auto& s : steps) {
        EXPECT_TRUE(panel.press(s.key));
        EXPECT_EQ(box().selectedAction(), s.action);
        EXPECT_EQ(box().selectedRegister(), s.reg);
    }
    EXPECT_FALSE(panel.press(-1));
    EXPECT_FALSE(panel.press(48));  // Tab goes to the panel's own controls

    // Return starts tone with the selected register.
    EXPECT_TRUE(panel.press(panel_keys::returnKey));
    EXPECT_EQ(box().state().get<TonePanelState::Loading>()->toneRegister, Register::formalBusiness);
    // Outside picking the arrows change nothing.
    EXPECT_TRUE(panel.press(panel_keys::rightArrow));
    EXPECT_EQ(box().selectedRegister(), Register::formalBusiness);
    ASSERT_TRUE(awaitConversion());
    EXPECT_TRUE(panel.press(panel_keys::escape));
    EXPECT_FALSE(panel.isOpen());
}

TEST_F(ToneCoordinatorTest, WithTheComposerOpenOnlyEscapeIsTaken) {
    openPanel("Some text here.", "text");
    coordinator->stateBox().setFeedbackComposerPresented(true);
    for (int key : {panel_keys::leftArrow, panel_keys::returnKey, panel_keys::keypadEnter}) {
        EXPECT_FALSE(panel.press(key)) << key;
    }
    EXPECT_EQ(box().selectedAction(), RewriteAction::improve);
    EXPECT_EQ(box().state(), TonePanelState::picking());
    EXPECT_TRUE(panel.press(panel_keys::escape));
    EXPECT_FALSE(box().feedbackComposerPresented());
    EXPECT_TRUE(panel.isOpen());
}

TEST_F(ToneCoordinatorTest, AnotherApplicationInFrontClosesThePanel) {
    openPanel("Some text here.", "text");
    // Mivo's own windows and the host itself leave it open.
    desk.activateApplication(ownPid);
    desk.clock().advance(0);
    desk.activateApplication(pid);
    desk.clock().advance(0);
    desk.postActivationNotification(std::nullopt);
    desk.clock().advance(0);
    EXPECT_TRUE(panel.isOpen());
    EXPECT_EQ(coordinator->originalText(), "text");

    desk.activateApplication(otherPid);
    desk.clock().advance(0);
    EXPECT_FALSE(panel.isOpen());
    EXPECT_EQ(coordinator->originalText(), "");
    EXPECT_TRUE(logged(
        "Tone: host app deactivated (com.example.editor → org.example.Other) — dismissing panel"));
    EXPECT_EQ(visibility, (std::vector<bool>{true, false}));

    // The guard went with the panel.
    lines.clear();
    desk.activateApplication(pid);
    desk.clock().advance(0);
    desk.activateApplication(otherPid);
    desk.clock().advance(0);
    EXPECT_TRUE(lines.empty());
}

TEST_F(ToneCoordinatorTest, ASecondPressRebuildsThePanelForTheNewText) {
    const auto field = openPanel("First sentence. Second one.", "First sentence.");
    // The first request is still running when the user selects other text
    // and presses the hotkey again.
    // Were the first answer (0.3 s) not dropped, it would arrive before the
    // second (0.6 s).
    stub.script(
        nlohmann::json::parse(R"({"/v1/rewrite/convert": [{"delay": 0.3}, {"delay": 0.6}]})"));
    panel.buttons().onAction(RewriteAction::improve);
    desk.select(field, Utf16Range{16, 11});
    coordinator->invoke();

    ASSERT_EQ(panel.openings.size(), 2u);
    EXPECT_EQ(panel.closes, 1);
    EXPECT_TRUE(panel.isOpen());
    EXPECT_EQ(panel.last().originalText, "Second one.");
    EXPECT_EQ(coordinator->originalText(), "Second one.");
    EXPECT_EQ(box().state(), TonePanelState::picking());

    // The first request's answer never shows over the new panel.
    panel.buttons().onAction(RewriteAction::tone);
    ASSERT_TRUE(awaitConversion());
    ASSERT_TRUE(box().state().is<TonePanelState::Preview>());
    EXPECT_EQ(box().state().get<TonePanelState::Preview>()->rewritten, "Second one.");
    for (const auto& state : history) {
        if (const auto* preview = state.get<TonePanelState::Preview>()) {
            EXPECT_EQ(preview->rewritten, "Second one.");
        }
    }
}

}  // namespace
}  // namespace mivo
