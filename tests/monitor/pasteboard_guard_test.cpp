#include <gtest/gtest.h>

#include "monitor/pasteboard_guard.hpp"
#include "platform/sim/sim_pasteboard.hpp"

namespace mivo {
namespace {

// What the user had copied: an image and its description, two types of one
// item, and a second plain item.
const std::vector<PasteboardItem> kUserContents = {
    PasteboardItem{{{"image/png", std::string("\x89PNG\r\n", 6)},
                    {std::string(kPasteboardTypeString), "a photo"}}},
    stringItem("second item"),
};

class PasteboardGuardTest : public ::testing::Test {
  protected:
    PasteboardGuardTest() { board.userCopies(kUserContents); }

    sim::SimPasteboard board;
    std::shared_ptr<PasteboardGuard> guard = PasteboardGuard::of(board);
};

TEST_F(PasteboardGuardTest, PutsTheTextOnAndTheUsersContentsBack) {
    const auto hold = guard->putText("雨");
    ASSERT_TRUE(hold);
    EXPECT_EQ(board.items(), std::vector{stringItem("雨")});
    guard->release(*hold);
    EXPECT_EQ(board.items(), kUserContents);
    EXPECT_FALSE(guard->isHolding());
}

TEST_F(PasteboardGuardTest, AnEmptyPasteboardIsLeftEmpty) {
    board.userCopies({});
    const auto hold = guard->putText("雨");
    guard->release(*hold);
    EXPECT_TRUE(board.items().empty());
}

TEST_F(PasteboardGuardTest, OverlappingPastesNeverRestoreOurOwnText) {
    const auto first = guard->putText("雨");
    const auto second = guard->putText("雪");
    ASSERT_TRUE(first && second);
    // The first restore must not pull the second paste's text away.
    guard->release(*first);
    EXPECT_EQ(board.items(), std::vector{stringItem("雪")});
    guard->release(*second);
    EXPECT_EQ(board.items(), kUserContents);
}

TEST_F(PasteboardGuardTest, AGuardFromElsewhereInTheProcessIsTheSameGuard) {
    // A correction and a rewrite paste through the same pasteboard.
    const auto other = PasteboardGuard::of(board);
    EXPECT_EQ(other, guard);
    const auto first = guard->putText("雨");
    const auto second = other->putText("書き直した文");
    other->release(*second);
    guard->release(*first);
    EXPECT_EQ(board.items(), kUserContents);

    sim::SimPasteboard another;
    EXPECT_NE(PasteboardGuard::of(another), guard);
}

TEST_F(PasteboardGuardTest, ACopyBetweenOverlappingPastesIsWhatComesBack) {
    const auto first = guard->putText("雨");
    board.userCopies({stringItem("copied between")});
    const auto second = guard->putText("雪");
    guard->release(*first);
    guard->release(*second);
    EXPECT_EQ(board.items(), std::vector{stringItem("copied between")});
}

TEST_F(PasteboardGuardTest, ARefusedTextLeavesNoHoldBehind) {
    board.setRefusesWrites(true);
    EXPECT_FALSE(guard->putText("雨"));
    EXPECT_FALSE(guard->isHolding());

    // The next paste saves afresh rather than trusting what the refused one saw.
    board.setRefusesWrites(false);
    board.userCopies({stringItem("later copy")});
    const auto hold = guard->putText("雨");
    guard->release(*hold);
    EXPECT_EQ(board.items(), std::vector{stringItem("later copy")});
}

TEST_F(PasteboardGuardTest, ReleasingTwiceDoesNothing) {
    const auto first = guard->putText("雨");
    const auto second = guard->putText("雪");
    guard->release(*first);
    guard->release(*first);
    EXPECT_TRUE(guard->isHolding());
    EXPECT_EQ(board.items(), std::vector{stringItem("雪")});
    guard->release(*second);
    EXPECT_EQ(board.items(), kUserContents);
}

}  // namespace
}  // namespace mivo
