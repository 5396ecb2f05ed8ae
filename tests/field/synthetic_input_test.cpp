#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "field/ax_geometry.hpp"
#include "field/synthetic_input.hpp"
#include "platform/sim/sim_input.hpp"
#include "sim_scene.hpp"

namespace mivo {
namespace {

const std::vector<PasteboardItem> kUserContents = {
    PasteboardItem{{{"image/png", "PNG-bytes"}, {std::string(kPasteboardTypeString), "a photo"}}},
};

class SyntheticInputTest : public SimScene {
  protected:
    SyntheticInputTest() {
        field = desk.addTextField(window, "今日は晴れです。");
        desk.focus(field);
        desk.pasteboard().userCopies(kUserContents);
        target = InputTarget{el(field), pid, pid};
    }

    const std::vector<KeyEvent>& keys() { return desk.input().keyEvents(); }
    const std::vector<MouseEvent>& mice() { return desk.input().mouseEvents(); }
    std::vector<PasteboardItem> board() { return desk.pasteboard().items(); }
    bool logged(std::string_view line) { return desk.log().contains(line); }

    // Selects 晴れ as the ladder does before it queues input.
    SelectedTarget selectHare() {
        EXPECT_TRUE(input->selectReplacementRange({3, 2}, "晴れ", el(field), "test:"));
        return SelectedTarget{el(field), {3, 2}, "晴れ"};
    }
    // 晴れ's rectangle in screen coordinates, as the monitor measures it.
    Rect hareRect() {
        return *AXTextExtractor::directBoundsForRange(ax, screens, {3, 2}, el(field));
    }

