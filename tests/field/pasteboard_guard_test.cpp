#include <gtest/gtest.h>

#include "field/pasteboard_guard.hpp"
#include "platform/sim/captured_log.hpp"
#include "platform/sim/sim_pasteboard.hpp"
#include "platform/sim/virtual_clock.hpp"

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
    EXPECT_EQ(pasteboardString(board), "雨");
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
    EXPECT_EQ(pasteboardString(board), "雪");
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

    // Contents their owner does not hand over could not be given back: the
    // clipboard stays as it is, and nothing is held.
    board.setOwnerAnswers(false);
    EXPECT_FALSE(guard->putText("雨"));
    EXPECT_FALSE(guard->isHolding());
    board.setOwnerAnswers(true);
    EXPECT_EQ(board.items(), std::vector{stringItem("later copy")});
}

TEST_F(PasteboardGuardTest, ReleasingTwiceDoesNothing) {
    const auto first = guard->putText("雨");
    const auto second = guard->putText("雪");
    guard->release(*first);
    guard->release(*first);
    EXPECT_TRUE(guard->isHolding());
    EXPECT_EQ(pasteboardString(board), "雪");
    guard->release(*second);
    EXPECT_EQ(board.items(), kUserContents);
}

TEST_F(PasteboardGuardTest, APasteIsInFlightFromItsKeystrokeUntilItsHoldEnds) {
    board.setCountsFetches(true);
    sim::VirtualClock clock;
    sim::SimPasteboard untouched;
    EXPECT_FALSE(PasteboardGuard::pasteInFlight(untouched)) << "no guard at all";

    // Text left on the pasteboard for the user is not on its way anywhere.
    const auto left = guard->putText("書き直した文");
    ASSERT_TRUE(left);
    EXPECT_FALSE(PasteboardGuard::pasteInFlight(board));

    const auto pasted = guard->putText("雨");
    ASSERT_TRUE(pasted);
    EXPECT_FALSE(PasteboardGuard::pasteInFlight(board)) << "before the keystroke";
    guard->releaseAfterPaste(*pasted, clock, board.textFetchCount());
    EXPECT_TRUE(PasteboardGuard::pasteInFlight(board));
    clock.advance(0.3);
    EXPECT_TRUE(PasteboardGuard::pasteInFlight(board)) << "the target has not fetched yet";
    board.noteTextFetched();
    clock.advance(PasteboardGuard::kFetchPollInterval + PasteboardGuard::kRestoreAfterFetch);
    EXPECT_FALSE(PasteboardGuard::pasteInFlight(board));
    EXPECT_TRUE(guard->isHolding()) << "the text left for the user stays";
    guard->release(*left);
    EXPECT_EQ(board.items(), kUserContents);
}

TEST_F(PasteboardGuardTest, OurTextIsMarkedSecretForClipboardManagers) {
    const auto hold = guard->putText("雨");
    ASSERT_FALSE(board.items().empty());
    EXPECT_EQ(board.items().front().dataForType(PasteboardGuard::kSecretHintType), "secret");
    guard->release(*hold);
}

TEST_F(PasteboardGuardTest, AClipboardManagerTakingOverOurTextStillGetsTheUsersContentsBack) {
    const auto hold = guard->putText("雨");
    // The manager fetches everything we offer and owns the clipboard with it.
    board.userCopies(board.items());
    guard->release(*hold);
    EXPECT_EQ(board.items(), kUserContents);
}

// A pasteboard that tells when a paste target fetched its text.
class FetchingPasteboard : public sim::SimPasteboard {
  public:
    std::optional<int64_t> textFetchCount() override { return fetches; }
    int64_t fetches = 0;
};

