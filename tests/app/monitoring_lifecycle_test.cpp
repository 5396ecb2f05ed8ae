#include "app/monitoring_lifecycle.hpp"

#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "platform/sim/virtual_clock.hpp"

namespace mivo {
namespace {

using ::testing::ElementsAre;

// Records what the lifecycle asked of the root, in order.
class MonitoringLifecycleTest : public ::testing::Test {
  protected:
    MonitoringLifecycle::Hooks hooks() {
        return {
            .isEnabled = [this] { return enabled; },
            .isPermissionGranted = [this] { return granted; },
            .requestPermission = [this] { calls.push_back("prompt"); },
            .startComponents = [this] { calls.push_back("start"); },
            .stopComponents = [this] { calls.push_back("stop"); },
            .setMonitoring =
                [this](bool on) { calls.push_back(on ? "tray:monitoring" : "tray:paused"); },
            .setPermissionNeeded = [this] { calls.push_back("tray:permission"); },
            .isOnboardingCompleted = [this] { return onboarded; },
            .showOnboarding = [this] { calls.push_back("onboarding"); },
        };
    }

    sim::VirtualClock clock;
    bool enabled = true;
    bool granted = true;
    bool onboarded = true;
    std::vector<std::string> calls;
    MonitoringLifecycle lifecycle{clock, hooks()};
};

struct LaunchCase {
    const char* name;
    bool onboarded;
    bool enabled;
    bool granted;
    std::vector<std::string> expected;
};

TEST_F(MonitoringLifecycleTest, DeferredStartDecidesAfterThreeTenthsOfASecond) {
    const LaunchCase cases[] = {
        {"first launch shows onboarding only", false, true, true, {"onboarding"}},
        {"completed and enabled starts", true, true, true, {"start", "tray:monitoring"}},
        {"completed and disabled shows paused", true, false, true, {"stop", "tray:paused"}},
        {"enabled without permission prompts once",
         true,
         true,
         false,
         {"prompt", "tray:permission"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::VirtualClock localClock;
        calls.clear();
        onboarded = c.onboarded;
        enabled = c.enabled;
        granted = c.granted;
        MonitoringLifecycle local(localClock, hooks());
        local.scheduleDeferredStart();
        localClock.advance(0.29);
        EXPECT_TRUE(calls.empty());
        localClock.advance(0.01);
        EXPECT_EQ(calls, c.expected);
    }
}

TEST_F(MonitoringLifecycleTest, PermissionWaitPollsSilentlyAndStartsOnceWhenGranted) {
    granted = false;
    lifecycle.checkAndStartMonitoring();
    lifecycle.checkAndStartMonitoring();  // a second check joins the first wait
    clock.advance(5);
    EXPECT_THAT(calls, ElementsAre("prompt", "tray:permission"));
    granted = true;
    clock.advance(1);
    EXPECT_THAT(calls, ElementsAre("prompt", "tray:permission", "start", "tray:monitoring"));
    // The wait ended with the start: no more asking.
    clock.advance(10);
    EXPECT_EQ(calls.size(), 4u);
}

TEST_F(MonitoringLifecycleTest, TurningOffWhileWaitingEndsPausedWithoutStarting) {
    granted = false;
    lifecycle.checkAndStartMonitoring();
    enabled = false;
    clock.advance(1);
    granted = true;
    clock.advance(5);
    EXPECT_THAT(calls, ElementsAre("prompt", "tray:permission", "tray:paused"));
    EXPECT_FALSE(lifecycle.isRunning());
}

TEST_F(MonitoringLifecycleTest, StartsAreIdempotentAndStopCancelsTheWait) {
    lifecycle.checkAndStartMonitoring();
    lifecycle.checkAndStartMonitoring();
    EXPECT_THAT(calls, ElementsAre("start", "tray:monitoring", "tray:monitoring"));
    calls.clear();
    lifecycle.stop();
    granted = false;
    lifecycle.checkAndStartMonitoring();
    lifecycle.stop();
    granted = true;
    clock.advance(3);
    EXPECT_THAT(calls, ElementsAre("stop", "tray:paused", "prompt", "tray:permission", "stop",
                                   "tray:paused"));
}

}  // namespace
}  // namespace mivo
