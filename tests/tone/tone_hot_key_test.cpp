#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/sim/captured_log.hpp"
#include "platform/sim/sim_hot_keys.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "tone/tone_hot_key.hpp"

namespace mivo {
namespace {

constexpr uint32_t kJ = 38;
constexpr uint32_t kK = 40;
constexpr uint32_t kCmdShift = 768;
// X's keycode of J and its Shift|Mod4 mask, not the stored codes (38, 768).
const std::string kRegisteredJ = "[Mivo][Tone] Registered system hotkey (keycode=44 modifiers=65)";
const std::string kRefused = "[Mivo][Tone] XGrabKey failed: BadAccess";

class ToneHotKeyTest : public ::testing::Test {
  protected:
    ToneHotKeyTest() {
        hotKey.onPressed = [this] { ++presses; };
    }

    using Combination = std::pair<uint32_t, uint32_t>;
    std::vector<Combination> registered() const { return system.registered(); }

    sim::VirtualClock clock;
    sim::CapturedLog log;
    sim::SimHotKeys system;
    ToneHotKey hotKey{system, clock, log};
    int presses = 0;
};

TEST_F(ToneHotKeyTest, APressArrivesOnceInALaterTurn) {
    ASSERT_TRUE(hotKey.start());
    EXPECT_EQ(system.press(kJ, kCmdShift), 1);
    EXPECT_EQ(presses, 0);
    clock.advance(0);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(system.press(kJ, 256), 0);  // ⌘J alone is another shortcut
}

TEST_F(ToneHotKeyTest, StartingTwiceRegistersOnce) {
    EXPECT_TRUE(hotKey.start());
    EXPECT_TRUE(hotKey.start());
    EXPECT_EQ(system.registrationAttempts(), 1);
    EXPECT_EQ(log.count(kRegisteredJ), 1u);
}

TEST_F(ToneHotKeyTest, ConfiguringBeforeStartOnlyStores) {
    EXPECT_TRUE(hotKey.configure(kK, kCmdShift));
    EXPECT_TRUE(registered().empty());
    EXPECT_TRUE(hotKey.start());
    EXPECT_EQ(registered(), (std::vector<Combination>{{kK, kCmdShift}}));
}

TEST_F(ToneHotKeyTest, ARefusedCombinationLeavesNothingAndThePreviousOneComesBackAtOnce) {
    ASSERT_TRUE(hotKey.start());
    system.holdElsewhere(kK, kCmdShift);
    EXPECT_FALSE(hotKey.configure(kK, kCmdShift));
    EXPECT_TRUE(log.contains(kRefused));
    EXPECT_TRUE(registered().empty());
    // The settings put the previous shortcut back: it works again now, not
    // only after a restart.
    EXPECT_TRUE(hotKey.configure(kJ, kCmdShift));
    EXPECT_EQ(registered(), (std::vector<Combination>{{kJ, kCmdShift}}));
}

TEST_F(ToneHotKeyTest, AfterARefusedStartANewCombinationIsRegistered) {
    system.holdElsewhere(kJ, kCmdShift);
    EXPECT_FALSE(hotKey.start());
    EXPECT_TRUE(log.contains(kRefused));
    EXPECT_TRUE(hotKey.configure(kK, kCmdShift));
    system.press(kK, kCmdShift);
    clock.advance(0);
    EXPECT_EQ(presses, 1);
}

TEST_F(ToneHotKeyTest, StopUnregistersAndDropsAQueuedPress) {
    hotKey.stop();  // without start: nothing
    EXPECT_EQ(system.registrationAttempts(), 0);
    ASSERT_TRUE(hotKey.start());
    system.press(kJ, kCmdShift);
    hotKey.stop();
    clock.advance(0);
    EXPECT_EQ(presses, 0);
    EXPECT_TRUE(registered().empty());
    // Stopped, a new shortcut is only stored.
    EXPECT_TRUE(hotKey.configure(kK, kCmdShift));
    EXPECT_TRUE(registered().empty());
}

TEST_F(ToneHotKeyTest, APressAfterTheOwnerIsGoneReachesNobody) {
    auto owned = std::make_unique<ToneHotKey>(system, clock, log);
    owned->onPressed = [this] { ++presses; };
    ASSERT_TRUE(owned->start());
    system.press(kJ, kCmdShift);
    owned.reset();
    clock.advance(0);
    EXPECT_EQ(presses, 0);
    EXPECT_TRUE(registered().empty());
}

}  // namespace
}  // namespace mivo
