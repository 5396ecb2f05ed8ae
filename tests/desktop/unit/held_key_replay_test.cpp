// What is sent on when a hold of the input devices ends: in order, keys on
// the device we type through, clicks where they were made, with a Shift
// the user still holds left down for the keys after the hold, and a key
// that device still has down from an earlier hold let up there first so
// that its press counts; what follows a click goes once the click was
// taken.

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/linux/held_key_replay.hpp"
#include "platform/paced_replay.hpp"
#include "platform/sim/virtual_clock.hpp"

namespace mivo::linux_desktop {
namespace {

constexpr unsigned char kShift = 50;
constexpr unsigned char kControl = 37;
constexpr unsigned char kA = 38;
constexpr unsigned char kB = 56;

HeldEvent down(unsigned char k) {
    return HeldKeyEvent{k, true};
}
HeldEvent up(unsigned char k) {
    return HeldKeyEvent{k, false};
}
HeldEvent press(int x, int y) {
    return HeldPointerEvent{1, true, x, y};
}
HeldEvent letGo(int x, int y) {
    return HeldPointerEvent{1, false, x, y};
}

KeyBits bits(std::initializer_list<unsigned char> keys) {
    KeyBits b;
    for (const unsigned char k : keys)
        b.set(k);
    return b;
}

struct ReplayRow {
    std::string what;
    std::vector<HeldEvent> held;
    KeysDownNow now;
    std::vector<HeldEvent> typed;
    std::vector<unsigned char> standIns;
};

TEST(HeldKeyReplayTest, TypesTheHeldKeysWithTheModifiersTheUserHolds) {
    const ReplayRow rows[] = {
        {"Shift held on past the hold: it stays down for the keys after it",
         {down(kShift), down(kA), up(kA)},
         {.user = bits({kShift})},
         {down(kShift), down(kA), up(kA)},
         {kShift}},
        {"the same after an earlier hold left Shift down on the typing device",
         {down(kShift), down(kA), up(kA)},
         {.user = bits({kShift}), .typing = bits({kShift})},
         {up(kShift), down(kShift), down(kA), up(kA)},
         {kShift}},
        {"a Shift the user let go of during the hold comes up in its place",
         {down(kShift), down(kA), up(kA), up(kShift), down(kB), up(kB)},
         {},
         {down(kShift), down(kA), up(kA), up(kShift), down(kB), up(kB)},
         {}},
        {"a Shift let go of between the end of the hold and now comes up",
         {down(kShift), down(kA), up(kA)},
         {},
         {down(kShift), down(kA), up(kA), up(kShift)},
         {}},
        {"a letter still down comes up at once (it would repeat)",
         {down(kA)},
         {.user = bits({kA})},
         {down(kA), up(kA)},
         {}},
        {"a release whose press came before the hold is not ours",
         {up(kA), down(kB), up(kB)},
         {},
         {down(kB), up(kB)},
         {}},
        {"a key another program holds down for the applications is left to it",
         {down(kControl), down(kA), up(kA), up(kControl)},
         {.typing = bits({kControl}), .application = bits({kControl})},
         {down(kControl), down(kA), up(kA), up(kControl)},
         {}},
        {"a stale key is let up once, however often it is pressed",
         {down(kShift), up(kShift), down(kShift), down(kA), up(kA)},
         {.user = bits({kShift}), .typing = bits({kShift})},
         {up(kShift), down(kShift), up(kShift), down(kShift), down(kA), up(kA)},
         {kShift}},
        {"a click keeps its place among the keys, where it was made",
         {down(kA), up(kA), press(40, 60), letGo(40, 60), down(kB), up(kB)},
         {},
         {down(kA), up(kA), press(40, 60), letGo(40, 60), down(kB), up(kB)},
         {}},
        {"a button let go whose press came before the hold is not ours",
         {letGo(10, 10), press(40, 60), letGo(40, 60)},
         {},
         {press(40, 60), letGo(40, 60)},
         {}},
    };
    const KeyBits modifiers = bits({kShift, kControl});
    for (const ReplayRow& row : rows) {
        SCOPED_TRACE(row.what);
        const HeldKeyReplay replay = planHeldKeyReplay(row.held, modifiers, row.now);
        EXPECT_EQ(replay.events, row.typed);
        EXPECT_EQ(replay.standIns, row.standIns);
        // The same sent on a click at a time: a key pressed before a click
        // and let go after it is one key.
        HeldReplayPlan plan(row.now);
        std::vector<HeldEvent> typed;
        std::size_t from = 0;
        for (std::size_t i = 0; i < row.held.size(); ++i) {
            const auto* p = std::get_if<HeldPointerEvent>(&row.held[i]);
            if (i + 1 == row.held.size() || (p != nullptr && !p->down)) {
                const auto part = plan.next(std::span(row.held).subspan(from, i + 1 - from));
                typed.insert(typed.end(), part.begin(), part.end());
                from = i + 1;
            }
        }
        const HeldKeyReplay rest = plan.finish(modifiers, row.now.user);
        typed.insert(typed.end(), rest.events.begin(), rest.events.end());
        EXPECT_EQ(typed, row.typed);
        EXPECT_EQ(rest.standIns, row.standIns);
    }
}

// Sent on a step at a time: after a step that ends with a click, the next
// waits until the click was taken, a short while at most, and never past
// the hold's bound.
TEST(HeldKeyReplayTest, WaitsForEachClickToBeTakenWithinTheHoldsBound) {
    struct Row {
        std::string what;
        double takenAfter;  // seconds after the click went out (-1: never)
        double boundAfter;  // the hold's bound, seconds after sending began
        double nextAt;      // when the step after the click goes out
    };
    const Row rows[] = {
        {"taken at once", 0, 2, 0},
        {"taken after 0.05 s", 0.05, 2, 0.05},
        {"never taken: waited for a short while", -1, 2, PacedReplay::kStepWaitSeconds},
        {"never taken, the bound near", -1, 0.1, 0.1},
        {"the bound passed: at once", -1, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim::VirtualClock clock;
        const TimePoint start = clock.now();
        const auto elapsed = [&] {
            return std::chrono::duration<double>(clock.now() - start).count();
        };
        std::vector<std::string> sent;
        double clickedAt = -1;
        std::optional<double> nextAt;
        bool done = false;
        int step = 0;
        PacedReplay replay(clock);
        replay.start(
            [&]() -> std::optional<PacedReplay::Step> {
                switch (step++) {
                    case 0:
                        return PacedReplay::Step{[&] { sent.push_back("a"); }, {}};
                    case 1:
                        return PacedReplay::Step{[&] {
                                                     sent.push_back("click");
                                                     clickedAt = elapsed();
                                                 },
                                                 [&] {
                                                     return row.takenAfter >= 0 &&
                                                            elapsed() >=
                                                                clickedAt + row.takenAfter - 1e-9;
                                                 }};
                    case 2:
                        return PacedReplay::Step{[&] {
                                                     sent.push_back("b");
                                                     nextAt = elapsed();
                                                 },
                                                 {}};
                    default:
                        return std::nullopt;
                }
            },
            [&] { done = true; }, start + seconds(row.boundAfter));
        clock.advance(1);
        EXPECT_EQ(sent, (std::vector<std::string>{"a", "click", "b"}));
        ASSERT_TRUE(nextAt.has_value());
        EXPECT_NEAR(*nextAt, row.nextAt, PacedReplay::kPollSeconds);
        EXPECT_TRUE(done);
        EXPECT_FALSE(replay.running());
    }
}

}  // namespace
}  // namespace mivo::linux_desktop
