// Later launches asking the running Mivo for its settings window: one
// request opens it, a flood opens it once and is logged once.

#include "app/later_launches.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/captured_log.hpp"
#include "platform/sim/virtual_clock.hpp"

namespace mivo {
namespace {

constexpr const char* kAsked = "[Mivo] instance: a later launch asked for the settings window";

struct Scene {
    sim::VirtualClock clock;
    sim::CapturedLog log;
    int opened = 0;
    LaterLaunches launches{clock, log, [this] { ++opened; }};
};

TEST(LaterLaunchesTest, EachBurstOpensTheWindowOnceAndIsLoggedOnce) {
    struct Row {
        const char* what;
        // Seconds after the previous request, one entry per request.
        std::vector<double> gaps;
        int opened;
        std::vector<std::string> lines;
    };
    const std::string merged =
        " more requests for the settings window came in the same burst; merged";
    const Row rows[] = {
        {"one launch", {0}, 1, {kAsked}},
        {"two launches far apart", {0, 1.5}, 2, {kAsked, kAsked}},
        {"20,000 calls at once",
         std::vector<double>(20'000, 0.0),
         1,
         {kAsked, "[Mivo] instance: 19999" + merged}},
        // A call every 0.9 s for a minute never lets the burst end.
        {"a steady trickle",
         std::vector<double>(67, 0.9),
         1,
         {kAsked, "[Mivo] instance: 66" + merged}},
        {"a burst, quiet, another burst",
         {0, 0.2, 0.2, 3, 0.1},
         2,
         {kAsked, "[Mivo] instance: 2" + merged, kAsked, "[Mivo] instance: 1" + merged}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Scene scene;
        for (const double gap : row.gaps) {
            scene.clock.advance(gap);
            scene.launches.request();
        }
        scene.clock.advance(LaterLaunches::kBurstGapSeconds * 3);
        EXPECT_EQ(scene.opened, row.opened);
        EXPECT_EQ(scene.log.lines(), row.lines);
    }
}

// The window opens at the first request, not when the burst is over.
TEST(LaterLaunchesTest, TheFirstRequestIsServedAtOnce) {
    Scene scene;
    scene.launches.request();
    EXPECT_EQ(scene.opened, 1);
    scene.launches.request();
    EXPECT_EQ(scene.opened, 1);
}

}  // namespace
}  // namespace mivo
