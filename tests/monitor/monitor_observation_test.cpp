#include <gtest/gtest.h>

#include <string>

#include "monitor_scene.hpp"

namespace mivo {
namespace {

// A workspace whose activation notifications never arrive, as when the
// system missed the change of the active window.
class UnannouncedActivations : public Workspace {
  public:
    explicit UnannouncedActivations(Workspace& inner) : inner_(inner) {}
    std::optional<RunningApplication> frontmostApplication() override {
        return inner_.frontmostApplication();
    }
    std::optional<RunningApplication> runningApplication(Pid pid) override {
        return inner_.runningApplication(pid);
    }
    std::vector<RunningApplication> runningApplications() override {
        return inner_.runningApplications();
    }
    bool activate(Pid pid) override { return inner_.activate(pid); }
    bool openURL(std::string_view url) override { return inner_.openURL(url); }
    Cancel observeActivation(ActivationHandler) override {
        return Cancel([] {});
    }

  private:
    Workspace& inner_;
};

TEST(LateFrontmostTest, AnApplicationThatComesToTheFrontUnannouncedIsAttachedByTheFocusPoll) {
    sim::SimDesktop desk;
    UnannouncedActivations quiet(desk.workspace());
    const Desktop p = desk.ports();
    AccessibilityMonitor monitor(
        Desktop{p.scheduler, p.accessibility, quiet, p.screens, p.input, p.pasteboard, p.log});
    int candidates = 0;
    monitor.onSentenceCompleted = [&](const CompletedSentenceCandidate&) { ++candidates; };

    monitor.start();
    EXPECT_FALSE(desk.log().contains("start: frontmost app"));
    EXPECT_TRUE(
        desk.log().contains("[Mivo] observe: no text-editing element found in frontmost app"));
    desk.clock().advance(1.0);

    desk.addApplication(300, "Notes");
    const auto window = desk.addWindow(300, "Note");
    const auto field = desk.addTextField(window, "");
    desk.activateApplication(300);
    desk.focus(field);
    desk.clock().advance(0.5);
    EXPECT_FALSE(monitor.observedElement());

    desk.clock().advance(0.5);
    EXPECT_EQ(monitor.observedElement(), desk.element(field));
    EXPECT_EQ(monitor.observedFocusPid(), 300);
    desk.typeText("今日は良い天気です。");
    desk.clock().advance(1);
    EXPECT_EQ(candidates, 1);
}

class ObservationTest : public MonitorScene {
  protected:
    ObservationTest() { monitor.start(); }
};

struct WindowCase {
    const char* why;
    bool otherFieldFocused;  // silently, without a focus notification
    bool kept;
};

TEST_F(ObservationTest, ATitleChangeAroundTheSameFieldKeepsThePendingSentence) {
    const WindowCase cases[] = {
        {"an editor marking its window unsaved", false, true},
        {"another document's field in the renamed window", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        monitor.stop();
        desk.removeScriptedAttribute(app, "AXFocusedUIElement");
        desk.setWindowTitle(window, "Untitled");
        desk.setText(field, "");
        monitor.start();
        candidates.clear();
        contextChanges = 0;
        const auto other = desk.addTextField(window, "");

        // Ticks at 1 s; the sentence's pause ends at 1.35 s.
        advance(0.6);
        desk.setText(field, "今日は良い天気です。");
        advance(0.1);
        desk.setWindowTitle(window, "● Untitled");
        if (c.otherFieldFocused)
            desk.setAttribute(app, "AXFocusedUIElement", AXValue(desk.element(other)));
        advance(1);

        EXPECT_EQ(candidates.size(), c.kept ? 1u : 0u);
        EXPECT_EQ(contextChanges, c.kept ? 0 : 1);
        EXPECT_EQ(monitor.observedElement(), desk.element(c.kept ? field : other));
    }
}

TEST_F(ObservationTest, AFieldAttachedToIsCheckedAsItStandsChangedOrNot) {
    // A paragraph of a document the caret moves into holds what was
    // written before; the attach took its boxes away, and it may never be
    // edited again to bring them back.
    struct Case {
        const char* why;
        std::string text;
        bool previousDeleted;
        bool checked;
    };
    const Case cases[] = {
        {"the caret moved into a paragraph written before", "東京で住んでいます。", false, true},
        {"the paragraph above deleted, the caret's one focused anew", "明日も晴れます。", true,
         true},
        {"an empty paragraph", "", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto previous = desk.addTextField(window, "");
        desk.focus(previous);
        advance(1.1);
        ASSERT_EQ(monitor.observedElement(), desk.element(previous));
        candidates.clear();
        const auto into = desk.addTextField(window, c.text);
        if (c.previousDeleted)
            desk.destroy(previous);
        desk.focus(into);
        advance(1.1);
        EXPECT_EQ(monitor.observedElement(), desk.element(into));
        ASSERT_EQ(candidates.size(), c.checked ? 1u : 0u);
        if (c.checked) {
            EXPECT_EQ(candidates.front().text, c.text);
        }
    }
}

TEST_F(ObservationTest, AWindowClosedWithItsFieldEndsTheSentenceAndTheContext) {
    desk.typeText("今日は良い天気です。");
    advance(0.5);
    desk.destroy(window);
    advance(0.1);  // the text poll lets the field go
    EXPECT_FALSE(monitor.observedElement());
    EXPECT_EQ(contextChanges, 0);
    advance(0.4);  // the focus poll reports the change
    EXPECT_TRUE(desk.log().contains(
        "[Mivo] focusPoll: re-attaching (frontChanged=false stale=true windowChanged=false)"));
    EXPECT_EQ(contextChanges, 1);
    advance(2);
    EXPECT_TRUE(candidates.empty());
}

TEST_F(ObservationTest, TheTextPollFindsAChangeThatSentNoNotification) {
    desk.setAttribute(field, "AXValue", AXValue("今日は良い天気です。"));
    advance(0.3);
    EXPECT_EQ(logged("[Mivo] textPoll: value changed 0->10 chars: \"今日は良い天気です。\""), 1u);
    advance(1);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].text, "今日は良い天気です。");
}

TEST_F(ObservationTest, AnIdleFieldIsNotReadWholeOnEveryPollTick) {
    std::string large;
    for (int i = 0; i < 2500; ++i)
        large += "今日は雨です。明後日も";
    desk.setText(field, large);
    advance(2);
    const auto reads = [&] { return desk.accessibility().valueReads(); };
    const std::size_t settled = reads();
    // Idle for 3 s: ten ticks look at the length and caret only.
    advance(3);
    EXPECT_EQ(reads(), settled);
    // Idle long enough, one tick reads it in case a change went unannounced.
    advance(6);
    EXPECT_EQ(reads(), settled + 1);

    // The caret moves: the next tick reads it.
    const std::size_t before = reads();
    desk.select(field, Utf16Range{3, 0});
    advance(0.3);
    EXPECT_GT(reads(), before);
}

TEST_F(ObservationTest, WithoutAValueObserverAKeyDownReadsTheFieldWhenItsLengthChanged) {
    desk.setObserverCreationFails(pid, true);
    const auto other = desk.addTextField(window, "");
    desk.focus(other);
    advance(0.3);  // just after a text-poll tick
    EXPECT_TRUE(desk.log().contains(
        "[Mivo] observe: atspi_event_listener_register for text events failed err=-25200"));
    ASSERT_EQ(monitor.observedElement(), desk.element(other));

    desk.typeText("今");
    advance(0.25);
    EXPECT_EQ(logged("[Mivo] rawKeys→read: value changed 0->1 chars"), 1u);
    EXPECT_EQ(logged("[Mivo] schedule: debounce"), 1u);

    // One Character for another: the length is the same, so the key-down
    // reads nothing and the next poll tick finds the change.
    advance(0.05);
    desk.select(other, Utf16Range{0, 1});
    desk.typeText("明");
    advance(0.25);
    EXPECT_EQ(logged("[Mivo] schedule: debounce"), 1u);
    advance(0.05);
    EXPECT_EQ(logged("[Mivo] textPoll: value changed 1->1 chars: \"明\""), 1u);
    EXPECT_EQ(logged("[Mivo] schedule: debounce"), 2u);
}

TEST_F(ObservationTest, AKeyDownReReadOfAFieldNoLongerFollowedSchedulesNothing) {
    desk.typeText("今日は良い天気です。");
    advance(0.1);
    const auto other = desk.addTextField(window, "");
    desk.focus(other);
    advance(3);
    EXPECT_EQ(monitor.observedElement(), desk.element(other));
    EXPECT_TRUE(candidates.empty());
    EXPECT_FALSE(desk.log().contains("rawKeys→read"));
}

TEST_F(ObservationTest, AFocusObserverThatCannotBeMadeIsRetriedEverySecond) {
    desk.addApplication(300, "Notes");
    desk.addTextField(desk.addWindow(300, "Note"), "");
    desk.setObserverCreationFails(300, true);
    desk.activateApplication(300);
    advance(2.1);
    // Once for the activation and once by the first poll; the polls after it
    // retry without repeating the line.
    EXPECT_EQ(logged("[Mivo] focusObserver: atspi_event_listener_register failed for pid=300"), 2u);
    EXPECT_EQ(monitor.observedFocusPid(), 0);

    desk.setObserverCreationFails(300, false);
    advance(1);
    EXPECT_EQ(logged("[Mivo] focusObserver: watching pid=300"), 1u);
    EXPECT_EQ(monitor.observedFocusPid(), 300);
}

}  // namespace
}  // namespace mivo