    sim::SimId field = 0;
    InputTarget target;
    std::unique_ptr<SyntheticInput> input =
        std::make_unique<SyntheticInput>(desk.ports(), [this] { return target; });
};

// --- Events -----------------------------------------------------------------

TEST_F(SyntheticInputTest, UnicodeTypingPostsOneKeyPressPerCharacter) {
    // An emoji is a surrogate pair, が a base with a combining mark.
    ASSERT_TRUE(input->postUnicodeText("a😀か\u3099"));
    ASSERT_EQ(keys().size(), 6u);
    const std::u16string expected[] = {u"a", u"😀", u"か\u3099"};
    for (std::size_t i = 0; i < 3; ++i) {
        for (const KeyEvent& e : {keys()[2 * i], keys()[2 * i + 1]}) {
            EXPECT_EQ(e.keyCode, kKeyCodeUnicodeCarrier);
            EXPECT_EQ(e.unicodeString, expected[i]);
        }
        EXPECT_TRUE(keys()[2 * i].keyDown);
        EXPECT_FALSE(keys()[2 * i + 1].keyDown);
    }
}

struct DragCase {
    double width;
    double inset;
};

TEST_F(SyntheticInputTest, MouseDragRunsAlongTheMiddleALittleInsideTheEnds) {
    // 8% of the width, at least 1 and at most 6.
    const DragCase cases[] = {{10, 1.0}, {50, 4.0}, {200, 6.0}, {2, 1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        desk.input().clearRecordedEvents();
        // Screen coordinates, y up: y 100, 20 high, on the 900-high screen.
        ASSERT_TRUE(input->postMouseDragSelection(Rect{100, 100, c.width, 20}));
        ASSERT_EQ(mice().size(), 10u);
        EXPECT_EQ(mice().front().type, MouseEventType::leftMouseDown);
        EXPECT_EQ(mice().front().location, (Point{100 + c.inset, 790}));
        for (std::size_t k = 1; k <= 8; ++k)
            EXPECT_EQ(mice()[k].type, MouseEventType::leftMouseDragged);
        EXPECT_EQ(mice()[8].location, (Point{100 + c.width - c.inset, 790}));
        EXPECT_EQ(mice().back().type, MouseEventType::leftMouseUp);
        EXPECT_EQ(mice().back().location, mice()[8].location);
    }
}

// --- Selection --------------------------------------------------------------

TEST_F(SyntheticInputTest, SelectingARangeFocusesSelectsAndConfirms) {
    const sim::SimId other = desk.addTextField(window, "別の欄");
    desk.focus(other);
    EXPECT_TRUE(input->selectReplacementRange({3, 2}, "晴れ", el(field), "test:"));
    EXPECT_EQ(desk.focusedElement(pid), field);
    EXPECT_EQ(desk.selection(field), (Utf16Range{3, 2}));
}

struct MatchCase {
    const char* why;
    std::string selectedText;
    std::string expected;
    bool matches;
};

TEST_F(SyntheticInputTest, SelectionChecksTrimOnlyTheReading) {
    const MatchCase cases[] = {
        {"exact", "晴れ", "晴れ", true},
        {"a trailing line feed in the reading", "晴れ\n", "晴れ", true},
        {"an expected leading space is never matched by a trimmed reading", "晴れ", " 晴れ", false},
        {"but an exact reading with the space is", " 晴れ", " 晴れ", true},
        {"other text", "雪", "晴れ", false},
    };
    // The range read is out of the way, so only the selected text counts.
    desk.select(field, {0, 0});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        desk.setAttribute(field, "AXSelectedText", AXValue(c.selectedText));
        EXPECT_EQ(input->selectionMatchesExpectedText(c.expected, {0, 1}, el(field)), c.matches);
        EXPECT_EQ(input->currentSelectionMatchesExpectedText(c.expected, el(field)), c.matches);
    }
}

TEST_F(SyntheticInputTest, TheRangeIsReadWhenTheSelectedTextIsNot) {
    desk.setAttributeError(field, "AXSelectedText", AXError::attributeUnsupported);
    EXPECT_TRUE(input->selectionMatchesExpectedText("晴れ", {3, 2}, el(field)));
    EXPECT_FALSE(input->selectionMatchesExpectedText("晴れ", {0, 2}, el(field)));
}

// --- Activation ---------------------------------------------------------------

struct ActivationCase {
    const char* why;
    Pid focusPid;
    Pid observedPid;
    const char* line;
};

TEST_F(SyntheticInputTest, ActivationPrefersTheWatchedApplication) {
    desk.addApplication(200, "Other");
    desk.activateApplication(200);
    const ActivationCase cases[] = {
        {"the watched application", 100, 200, "activated target app pid=100 ok=true"},
        {"no watched application: the element's", 0, 200, "activated target app pid=200 ok=true"},
        {"neither", 0, 0, "target app activation skipped pid=0"},
        {"not running", 555, 0, "target app activation skipped pid=555"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        target = InputTarget{el(field), c.focusPid, c.observedPid};
        input->activateTargetApplication();
        EXPECT_EQ(desk.log().lines().back(), std::string("[Mivo] applyReplacement: ") + c.line);
    }
}

// --- Paste into the selection ---------------------------------------------------

TEST_F(SyntheticInputTest, PasteLandsAfterTheTargetComesToTheFrontAndTheClipboardComesBack) {
    desk.addApplication(200, "Other");
    desk.activateApplication(200);
    const SelectedTarget selected = selectHare();
    ASSERT_TRUE(input->pasteTextIntoFocusedElement("雨", selected));
    EXPECT_EQ(desk.frontmostPid(), pid);
    EXPECT_EQ(pasteboardString(desk.pasteboard()), "雨");

    desk.clock().advance(0.19);
    EXPECT_TRUE(keys().empty());
    EXPECT_FALSE(desk.accessibility().callsLimitedNow());
    desk.clock().advance(0.01);
    EXPECT_EQ(desk.text(field), "今日は雨です。");
    // The target may wait for our text now and answer no call meanwhile.
    EXPECT_TRUE(desk.accessibility().callsLimitedNow());
    // A late paste still finds the text for 0.4 s.
    desk.clock().advance(0.39);
    EXPECT_EQ(pasteboardString(desk.pasteboard()), "雨");
    EXPECT_TRUE(desk.accessibility().callsLimitedNow());
    desk.clock().advance(0.01);
    EXPECT_EQ(board(), kUserContents);
    EXPECT_FALSE(desk.accessibility().callsLimitedNow());
}

TEST_F(SyntheticInputTest, CallsAreShortOnlyUntilTheTargetHasOurText) {
    // Once the target fetched our text it answers again, if slowly while
    // it pastes: a short call then would take it for one that stopped.
    desk.pasteboard().setCountsFetches(true);
    desk.setInputQuirk(field, sim::InputQuirk{.pasteDelaySeconds = 0.3});
    const SelectedTarget selected = selectHare();
    ASSERT_TRUE(input->pasteTextIntoFocusedElement("雨", selected));
    desk.clock().advance(0.25);
    EXPECT_TRUE(PasteboardGuard::pasteInFlight(desk.pasteboard()));
    EXPECT_TRUE(desk.accessibility().callsLimitedNow());
    desk.clock().advance(0.3);
    EXPECT_EQ(desk.text(field), "今日は雨です。");
    EXPECT_TRUE(PasteboardGuard::pasteInFlight(desk.pasteboard()));
    EXPECT_FALSE(desk.accessibility().callsLimitedNow());
}

struct MoveCase {
    const char* why;
    std::function<void()> userDoes;
};

TEST_F(SyntheticInputTest, InputWaitsForNothingTheUserMovedAway) {
    const MoveCase cases[] = {
        {"clicked elsewhere in the field",
         [this] {
             desk.select(field, {0, 0});
         }},
        {"selected other text",
         [this] {
             desk.select(field, {0, 2});
         }},
        {"rewrote the text under the same range",
         [this] {
             desk.setText(field, "今日は雪が降る");
             desk.select(field, {3, 2});
         }},
        {"moved to another field", [this] { desk.focus(desk.addTextField(window, "晴れ晴れ")); }},
        {"switched application",
         [this] {
             desk.addApplication(300, "Other");
             desk.activateApplication(300);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        desk.setText(field, "今日は晴れです。");
        desk.activateApplication(pid);
        desk.focus(field);
        desk.input().clearRecordedEvents();
        desk.log().clear();
        const SelectedTarget selected = selectHare();
        ASSERT_TRUE(input->pasteTextIntoFocusedElement("雨", selected));
        ASSERT_TRUE(input->typeTextIntoFocusedElement("雨", selected));
        ASSERT_TRUE(input->deleteSelectedTextInFocusedElement(selected));
        desk.activateApplication(pid);
        c.userDoes();
        desk.clock().advance(1.0);
        EXPECT_TRUE(keys().empty());
        EXPECT_EQ(board(), kUserContents);
        EXPECT_TRUE(logged("paste abandoned"));
        EXPECT_TRUE(logged("typing abandoned"));
        EXPECT_TRUE(logged("Delete abandoned"));
    }
}

TEST_F(SyntheticInputTest, AbandonedInputPostsNothingButRestoresTheClipboard) {
    const SelectedTarget selected = selectHare();
    ASSERT_TRUE(input->pasteTextIntoFocusedElement("雨", selected));
    ASSERT_TRUE(input->typeTextIntoFocusedElement("雨", selected));
    ASSERT_TRUE(input->pasteTextIntoRect("雨", hareRect(), "晴れ", el(field)));
    input->abandonQueuedInput();
    desk.clock().advance(2.0);
    EXPECT_TRUE(keys().empty());
    EXPECT_TRUE(mice().empty());
    EXPECT_EQ(desk.text(field), "今日は晴れです。");
    EXPECT_EQ(board(), kUserContents);
    // The clipboard's steps are in the log.
    EXPECT_EQ(desk.log().count("clipboard: the user's contents saved"), 1u);
    EXPECT_EQ(desk.log().count("clipboard: the user's contents given back"), 1u);

    // Input queued afterwards goes in as usual.
    ASSERT_TRUE(input->typeTextIntoFocusedElement("雨", selected));
    desk.clock().advance(1.0);
    EXPECT_EQ(desk.text(field), "今日は雨です。");
}

TEST_F(SyntheticInputTest, InputWhoseOwnerIsGonePostsNothingButRestoresTheClipboard) {
    const SelectedTarget selected = selectHare();
    ASSERT_TRUE(input->pasteTextIntoFocusedElement("雨", selected));
    ASSERT_TRUE(input->deleteSelectedTextInFocusedElement(selected));
    input.reset();
    desk.log().clear();
    desk.clock().advance(2.0);
    EXPECT_TRUE(keys().empty());
    EXPECT_EQ(board(), kUserContents);
    EXPECT_TRUE(desk.log().lines().empty());
}

// --- Typing and Delete --------------------------------------------------------

TEST_F(SyntheticInputTest, DeleteRemovesTheSelectionAndNeverAnEmptyOne) {
    desk.setText(field, "今日は雨れです。");
    ASSERT_TRUE(input->selectReplacementRange({4, 1}, "れ", el(field), "test:"));
    ASSERT_TRUE(input->deleteSelectedTextInFocusedElement({el(field), {4, 1}, "れ"}));
    desk.clock().advance(0.18);
    EXPECT_EQ(desk.text(field), "今日は雨です。");

    desk.select(field, {4, 0});
    desk.input().clearRecordedEvents();
    EXPECT_FALSE(input->deleteSelectedTextInFocusedElement({el(field), {4, 0}, ""}));
    desk.clock().advance(1.0);
    EXPECT_TRUE(keys().empty());
    EXPECT_EQ(desk.text(field), "今日は雨です。");
}

// --- Input after a mouse selection ------------------------------------------------

struct AbandonedDragCase {
    const char* why;
    std::function<Rect()> rect;
    std::function<void()> meanwhile;
};

TEST_F(SyntheticInputTest, MouseInputThatCannotLandInputsNothingAndRestoresTheClipboard) {
    desk.addApplication(300, "Other");
    const sim::SimId other = desk.addTextField(window, "晴れ");
    const AbandonedDragCase cases[] = {
        {"the drag covers 今日 but 晴れ is expected",
         [this] {
             return *AXTextExtractor::directBoundsForRange(ax, screens, {0, 2}, el(field));
         },
         [] {}},
        {"a rectangle too small to drag",
         [] {
             return Rect{100, 100, 1.5, 20};
         },
         [] {}},
        {"another application came to the front", [this] { return hareRect(); },
         [this] { desk.activateApplication(300); }},
        {"the monitor follows another field", [this] { return hareRect(); },
         [&] { target.observedElement = el(other); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        desk.activateApplication(pid);
        desk.focus(field);
        target = InputTarget{el(field), pid, pid};
        desk.input().clearRecordedEvents();
        const Rect rect = c.rect();
        ASSERT_TRUE(input->pasteTextIntoRect("雨", rect, "晴れ", el(field)));
        ASSERT_TRUE(input->typeTextIntoRect("雨", rect, "晴れ", el(field)));
        c.meanwhile();
        desk.clock().advance(2.0);
        EXPECT_TRUE(keys().empty());
        EXPECT_EQ(board(), kUserContents);
        EXPECT_EQ(desk.text(field), "今日は晴れです。");
    }
}

TEST_F(SyntheticInputTest, InputQueuedBeforeItsOwnerStoppedIsNotPostedAfterARestart) {
    int run = 1;
    SyntheticInput owned(
        desk.ports(), [this] { return target; },
        [&run] { return [&run, queuedIn = run] { return run == queuedIn; }; });
    const SelectedTarget selected = selectHare();
    ASSERT_TRUE(owned.pasteTextIntoFocusedElement("雨", selected));
    run = 2;  // stopped and started again
    desk.clock().advance(1.0);
    EXPECT_TRUE(keys().empty());
    EXPECT_EQ(board(), kUserContents);

    ASSERT_TRUE(owned.typeTextIntoFocusedElement("雨", selected));
    desk.clock().advance(1.0);
    EXPECT_EQ(desk.text(field), "今日は雨です。");
}

}  // namespace
}  // namespace mivo
