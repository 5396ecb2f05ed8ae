// However a write ends, the hold taken for it ends once: the keys typed
// meanwhile reach the field once, nothing of ours stays selected, every
// device is free, and the user hears once what became of the correction.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "input_hold_scene.hpp"

namespace mivo {
namespace {

using WriteHoldEndTest = InputHoldScene;

struct EndCase {
    const char* how;
    std::function<void()> act;  // from the press of Apply on
    std::string text;
    std::vector<UnwrittenField> told;
    double longest;  // seconds the (last) hold may last
    int holds = 1;
};

// Apply for a word the sentence never held: refused before anything is
// written.
CorrectionIssue notThere() {
    CorrectionIssue i = de();
    i.original = "から";
    return i;
}

// Busy past the hold's bound, the target handles our keystroke after the
// user's keys: pasted there, the correction would follow them, with the
// original still in place.
const Route kHandledLate{"select and paste, handled 2.8 s late", true, true, 2.8};

TEST_F(WriteHoldEndTest, EveryWayAWriteEndsEndsItsHoldOnce) {
    // The press of Apply, and the correction asked for `at` seconds later
    // (never when negative).
    const auto applyAt = [this](double at, Route route = kRoutes[2]) {
        return [this, at, route] {
            follow(route);
            monitor.holdKeysForApply();
            if (at >= 0)
                desk.clock().after(at, [this] { monitor.applyReplacement(de()); });
        };
    };
    const auto then = [this, applyAt](double at, std::function<void()> step) {
        return [this, applyAt, at, step] {
            applyAt(-1)();
            desk.clock().after(at, step);
        };
    };
    const auto stopped = [this, applyAt](double seconds) {
        return [this, applyAt, seconds] {
            applyAt(0.05)();
            desk.clock().after(0.1, [this, seconds] { desk.stopApplication(pid, seconds); });
        };
    };
    // Our range write reaches the application as it stops: it is handled
    // when it runs again, whatever the routes after it found meanwhile.
    const auto stoppedByOurWrite = [this](double seconds) {
        return [this, seconds] {
            follow(Route{"selected text", true, false, 0});
            desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::stop(seconds));
            monitor.holdKeysForApply();
            desk.clock().after(0.05, [this] { monitor.applyReplacement(de()); });
        };
    };
    // Our selection reaches the application as it stops: every way of
    // writing finds it away, and its answer lets the write begin again.
    const auto stoppedBySelecting = [this](double seconds, Route route = kRoutes[2]) {
        return [this, seconds, route] {
            follow(route);
            desk.setWriteQuirk(field, "AXSelectedTextRange", WriteQuirk::stop(seconds));
            monitor.holdKeysForApply();
            desk.clock().after(0.05, [this] { monitor.applyReplacement(de()); });
        };
    };
    const EndCase cases[] = {
        {"written", applyAt(0.05), kCorrected + "xy", {}, 0.5},
        // Taking the clipboard would lose what could not be read: the
        // correction is typed instead.
        {"the clipboard's owner hands nothing over",
         [this, applyAt] {
             desk.pasteboard().setOwnerAnswers(false);
             applyAt(0.05)();
         },
         kCorrected + "xy",
         {},
         0.5},
        // The panel is slow to ask for the correction and the target slow
        // to paste it: the write takes over the hold the press took, and
        // its bound counted from the press. A paste not taken by then is
        // withdrawn, and the keys follow the text as it was.
        {"asked for 1 s after the press, pasted 1.8 s late",
         applyAt(1.0, kRoutes[4]),
         kTyped + "xy",
         {UnwrittenField::asItWas},
         2.5},
        {"a press that nothing follows", applyAt(-1), kTyped + "xy", {}, 2.5},
        {"a press cancelled",
         then(0.2, [this] { monitor.applyPressCancelled(); }),
         kTyped + "xy",
         {},
         0.25},
        {"refused: the original is not there",
         then(0.05, [this] { monitor.applyReplacement(notThere()); }),
         kTyped + "xy",
         {UnwrittenField::asItWas},
         0.1},
        // An earlier correction went in and its check is still to come:
        // it needs no hold any more, and the refused one's ends at once.
        {"refused while an earlier write awaits its check",
         [this] {
             follow(kRoutes[2]);
             monitor.applyReplacement(de());
             desk.clock().after(0.5, [this] { monitor.holdKeysForApply(); });
             desk.clock().after(0.55, [this] { monitor.applyReplacement(de(), 999); });
         },
         kCorrected + "xy",
         {UnwrittenField::changedElsewhere},
         0.1,
         2},
        {"a press cancelled while an earlier write awaits its check",
         [this] {
             follow(kRoutes[2]);
             monitor.applyReplacement(de());
             desk.clock().after(0.5, [this] { monitor.holdKeysForApply(); });
             desk.clock().after(0.55, [this] { monitor.applyPressCancelled(); });
         },
         kCorrected + "xy",
         {},
         0.1,
         2},
        {"given up: the paste never taken",
         [this, applyAt] {
             applyAt(0.05)();
             desk.setInputQuirk(field, sim::InputQuirk{.ignoresPaste = true});
         },
         kTyped + "xy",
         {UnwrittenField::asItWas},
         2.5},
        // The paste is given up while the application does not answer: it
        // reads empty then, which is no sentence typed over. The held keys
        // wait for it and go in once it answers, where the user typed.
        {"the application away past the bound",
         stopped(5.0),
         kTyped + "xy",
         {UnwrittenField::asItWas},
         5.2},
        {"the application away past the long limit",
         stopped(12.0),
         kTyped,
         {UnwrittenField::asItWas, UnwrittenField::keysKeptOut},
         WriteHold::kAwayLimitSeconds},
        {"the application answering again within the bound",
         stopped(1.0),
         kCorrected + "xy",
         {},
         2.5},
        {"the paste handled past the bound",
         applyAt(0.05, kHandledLate),
         kTyped + "xy",
         {UnwrittenField::asItWas},
         2.5},
        // Our loop held up meanwhile: the clipboard's wait for the target
        // is still on at the bound, and the hold's end decides.
        {"the paste handled past the bound, our loop held up",
         [this, applyAt] {
             applyAt(0.05, kHandledLate)();
             desk.clock().after(0.3, [this] { desk.clock().stall(1.5); });
         },
         kTyped + "xy",
         {UnwrittenField::asItWas},
         2.5},
        {"our write taken late, within the bound",
         stoppedByOurWrite(1.5),
         kCorrected + "xy",
         {},
         2.5},
        {"our write taken past the bound", stoppedByOurWrite(5.0), kCorrected + "xy", {}, 5.1},
        {"our selection taken late, within the bound",
         stoppedBySelecting(1.5),
         kCorrected + "xy",
         {},
         2.5},
        // Written then, it pastes only past the bound: the keys wait.
        {"our selection taken late, pasted past the bound",
         stoppedBySelecting(2.0, Route{"select and paste, handled late", true, true, 0.5}),
         kCorrected + "xy",
         {},
         3.0},
        {"our selection taken past the bound",
         stoppedBySelecting(3.0),
         kTyped + "xy",
         {UnwrittenField::asItWas},
         3.2},
    };
    std::vector<UnwrittenField> told;
    monitor.onReplacementFailed = [&](UnwrittenField field) { told.push_back(field); };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.how);
        told.clear();
        const int holds = keyboard().holdsTaken();
        c.act();
        desk.clock().after(0.3, [this] { desk.typeText("xy"); });
        // Past the time a paste given up finds nothing to paste; an owner
        // of the clipboard that stopped answering answers again.
        advance(PasteboardGuard::kWithdrawnBound + 4);
        desk.pasteboard().setOwnerAnswers(true);
        EXPECT_EQ(desk.text(field), c.text);
        EXPECT_EQ(desk.selection(field).length, 0);
        EXPECT_EQ(told, c.told);
        EXPECT_EQ(keyboard().holdsTaken(), holds + c.holds);
        EXPECT_LE(keyboard().lastHoldSeconds(), c.longest);
        EXPECT_FALSE(keyboard().holding());
        EXPECT_EQ(pasteboardString(desk.pasteboard()), "ユーザーの内容");
        monitor.stop();
        desk.setInputQuirk(field, {});
    }
}

