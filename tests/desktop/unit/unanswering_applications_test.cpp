// A hung application costs one time-out now and then, not one per call of
// every poll; an application stuck for a moment is asked again soon.

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace mivo::linux_desktop
