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
    const EndCase cases[] = {
        {"written", applyAt(0.05), kCorrected + "xy", {}, 0.5},
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
    };
    std::vector<UnwrittenField> told;
    monitor.onReplacementFailed = [&](UnwrittenField field) { told.push_back(field); };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.how);
        told.clear();
        const int holds = keyboard().holdsTaken();
        c.act();
        desk.clock().after(0.3, [this] { desk.typeText("xy"); });
        // Past the time a paste given up finds nothing to paste.
        advance(PasteboardGuard::kWithdrawnBound + 4);
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

}  // namespace
}  // namespace mivo