TEST_F(WriteHoldEndTest, AnApplicationBusyForAWhileGetsTheCorrectionAndEveryKey) {
    // Apply is clicked, the application stops 0.1 s later (a spell of
    // load) and the user types on at 0.3 s, and again once the hold is
    // over. Answering again in time, it gets the correction and the keys
    // after it; later, the correction is given up but the keys still go
    // in, in order, where the user's caret was, once it answers; only
    // an application away past the long limit loses the held keys, and
    // the user is told so.
    struct Row {
        double stopsFor;
        bool written;
        bool heldKeysSent;
        double longest;  // seconds the devices may stay held
        std::vector<UnwrittenField> told;
        // Once it runs again, it pastes this much after our Ctrl+V: it
        // works through what waited in it first.
        double pastesAfter = 0;
        // Once it runs again, it moves the caret this much after it is
        // asked to (a browser's page works through what waited in it).
        double caretAfter = 0;
    };
    const Row rows[] = {
        // Its paste made just past the bound: the keys wait for it.
        {1.9, true, true, 2.8, {}, 0.5},
        {1.0, true, true, 2.5, {}, 0.5},
        {0.5, true, true, 2.5, {}},
        {1.0, true, true, 2.5, {}},
        {1.9, true, true, 2.5, {}},
        // Its first answer 0.15 s before the bound (a browser back from a
        // spell of load answers a while after it runs again): our paste
        // goes then, and the keys wait for it past the bound.
        {2.25, true, true, 3.0, {}},
        {2.25, true, true, 3.3, {}, 0.5},
        // Back at the bound itself: its answer still counts.
        {2.4, true, true, 2.8, {}},
        {2.6, false, true, 2.8, {UnwrittenField::asItWas}},
        {4.0, false, true, 4.2, {UnwrittenField::asItWas}},
        // Our selection taken back only a while after it answers: the
        // check that ends the write meanwhile leaves the keys to wait for
        // the caret.
        {3.0, false, true, 3.8, {UnwrittenField::asItWas}, 0, 0.4},
        // Its answer comes to the write's check before the hold's own look
        // for it: the keys still wait for the caret.
        {2.95, false, true, 3.8, {UnwrittenField::asItWas}, 0, 0.2},
        {12.0,
         false,
         false,
         WriteHold::kAwayLimitSeconds,
         {UnwrittenField::asItWas, UnwrittenField::keysKeptOut}},
    };
    std::vector<UnwrittenField> told;
    monitor.onReplacementFailed = [&](UnwrittenField field) { told.push_back(field); };
    for (const Row& row : rows) {
        SCOPED_TRACE("stopped " + std::to_string(row.stopsFor) + " s, pasting " +
                     std::to_string(row.pastesAfter) + " s after");
        told.clear();
        follow(Route{"select and paste", true, true, row.pastesAfter});
        const int holds = keyboard().holdsTaken();
        monitor.holdKeysForApply();
        desk.clock().after(0.05, [this] { monitor.applyReplacement(de()); });
        desk.clock().after(0.1, [this, row] { desk.stopApplication(pid, row.stopsFor); });
        if (row.caretAfter > 0)
            desk.clock().after(0.1 + row.stopsFor, [this, row] {
                desk.setWriteQuirk(field, "AXSelectedTextRange", WriteQuirk::lag(row.caretAfter));
            });
        desk.clock().after(0.3, [this] { desk.typeText("xy"); });
        // Typed once the application answers again and the hold is over;
        // past the long limit, while it is still away: they wait in it
        // behind our caret request.
        const double later =
            row.heldKeysSent ? 0.1 + row.stopsFor + 0.3 : WriteHold::kAwayLimitSeconds + 1.0;
        desk.clock().after(later, [this] { desk.typeText("zw"); });
        advance(later + PasteboardGuard::kWithdrawnBound + 1);
        const std::string typed = (row.heldKeysSent ? "xy" : "") + std::string("zw");
        EXPECT_EQ(desk.text(field), (row.written ? kCorrected : kTyped) + typed);
        EXPECT_EQ(desk.selection(field), (Utf16Range{10 + static_cast<int64_t>(typed.size()), 0}));
        EXPECT_EQ(told, row.told);
        EXPECT_EQ(keyboard().holdsTaken(), holds + 1);
        EXPECT_LE(keyboard().lastHoldSeconds(), row.longest);
        EXPECT_FALSE(keyboard().holding());
        EXPECT_EQ(pasteboardString(desk.pasteboard()), "ユーザーの内容");
        monitor.stop();
        desk.setInputQuirk(field, {});
    }
}

}  // namespace
}  // namespace mivo
