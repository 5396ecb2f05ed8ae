// Which application gets the rewrite back when the text's own process is no
// longer there: another running process of the same application, found by
// its identifier, or none at all.

#include "coordinator_scene.hpp"
#include "tone/tone_warm_buffer.hpp"

namespace mivo {
namespace {

using Preview = TonePanelState::Preview;

class HostApplicationTest : public CoordinatorScene {
  protected:
    HostApplicationTest() {
        withBuffer = std::make_shared<ToneCoordinator>(
            ToneCoordinator::Ports{desk.ports(), hotKeys, alerts, client, panel, ownPid}, &warm,
            [this](auto done) { done(token); }, [] { return false; }, [] {});
        withBuffer->onLog = [this](const std::string& line) { lines.push_back(line); };
    }
    ~HostApplicationTest() override { warm.stop(); }

    // The warm buffer holds the selected sentence of the editor's field when
    // the editor's process quits; then the user asks for a rewrite and
    // applies it.
    void rewriteAfterTheEditorQuit() {
        const auto field = focusedField("前の文。私はは学生です。");
        warm.start();
        desk.select(field, Utf16Range{4, 8});
        desk.clock().advance(0.3);
        desk.quitApplication(pid);

        withBuffer->invoke();
        ASSERT_TRUE(panel.isOpen()) << ::testing::PrintToString(lines);
        EXPECT_EQ(withBuffer->originalText(), "私はは学生です。");
        panel.buttons().onAction(RewriteAction::improve);
        const ToneStateBox& state = withBuffer->stateBox();
        ASSERT_TRUE(testing::runEventLoopUntil(
            [&] { return !state.state().is<TonePanelState::Loading>(); }));
        ASSERT_TRUE(state.state().is<Preview>()) << caseName(state.state());
        panel.buttons().onApply();
        desk.clock().advance(0.15);
    }

    ToneWarmBuffer warm{desk.ports(), [] { return ToneLimits::maxTargetCharacters(); }};
    std::shared_ptr<ToneCoordinator> withBuffer;
};

TEST_F(HostApplicationTest, AnotherProcessOfTheSameApplicationIsBroughtBackAndTakesTheText) {
    const Pid secondWindow = 101;
    desk.addApplication(secondWindow, "Editor", "com.example.editor");
    rewriteAfterTheEditorQuit();
    EXPECT_EQ(desk.frontmostPid(), secondWindow);
    EXPECT_TRUE(std::ranges::any_of(lines, [](const std::string& line) {
        return line.starts_with("Tone: applied via ") &&
               line.ends_with("→ host=com.example.editor");
    })) << ::testing::PrintToString(lines);
}

TEST_F(HostApplicationTest, NoApplicationIsBroughtForwardWhenNoneHasTheIdentifier) {
    // Another application runs, but none of the editor's identifier.
    rewriteAfterTheEditorQuit();
    EXPECT_EQ(desk.frontmostPid(), std::nullopt);
    EXPECT_TRUE(std::ranges::any_of(lines, [](const std::string& line) {
        return line.starts_with("Tone: applied via ") && line.ends_with("→ host=-");
    })) << ::testing::PrintToString(lines);
}

}  // namespace
}  // namespace mivo
