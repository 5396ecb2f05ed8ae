#include "monitor/accessibility_monitor.hpp"
#include "monitor_test_access.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "monitor_scene.hpp"

namespace mivo {
namespace {

using Kind = MonitorState::Kind;

class LifecycleTest : public MonitorScene {
  protected:
    // What the monitor holds installed in the ports.
    struct Installed {
        std::size_t axObservers, registrations, keyMonitors, activationObservers, timers;
        bool operator==(const Installed&) const = default;
    };
    Installed installed() {
        return Installed{desk.accessibility().observerCount(),
                         desk.accessibility().registrationCount(), desk.input().monitorCount(),
                         desk.workspace().observerCount(), desk.clock().pendingCount()};
    }
    // Focus and window of the app, value and selection of the field; the
    // key-down monitor; the activation observer; the two polls.
    static constexpr Installed kEverything{2, 4, 1, 1, 2};
    static constexpr Installed kNothing{0, 0, 0, 0, 0};
};

TEST_F(LifecycleTest, WithoutPermissionStartInstallsNothingAndLogsOneLine) {
    desk.setTrusted(false);
    EXPECT_FALSE(monitor.isPermissionGranted());
    monitor.start();
    EXPECT_EQ(monitor.state().kind, Kind::permissionRequired);
    ASSERT_EQ(desk.log().lines().size(), 1u);
    EXPECT_EQ(desk.log().lines()[0], "[Mivo] start: permission NOT granted — aborting");
    EXPECT_EQ(installed(), kNothing);
    desk.typeText("今日は良い天気です。");
    advance(5);
    EXPECT_TRUE(candidates.empty());
}

TEST_F(LifecycleTest, StartInstallsEverythingOnceEvenWhenCalledTwice) {
    monitor.start();
    EXPECT_EQ(monitor.state().kind, Kind::monitoring);
    EXPECT_EQ(installed(), kEverything);
    EXPECT_EQ(desk.log().count("[Mivo] rawKeys: XInput 2 listener installed — universal "
                               "keystroke detection active"),
              1u);

    monitor.start();
    EXPECT_EQ(installed(), kEverything);
    desk.typeText("今日は良い天気です。");
    advance(1);
    EXPECT_EQ(candidates.size(), 1u);
}

TEST_F(LifecycleTest, StopRemovesEverythingAndDropsThePendingAnalysis) {
    monitor.start();
    desk.typeText("今日は良い天気です。");
    advance(0.5);
    ASSERT_EQ(monitor.recentChangeTimestamps().size(), 1u);

    monitor.stop();
    EXPECT_EQ(monitor.state().kind, Kind::idle);
    EXPECT_EQ(installed(), kNothing);  // no step of the monitor is left waiting
    EXPECT_TRUE(monitor.recentChangeTimestamps().empty());
    EXPECT_FALSE(monitor.observedElement());
    advance(5);
    EXPECT_TRUE(candidates.empty());

    // An empty field: attaching to one with text schedules its check too.
    desk.setText(field, "");
    monitor.start();
    EXPECT_EQ(installed(), kEverything);
}

TEST_F(LifecycleTest, StepsOfAStoppedRunOrOfAGoneMonitorDoNothing) {
    int ran = 0;
    monitor.start();
    MonitorTestAccess::host(monitor).scheduleStep(0.2, [&] { ++ran; });
    advance(0.3);
    EXPECT_EQ(ran, 1);

    const MonitorRunToken token = MonitorTestAccess::host(monitor).runToken();
    MonitorTestAccess::host(monitor).scheduleStep(0.2, [&] { ++ran; });
    Cancel dropped = MonitorTestAccess::host(monitor).scheduleStep(0.2, [&] { ++ran; });
    dropped.cancel();
    monitor.stop();
    EXPECT_FALSE(token.isCurrent());
    EXPECT_TRUE(token.monitorExists());
    monitor.start();
    advance(0.3);
    EXPECT_EQ(ran, 1);  // a new run does not revive the old run's steps
}

TEST_F(LifecycleTest, AMonitorReleasedWhileMonitoringLeavesNothingBehind) {
    const Installed before = installed();
    {
        AccessibilityMonitor m(desk.ports());
        connect(m);
        m.start();
        desk.typeText("今日は良い天気です。");
        advance(0.1);
    }
    EXPECT_EQ(installed(), before);
    desk.activateApplication(pid);
    desk.typeText("明日も晴れです。");
    advance(3);
    EXPECT_TRUE(candidates.empty());
    EXPECT_EQ(contextChanges, 0);
}

TEST_F(LifecycleTest, PauseIdlesTheHandlersAndResumeObservesAgain) {
    monitor.start();
    monitor.pause();
    EXPECT_EQ(monitor.state().kind, Kind::paused);
    desk.typeText("今日は良い天気です。");
    advance(2);
    EXPECT_TRUE(candidates.empty());
    EXPECT_EQ(installed().axObservers, 2u);  // still installed

    monitor.resume();
    EXPECT_EQ(monitor.state().kind, Kind::monitoring);
    EXPECT_EQ(monitor.lastPolledValue().text, "今日は良い天気です。");
}

TEST_F(LifecycleTest, ADisabledKeyDownMonitorIsSwitchedOnAgain) {
    monitor.start();
    for (auto reason :
         {KeyDownMonitorEvent::disabledByTimeout, KeyDownMonitorEvent::disabledByUserInput}) {
        desk.input().disableMonitors(reason);
        EXPECT_EQ(desk.input().enabledMonitorCount(), 0u);
        advance(0);
        EXPECT_EQ(desk.input().enabledMonitorCount(), 1u);
    }
    EXPECT_EQ(logged("[Mivo] rawKeys: re-enabled after system disabled it"), 2u);
}

struct TapFailureCase {
    KeyDownMonitorError error;
    const char* line;
};

TEST_F(LifecycleTest, WithoutAKeyDownMonitorThePollsStillFindTheSentence) {
    const TapFailureCase cases[] = {
        {KeyDownMonitorError::tapCreateFailed,
         "[Mivo] rawKeys: XISelectEvents(XI_RawKeyPress) FAILED — keystroke detection "
         "unavailable"},
        {KeyDownMonitorError::runLoopSourceFailed, "[Mivo] rawKeys: X event listener FAILED"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        desk.input().setMonitorInstallFailure(c.error);
        candidates.clear();
        desk.setText(field, "");
        monitor.start();
        EXPECT_TRUE(desk.log().contains(c.line));
        EXPECT_EQ(monitor.state().kind, Kind::monitoring);
        desk.typeText("今日は良い天気です。");
        advance(1);
        EXPECT_EQ(candidates.size(), 1u);
        monitor.stop();
    }
}

}  // namespace
}  // namespace mivo
