// What is sent on when a hold of the input devices ends: in order, keys on
// the device we type through, clicks where they were made, with a Shift
// the user still holds left down for the keys after the hold, and a key
// that device still has down from an earlier hold let up there first so
// that its press counts.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/linux/held_key_replay.hpp"

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
    }
}

}  // namespace
}  // namespace mivo::linux_desktop
