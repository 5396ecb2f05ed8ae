// The focus poll runs every second for as long as Mivo monitors: it writes
// what it found only when that differs from what the previous poll found.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "monitor_scene.hpp"

namespace mivo {
namespace {

class FocusPollLogTest : public MonitorScene {};

struct IdleCase {
    const char* why;
    std::function<void(sim::SimDesktop&, Pid)> arrange;
    const char* status;  // the poll's line for that desktop
};

TEST_F(FocusPollLogTest, AnIdlePollLogsOnce) {
    const IdleCase cases[] = {
        {"the field followed, nothing typed", [](sim::SimDesktop&, Pid) {},
         "focusPoll: frontPid=100 | focusPid=100 element=YES stale=false"},
        {"no field in the editor",
         [field = field](sim::SimDesktop& desk, Pid) { desk.destroy(field); },
         "focusPoll: frontPid=100 | focusPid=100 element=NO stale=true"},
        {"the application in front has quit",
         [](sim::SimDesktop& desk, Pid pid) { desk.quitApplication(pid); },
         "focusPoll: frontPid=0 | focusPid=0 element=NO stale=true"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        monitor.stop();
        desk.log().clear();
        c.arrange(desk, pid);
        monitor.start();
        advance(30);
        EXPECT_EQ(logged(c.status), 1u);
        // Nothing the poll writes comes twice: also not a re-attachment
        // that finds nothing, nor its own lines.
        for (const std::string& line : desk.log().lines()) {
            if (line.find("start:") == std::string::npos) {
                EXPECT_LE(desk.log().count(line), 2u) << line;
            }
        }
        EXPECT_LE(logged("focusPoll: re-attaching"), 1u);
        EXPECT_LT(desk.log().lines().size(), 20u);
    }
}

TEST_F(FocusPollLogTest, EachChangeIsLoggedAgainAndSoIsTheWayBack) {
    monitor.start();
    advance(5);
    const std::string followed = "focusPoll: frontPid=100 | focusPid=100 element=YES stale=false";
    ASSERT_EQ(logged(followed), 1u);

    desk.destroy(field);
    advance(5);
    EXPECT_EQ(logged("focusPoll: frontPid=100 | focusPid=100 element=NO stale=true"), 1u);
    EXPECT_EQ(logged("focusPoll: re-attaching (frontChanged=false stale=true windowChanged=false)"),
              1u);

    const auto another = desk.addTextField(window, "");
    desk.focus(another);
    advance(5);
    // Found again (by the poll or by the focus notification) and polled
    // once more as followed.
    EXPECT_EQ(monitor.observedElement(), desk.element(another));
    EXPECT_EQ(logged(followed), 2u);

    // A run started again reports its first poll whatever the last run saw.
    monitor.stop();
    monitor.start();
    advance(5);
    EXPECT_EQ(logged(followed), 3u);
}

}  // namespace
}  // namespace mivo