namespace mivo {
namespace {

TEST_F(ObservationTest, MivosOwnWindowInFrontKeepsTheFieldAndItsPendingSentence) {
    // Mivo's own process: the accessibility bus never answers for it, so
    // its window in front would read as a front application without a field.
    const Pid self = 900;
    desk.addApplication(self, "Mivo");
    const auto panel = desk.addWindow(self, "Mivo");
    monitor.setOwnProcessId(self);
    desk.typeText("今日は良い天気です。");
    advance(0.2);
    desk.activateApplication(self);
    desk.focus(desk.addTextField(panel, ""));
    // Past several focus polls and the sentence's pause.
    advance(3.2);
    EXPECT_EQ(monitor.observedElement(), desk.element(field));
    EXPECT_EQ(contextChanges, 0);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates.front().text, "今日は良い天気です。");
    EXPECT_FALSE(desk.log().contains("focusPoll: re-attaching"));

    // Back in the editor, the sentence is boxed again within two seconds:
    // whatever the return cleared is checked anew.
    monitor.onCorrectionContextChanged = [&] {
        ++contextChanges;
        candidates.clear();
    };
    desk.activateApplication(pid);
    advance(2.0);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates.front().text, "今日は良い天気です。");
}

TEST_F(ObservationTest, OneFocusChangeAttachesAndReadsTheFieldOnce) {
    // Another document's window: the window's activation and the field's
    // focus are two notifications; the field is read once.
    const auto other = desk.addWindow(pid, "Other");
    const auto second = desk.addTextField(other, "二つ目の文書です。");
    desk.log().clear();
    desk.focus(second);
    advance(0.2);
    EXPECT_EQ(monitor.observedElement(), desk.element(second));
    EXPECT_EQ(logged("observe: ATTACHED"), 1u);

    // Another application brought forward: its activation, its window and
    // its field's focus.
    desk.addApplication(200, "Notes");
    const auto notes = desk.addTextField(desk.addWindow(200, "Note"), "");
    desk.log().clear();
    desk.activateApplication(200);
    desk.focus(notes);
    advance(0.2);
    EXPECT_EQ(monitor.observedElement(), desk.element(notes));
    EXPECT_EQ(logged("observe: ATTACHED"), 1u);
}

}  // namespace
}  // namespace mivo
