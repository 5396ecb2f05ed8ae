// A hung application costs one time-out now and then, not one per call of
// every poll; an application stuck for a moment is asked again soon.

#include <gtest/gtest.h>

#include "platform/linux/atspi/call_time_bound.hpp"
#include "platform/linux/atspi/unanswering_applications.hpp"

namespace mivo::linux_desktop {
namespace {

using Clock = UnansweringApplications::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(UnansweringApplications, AreLeftAloneLongerWithEveryTimeOutInARow) {
    UnansweringApplications apps;
    Clock::time_point t{};
    EXPECT_FALSE(apps.isQuiet(":1.5", t));
    // Quiet for 1, 2, 4, ... seconds, at most 30.
    const int expected[] = {1, 2, 4, 8, 16, 30, 30};
    for (int length : expected) {
        apps.noteNoReply(":1.5", t);
        EXPECT_TRUE(apps.isQuiet(":1.5", t + seconds(length) - milliseconds(1))) << length;
        // Other applications are asked as usual.
        EXPECT_FALSE(apps.isQuiet(":1.6", t));
        t += seconds(length);
        EXPECT_FALSE(apps.isQuiet(":1.5", t)) << length;
    }
    // An answer ends it: the next time-out starts over.
    apps.noteAnswered(":1.5");
    apps.noteNoReply(":1.5", t);
    EXPECT_FALSE(apps.isQuiet(":1.5", t + seconds(1)));
}

TEST(UnansweringApplications, AreProbedSoonWhileHeldInputWaitsOnThem) {
    // Held input waits for a stopped application's answer: it is asked
    // again shortly after each time-out, not left alone for seconds, so
    // that the input goes on as soon as it runs again.
    UnansweringApplications apps;
    const Clock::time_point t{};
    apps.noteNoReply(":1.5", t);
    apps.noteNoReply(":1.5", t);  // quiet for 2 s now
    const struct {
        milliseconds after;
        bool probing;
        bool quiet;
    } rows[] = {
        {milliseconds(50), true, true},     {milliseconds(100), true, false},
        {milliseconds(100), false, true},   {milliseconds(1999), false, true},
        {milliseconds(2000), false, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(apps.isQuiet(":1.5", t + row.after, row.probing), row.quiet)
            << row.after.count() << (row.probing ? " probing" : "");
    // Probes that time out do not leave it alone longer once the input
    // has gone on.
    for (int i = 1; i <= 20; ++i)
        apps.noteNoReply(":1.5", t + milliseconds(100 * i), true);
    EXPECT_FALSE(apps.isQuiet(":1.5", t + milliseconds(2000) + seconds(2)));
}

TEST(UnansweringApplications, OnlyMissingRepliesCount) {
    EXPECT_TRUE(
        isNoReply("Did not receive a reply. Possible causes include: the remote "
                  "application did not send a reply"));
    EXPECT_TRUE(isNoReply("Timeout was reached"));
    // What libatspi 2.46 says when its own time-out ran out.
    EXPECT_TRUE(isNoReply("timeout from dbind"));
    EXPECT_FALSE(isNoReply("Unknown object '/org/a11y/atspi/accessible/12'"));
    EXPECT_FALSE(isNoReply(""));
}

// A hold of the devices ends on the main loop: a call made while it is
// bounded never waits past the bound, and one made after it, before the
// late end lifted it, never waits the full time.
TEST(CallTimeBound, CallsGiveUpByTheBoundAndShortlyAfterIt) {
    const TimePoint t{};
    const struct {
        std::optional<double> boundIn;  // seconds from the call; none: no bound
        int expectedMs;
        bool owesAnswer = false;
    } rows[] = {
        {std::nullopt, 1500},
        {3.0, 1500},   // further off than a whole call
        {0.6, 600},    // the time left
        {0.02, 100},   // at least the shortest
        {-0.2, 100},   // passed, the end is late
        {-1.49, 100},  // still late
        {-1.5, 1500},  // never lifted: its owner is gone
        // A probe of an application that owes an answer costs the least.
        {2.0, 100, true},
        {std::nullopt, 1500, true},  // nothing waits on it
    };
    for (const auto& row : rows) {
        const auto bound =
            row.boundIn ? std::optional<TimePoint>(t + mivo::seconds(*row.boundIn)) : std::nullopt;
        EXPECT_EQ(callTimeoutMs(bound, t, 1500, row.owesAnswer), row.expectedMs)
            << (row.boundIn ? *row.boundIn : 99.0);
    }
}

}  // namespace
}  // namespace mivo::linux_desktop
