// What following a typist asks of the application being followed, counted
// on the simulated desktop: the accessibility monitor and the warm buffer
// follow the focused field together, as they do in the application, and
// every user action may cost only so many calls through the accessibility
// port (each is a request the other application has to answer).

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "monitor/accessibility_monitor.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_input.hpp"
#include "tone/tone_warm_buffer.hpp"

namespace mivo {
namespace {

constexpr Pid kPid = 100;
const std::string kSentence = "今日は良い天気です。明日も";

class FollowingCostTest : public ::testing::Test {
  protected:
    FollowingCostTest() {
        desk.addApplication(kPid, "Editor", "com.example.editor");
        window = desk.addWindow(kPid, "Untitled");
        field = desk.addTextField(window, kSentence, {.frame = Rect{100, 200, 600, 40}});
        other = desk.addTextField(window, "別の欄です。", {.frame = Rect{100, 300, 600, 40}});
        // As on a desktop without one: typing is then never taken for an
        // input method's burst, and every change is followed.
        desk.input().setInputMethodRunning(false);
        desk.activateApplication(kPid);
        desk.focus(field);
        desk.clock().advance(0);
        monitor.start();
        buffer.start();
        // Past the attach, the first polls and the first pause.
        desk.clock().advance(3);
    }

    // The calls made while `act` is done `times` times, `gap` seconds apart,
    // per time.
    double callsPer(const std::function<void(int)>& act, int times, double gap) {
        desk.accessibilityCalls().reset();
        for (int i = 0; i < times; ++i) {
            act(i);
            desk.clock().advance(gap);
        }
        return static_cast<double>(desk.accessibilityCalls().total()) / times;
    }

    void paste(const std::string& text) {
        desk.pasteboard().userCopies(
            {PasteboardItem{{{std::string(kPasteboardTypeString), text}}}});
        desk.input().postKeyEvent(KeyEvent{kKeyCodeV, true, kEventFlagCommand, {}});
        desk.input().postKeyEvent(KeyEvent{kKeyCodeV, false, kEventFlagCommand, {}});
    }

    sim::SimDesktop desk;
    sim::SimId window = 0;
    sim::SimId field = 0;
    sim::SimId other = 0;
    AccessibilityMonitor monitor{desk.ports()};
    ToneWarmBuffer buffer{desk.ports(), [] { return int64_t{1000}; }};
};

struct ActionCase {
    std::string name;
    int times;
    double gap;  // seconds between two actions
    // At most this many calls per action, the polls' share of the time
    // included.
    double budget;
};

void PrintTo(const ActionCase& c, std::ostream* os) {
    *os << c.name;
}

class FollowingCostTable : public FollowingCostTest,
                           public ::testing::WithParamInterface<ActionCase> {
  protected:
    void act(int i) {
        const std::string& name = GetParam().name;
        if (name == "typing") {
            desk.typeText(i % 2 == 0 ? "あ" : "い");
        } else if (name == "caret move") {
            desk.select(field, Utf16Range{i % 2 == 0 ? 3 : 7, 0});
        } else if (name == "paste") {
            paste(i % 2 == 0 ? "晴れ" : "雨");
        } else if (name == "focus change") {
            desk.focus(i % 2 == 0 ? other : field);
        }
    }
};

TEST_P(FollowingCostTable, EachActionCostsAtMostItsBudgetOfCalls) {
    const ActionCase& c = GetParam();
    const double perAction = callsPer([this](int i) { act(i); }, c.times, c.gap);
    EXPECT_LE(perAction, c.budget) << c.name << "\n" << desk.accessibilityCalls().report();
    // The field is still followed, so the budget was not met by missing it.
    EXPECT_TRUE(monitor.observedElement());
}

// Keys and caret moves at 20 a second, a paste and a focus change every
// half second.
INSTANTIATE_TEST_SUITE_P(Actions, FollowingCostTable,
                         ::testing::Values(ActionCase{"typing", 40, 0.05, 5.0},
                                           ActionCase{"caret move", 40, 0.05, 3.5},
                                           ActionCase{"paste", 10, 0.5, 16.0},
                                           ActionCase{"focus change", 10, 0.5, 40.0}),
                         [](const ::testing::TestParamInfo<ActionCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (ch == ' ')
                                     ch = '_';
                             return name;
                         });

TEST_F(FollowingCostTest, TypedKeysAreReadOnceEachAndStillReachTheCheck) {
    desk.accessibilityCalls().reset();
    for (int i = 0; i < 20; ++i) {
        desk.typeText("あ");
        desk.clock().advance(0.05);
    }
    // No whole read of the field: each key's notifications (the text
    // changed, the caret moved) and the key-down are one burst, and the
    // field told what the key changed.
    EXPECT_EQ(desk.accessibilityCalls().count("copyAttributeValue(AXValue)"), 0u)
        << desk.accessibilityCalls().report();
    EXPECT_EQ(desk.accessibilityCalls().count("copyAttributeValue(AXSelectedText)"), 0u);
    std::string typed;
    for (int i = 0; i < 20; ++i)
        typed += "あ";
    const auto state = monitor.bufferStore().currentState();
    ASSERT_TRUE(state);
    EXPECT_NE(state->lastVisibleValue.find(typed), std::string::npos);
}

TEST_F(FollowingCostTest, WhetherAnInputMethodRunsIsAskedOncePerBurstOfChanges) {
    const std::size_t before = desk.input().inputMethodQueries();
    for (int i = 0; i < 40; ++i) {
        desk.typeText("あ");
        desk.clock().advance(0.05);
    }
    // Two seconds of keys at 20 a second are one burst of changes.
    EXPECT_EQ(desk.input().inputMethodQueries() - before, 1u);
}

}  // namespace
}  // namespace mivo