TEST(PasteboardRestoreTest, WaitsForTheTargetToFetchOurTextWithinABound) {
    constexpr double kWithdrawn = PasteboardGuard::kWithdrawnBound;
    struct Case {
        const char* why;
        std::optional<double> fetchAt;  // seconds after the paste keystroke
        double restoredBy;
        double notBefore;
        // Whoever pasted waits for the target until then, on the clock.
        std::optional<double> waitUntil = std::nullopt;
        // Not fetched by the end of the wait: from then until the user's
        // contents come back, a late paste finds no text at all.
        std::optional<double> withdrawnAt = std::nullopt;
    };
    const Case cases[] = {
        {"a quick target", 0.05, 0.35, 0.2},
        // Later than a fixed 0.4 s restore: the target would have pasted
        // the user's old clipboard.
        {"a busy target", 0.9, 1.2, 1.0},
        {"a target that never fetches", std::nullopt, 1.6 + kWithdrawn, 1.4 + kWithdrawn, {}, 1.5},
        // Past the bound, within a later end: the late paste still gets
        // our text, and the user's comes back right after it.
        {"a target busy past the bound", 1.8, 2.1, 2.0, 2.2},
        {"a later end, never fetched", std::nullopt, 2.25 + kWithdrawn, 2.15 + kWithdrawn, 2.2,
         2.2},
        {"an end before the bound", std::nullopt, 1.6 + kWithdrawn, 1.4 + kWithdrawn, 0.5, 1.5},
        // The keystroke handled after the wait: it pasted nothing, and the
        // user's contents come back right after it.
        {"a target that fetches after the wait", 3.0, 3.3, 3.1, {}, 1.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        sim::VirtualClock clock;
        FetchingPasteboard board;
        board.userCopies({stringItem("ユーザーのコピー")});
        const auto guard = PasteboardGuard::of(board);
        const auto hold = guard->putText("雨");
        std::optional<TimePoint> until;
        if (c.waitUntil)
            until = clock.now() + seconds(*c.waitUntil);
        guard->releaseAfterPaste(*hold, clock, guard->fetchesBeforePaste(), {}, until);
        double restoredAt = -1;
        double withdrawnAt = -1;
        for (double t = 0; t < 3.0 + kWithdrawn && restoredAt < 0; t += 0.01) {
            if (c.fetchAt && t >= *c.fetchAt && board.fetches == 0)
                board.fetches = 1;
            clock.advance(0.01);
            const auto text = pasteboardString(board);
            if (text == "ユーザーのコピー")
                restoredAt = t + 0.01;
            else if (!text && withdrawnAt < 0)
                withdrawnAt = t + 0.01;
        }
        EXPECT_GE(restoredAt, c.notBefore);
        EXPECT_LE(restoredAt, c.restoredBy);
        if (c.withdrawnAt) {
            EXPECT_GE(withdrawnAt, *c.withdrawnAt - 0.1);
            EXPECT_LE(withdrawnAt, *c.withdrawnAt + 0.1);
        } else {
            EXPECT_EQ(withdrawnAt, -1);
        }
    }
}

TEST(PasteboardRestoreTest, PastesAfterAWithdrawnOneGiveTheClipboardBackEachTime) {
    // One paste is never fetched and withdrawn (a target that stopped);
    // the Applies after it, each fetched at once, paste their own text and
    // the user's contents come back after each, not only once the first
    // withdrawal has run out. Also where the clipboard reports our own
    // change late (X11 through Qt), or a clipboard manager takes over what
    // we left: what carries our mark is never saved as the user's.
    for (const bool reportedLate : {false, true}) {
        SCOPED_TRACE(reportedLate ? "our change reported late" : "reported at once");
        sim::VirtualClock clock;
        FetchingPasteboard board;
        board.userCopies({stringItem("ユーザーのコピー")});
        const auto guard = PasteboardGuard::of(board);
        sim::CapturedLog log;
        guard->setLog(&log);
        const auto first = guard->putText("雨");
        guard->releaseAfterPaste(*first, clock, guard->fetchesBeforePaste());
        clock.advance(2.0);
        ASSERT_EQ(pasteboardString(board), std::nullopt);
        if (reportedLate)
            board.userCopies(board.items());
        for (int apply = 0; apply < 5; ++apply) {
            SCOPED_TRACE(apply);
            const auto hold = guard->putText("雪");
            ASSERT_TRUE(hold);
            clock.advance(0.2);
            EXPECT_EQ(pasteboardString(board), "雪");
            guard->releaseAfterPaste(*hold, clock, guard->fetchesBeforePaste());
            clock.advance(0.05);
            ++board.fetches;
            clock.advance(0.5);
            EXPECT_EQ(pasteboardString(board), "ユーザーのコピー");
            clock.advance(1.5);
            EXPECT_EQ(pasteboardString(board), "ユーザーのコピー");
        }
        // Each step is in the log.
        EXPECT_EQ(log.count("clipboard: the user's contents saved"), 5u);
        EXPECT_EQ(log.count("clipboard: our text withdrawn"), 1u);
        EXPECT_EQ(log.count("clipboard: the user's contents given back"), 5u);
    }
}

TEST(PasteboardRestoreTest, AFetchOnTheKeystrokeWaitsForThePasteToShow) {
    // Chromium fetches as it handles the keystroke and again when its busy
    // page pastes, 0.9 s later.
    sim::VirtualClock clock;
    FetchingPasteboard board;
    board.userCopies({stringItem("ユーザーのコピー")});
    const auto guard = PasteboardGuard::of(board);
    const auto hold = guard->putText("雨");
    bool shown = false;
    guard->releaseAfterPaste(*hold, clock, guard->fetchesBeforePaste(), [&] { return shown; });
    clock.advance(0.02);
    board.fetches = 1;
    clock.advance(0.85);
    EXPECT_EQ(pasteboardString(board), "雨");
    board.fetches = 2;
    shown = true;
    clock.advance(0.3);
    EXPECT_EQ(pasteboardString(board), "ユーザーのコピー");
}

TEST(PasteboardRestoreTest, WithoutFetchCountsTheRestoreComesAfterAFixedWait) {
    sim::VirtualClock clock;
    sim::SimPasteboard board;
    board.userCopies({stringItem("ユーザーのコピー")});
    const auto guard = PasteboardGuard::of(board);
    const auto hold = guard->putText("雨");
    guard->releaseAfterPaste(*hold, clock, guard->fetchesBeforePaste());
    clock.advance(0.39);
    EXPECT_EQ(pasteboardString(board), "雨");
    clock.advance(0.02);
    EXPECT_EQ(pasteboardString(board), "ユーザーのコピー");
}

}  // namespace
}  // namespace mivo
