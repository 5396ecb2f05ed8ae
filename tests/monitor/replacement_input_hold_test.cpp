// The user's hands in the second after Apply: keys typed while a correction
// goes in must land where the user was typing, in order, none lost, and the
// correction must still be written.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "input_hold_scene.hpp"

namespace mivo {
namespace {

using ReplacementInputHoldTest = InputHoldScene;

bool fetchedPastTheBound(const Route& route) {
    return route.pasteLateSeconds > PasteboardGuard::kRestoreBound;
}

TEST_F(ReplacementInputHoldTest, KeysTypedRightAfterApplyLandWhereTheUserWasTyping) {
    // From the click on: while our selection stands, while the paste is on
    // its way, and before and after the caret is back.
    const double moments[] = {0, 0.05, 0.1, 0.19, 0.2, 0.25, 0.3, 0.45, 0.6, 0.8, 1.0, 1.5};
    for (const auto& route : kRoutes) {
        for (const double after : moments) {
            SCOPED_TRACE(std::string(route.name) + ", typed " + std::to_string(after) +
                         " s after Apply");
            follow(route);
            applyAndType(after, "あいう");
            EXPECT_EQ(desk.text(field), kCorrected + "あいう");
            EXPECT_EQ(desk.selection(field), (Utf16Range{13, 0}));
            EXPECT_FALSE(keyboard().holding());
            EXPECT_EQ(pasteboardString(desk.pasteboard()), "ユーザーの内容");
            monitor.stop();
            desk.setInputQuirk(field, {});
        }
    }
}

TEST_F(ReplacementInputHoldTest, HeldKeysKeepTheirOrderAcrossBursts) {
    // Keys and a BackSpace in several bursts, some held, some after the
    // hold: the field reads as if nothing had held them.
    for (const auto& route : kRoutes) {
        SCOPED_TRACE(route.name);
        follow(route);
        monitor.applyReplacement(de());
        desk.clock().after(0.05, [this] { desk.typeText("あ"); });
        desk.clock().after(0.1, [this] { desk.typeText("いx"); });
        desk.clock().after(0.15, [this] { desk.pressDelete(); });
        desk.clock().after(0.3, [this] { desk.typeText("う"); });
        desk.clock().after(1.2, [this] { desk.typeText("え"); });
        advance(3.0);
        EXPECT_EQ(desk.text(field), kCorrected + "あいうえ");
        monitor.stop();
        desk.setInputQuirk(field, {});
    }
}

TEST_F(ReplacementInputHoldTest, TheKeysWaitOnlyUntilTheFieldShowsTheCorrection) {
    struct Row {
        Route route;
        double longest;  // seconds the keys may wait
    };
    // The paste is fetched 0.2 s after Apply (0.5 s when late); the field
    // is not called until 0.2 s after the fetch, then every 0.05 s.
    const Row rows[] = {
        {kRoutes[0], 0},
        {kRoutes[1], 0},
        {kRoutes[2], 0.5},
        {kRoutes[3], 0.8},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.route.name);
        follow(row.route);
        const int before = keyboard().holdsTaken();
        applyAndType(0.01, "あ");
        EXPECT_EQ(keyboard().holdsTaken(), before + 1);
        EXPECT_LE(keyboard().lastHoldSeconds(), row.longest);
        EXPECT_EQ(desk.text(field), kCorrected + "あ");
        monitor.stop();
        desk.setInputQuirk(field, {});
    }
}

TEST_F(ReplacementInputHoldTest, APasteTheTargetNeverTakesIsNotFollowedByAnotherWrite) {
    // Our Ctrl+V is never handled while the hold lasts: a target that
    // handles it later would paste after any other write, so nothing else
    // is written. Before the hold ends the user's caret is back, the keys
    // held meanwhile follow it, and the user is told what the field holds:
    // as it was, or changed by another program, which no hold can stop.
    struct Row {
        const char* why;
        double at;   // seconds after Apply
        bool typed;  // else another program writes into the field
        std::string text;
        UnwrittenField told;
    };
    const Row rows[] = {
        {"typed while the paste was due", 0.1, true, kTyped + "あいう", UnwrittenField::asItWas},
        {"typed once the hold is over", 2.9, true, kTyped + "あいう", UnwrittenField::asItWas},
        {"another program wrote meanwhile", 0.3, false, kTyped + "外",
         UnwrittenField::changedElsewhere},
    };
    std::vector<UnwrittenField> told;
    monitor.onReplacementFailed = [&](UnwrittenField field) { told.push_back(field); };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        told.clear();
        desk.log().clear();
        follow(kRoutes[2]);
        desk.setInputQuirk(field, sim::InputQuirk{.ignoresPaste = true});
        if (row.typed) {
            applyAndType(row.at, "あいう");
        } else {
            monitor.applyReplacement(de());
            desk.clock().after(row.at, [this] { desk.setText(field, kTyped + "外"); });
            advance(3.0);
        }
        EXPECT_LT(keyboard().lastHoldSeconds(), 2.5);
        EXPECT_EQ(desk.text(field), row.text);
        if (row.typed) {
            EXPECT_EQ(desk.selection(field), (Utf16Range{13, 0}));
        }
        EXPECT_EQ(told, std::vector{row.told});
        EXPECT_EQ(logged("retrying with"), 0u);
        EXPECT_EQ(logged("never took our paste"), 1u);
        // Should the target handle it after all, it finds nothing to paste
        // for a while; then the user's contents are back.
        EXPECT_EQ(pasteboardString(desk.pasteboard()), std::nullopt);
        advance(PasteboardGuard::kWithdrawnBound);
        EXPECT_EQ(pasteboardString(desk.pasteboard()), "ユーザーの内容");
        EXPECT_FALSE(keyboard().holding());
        monitor.stop();
        desk.setInputQuirk(field, {});
    }
}

TEST_F(ReplacementInputHoldTest, WhenTheKeyboardCannotBeHeldTheCorrectionStillGoesIn) {
    // Another program holds the keyboard: nothing is held, the correction is
    // written and keys typed once it shows land at the end.
    keyboard().setRefused(true);
    follow(kRoutes[2]);
    applyAndType(1.0, "あ");
    EXPECT_EQ(desk.text(field), kCorrected + "あ");
    EXPECT_EQ(logged("applyReplacement: pasted replacement into selected AX range"), 1u);
}

TEST_F(ReplacementInputHoldTest, KeysThatCannotBeHeldNeverLandInOurSelection) {
    // Keys that pass by any hold (an on-screen keyboard, a remote desktop)
    // while the correction goes in: nothing of ours stands selected for
    // them; the field ends corrected or as it was, with every key at the
    // end, and the user learns when nothing was written. (Keys in the
    // moment between the paste landing and the caret coming back land
    // after the correction: nothing can stop them there. A paste the field
    // drops leaves our selection standing until its check, since a paste
    // fetched late must still find it; that route is left out.)
    const double moments[] = {0.01, 0.1, 0.19, 1.2};
    int failed = 0;
    monitor.onReplacementFailed = [&](UnwrittenField) { ++failed; };
    for (const auto& route : std::span(kRoutes).first(4)) {
        for (const double after : moments) {
            SCOPED_TRACE(std::string(route.name) + ", typed " + std::to_string(after) +
                         " s after Apply");
            failed = 0;
            keyboard().setRefused(true);
            follow(route);
            applyAndType(after, "続き");
            const std::string now = desk.text(field);
            EXPECT_TRUE(now == kCorrected + "続き" || now == kTyped + "続き") << now;
            EXPECT_EQ(desk.selection(field), (Utf16Range{12, 0}));
            EXPECT_EQ(failed, now == kTyped + "続き" ? 1 : 0);
            monitor.stop();
            desk.setInputQuirk(field, {});
        }
    }
}

// What comes while the correction goes in, from every input device: the
// user's keyboard, the XTest keyboard other programs type through, the
// user's pointer (a click into the sentence, after its 5th Character) and
// the XTest pointer (a click on the page beside the field); the two ways
// Apply itself is clicked that bring more input with it; and a click
// before the first Character followed by keys, or by a move off the field
// (the keys then typed once everything is over).
enum class Source {
    keyboard,
    xtestKeyboard,
    pointer,
    xtestPointer,
    doubleClick,
    shiftAtClick,
    clickThenKeys,
    clickThenMove
};

struct InputRow {
    std::string name;
    Route route;
    Source source;
    double at;  // seconds after Apply
};

struct SourceOutcome {
    const char* name;
    std::string after;        // what the field holds after the correction
    Utf16Range caret;         // where the caret ends
    int pageClicks;           // clicks beside the field that reached the page
    std::string before = {};  // what the field holds before the correction
};

SourceOutcome outcome(Source source) {
    switch (source) {
        case Source::keyboard:
            return {"the user's keys", "xy", {12, 0}, 0};
        case Source::xtestKeyboard:
            return {"another program's keys", "xy", {12, 0}, 0};
        case Source::pointer:
            return {"the user's click into the sentence", "", {5, 0}, 0};
        case Source::xtestPointer:
            return {"another program's click on the page", "", {10, 0}, 1};
        case Source::doubleClick:
            // The second click lands on the page below the panel; the user
            // types on.
            return {"a double click on Apply, then keys", "xy", {12, 0}, 1};
        case Source::shiftAtClick:
            // Shift down as Apply is clicked, up 0.1 s later; keys at 0.3 s.
            return {"Shift down at the click, then keys", "xy", {12, 0}, 0};
        case Source::clickThenKeys:
            return {"a click before the first Character, keys 0.2 s later", "", {2, 0}, 0, "xy"};
        case Source::clickThenMove:
            return {"a click before the first Character, a move off the field 0.1 s later",
                    "",
                    {2, 0},
                    0,
                    "xy"};
    }
    return {};
}

std::vector<InputRow> everyInputRows() {
    std::vector<InputRow> rows;
    for (const Route& route : {kRoutes[2], kRoutes[3], kRoutes[1], kRoutes[4]}) {
        for (const Source source :
             {Source::keyboard, Source::xtestKeyboard, Source::pointer, Source::xtestPointer,
              Source::clickThenKeys, Source::clickThenMove}) {
            // Every 0.05 s from Apply to 0.6 s: through our selection, the
            // paste (at 0.2 s, or fetched late at 0.5 s) and the caret's
            // return; to 2.2 s when the target takes the paste past the
            // clipboard's own bound (at 2.0 s).
            const int steps = fetchedPastTheBound(route) ? 44 : 12;
            for (int step = 0; step <= steps; ++step)
                rows.push_back({outcome(source).name, route, source, 0.05 * step});
        }
        rows.push_back({outcome(Source::doubleClick).name, route, Source::doubleClick, 0.06});
        rows.push_back({outcome(Source::shiftAtClick).name, route, Source::shiftAtClick, 0.1});
    }
    return rows;
}

TEST_F(ReplacementInputHoldTest, EveryInputDuringTheWriteHappensAfterIt) {
    // The correction always goes in, and whatever came meanwhile, from
    // whoever, follows it as it was made: nothing of ours stays selected,
    // the user's clipboard is back, every device is free and no notice
    // says otherwise.
    std::vector<UnwrittenField> unwritten;
    monitor.onReplacementFailed = [&](UnwrittenField field) { unwritten.push_back(field); };
    for (const InputRow& row : everyInputRows()) {
        SCOPED_TRACE(std::string(row.route.name) + ", " + row.name + " " + std::to_string(row.at) +
                     " s after Apply");
        const SourceOutcome expected = outcome(row.source);
        unwritten.clear();
        desk.log().clear();
        follow(row.route);
        const int pageClicks = desk.clicksBesideDone();
        const auto at = [&](double seconds, std::function<void()> step) {
            desk.clock().after(seconds, std::move(step));
        };
        switch (row.source) {
            case Source::doubleClick:
                // Held from the press of Apply; the panel asks for the
                // correction 0.05 s after the click.
                monitor.holdKeysForApply();
                at(0.05, [this] { monitor.applyReplacement(de()); });
                at(row.at, [this] { desk.clickBeside(); });
                at(0.1, [this] { desk.typeText("xy"); });
                break;
            case Source::shiftAtClick:
                keyboard().setModifierDown(true);
                monitor.holdKeysForApply();
                monitor.applyReplacement(de());
                at(row.at, [this] { keyboard().setModifierDown(false); });
                at(0.3, [this] { desk.typeText("xy"); });
                break;
            case Source::clickThenKeys:
                monitor.applyReplacement(de());
                at(row.at, [this] { desk.click(field, {0, 0}); });
                at(row.at + 0.2, [this] { desk.typeText("xy"); });
                break;
            case Source::clickThenMove:
                monitor.applyReplacement(de());
                at(row.at, [this] { desk.click(field, {0, 0}); });
                at(row.at + 0.1, [this] { desk.movePointerAway(); });
                at(2.9, [this] { desk.typeText("xy"); });
                break;
            default:
                monitor.applyReplacement(de());
                at(row.at, [this, source = row.source] {
                    if (source == Source::keyboard)
                        desk.typeText("xy");
                    else if (source == Source::xtestKeyboard)
                        desk.typeTextFromAnotherProgram("xy");
                    else if (source == Source::pointer)
                        desk.click(field, {5, 0});
                    else
                        desk.clickBeside();
                });
        }
        advance(3.0);
        EXPECT_EQ(desk.text(field), expected.before + kCorrected + expected.after);
        EXPECT_EQ(desk.selection(field), expected.caret);
        EXPECT_EQ(desk.clicksBesideDone() - pageClicks, expected.pageClicks);
        EXPECT_EQ(pasteboardString(desk.pasteboard()), "ユーザーの内容");
        EXPECT_FALSE(keyboard().holding());
        EXPECT_EQ(unwritten, std::vector<UnwrittenField>{});
        EXPECT_EQ(logged("retrying with"), 0u);
        monitor.stop();
        desk.setInputQuirk(field, {});
    }
}

TEST_F(ReplacementInputHoldTest, AnApplicationThatStopsAnsweringNeverGetsKeysOverOurSelection) {
    // The application stops (a spell of load) while the correction goes
    // in, the user's keys come at 0.3 s: a request of ours to select the
    // original may wait in it and be handled whenever it runs again. The
    // keys never go in over that selection and nothing of the sentence is
    // lost, however long it is away; the devices outlast the bound only
    // while it is away; keys that could not go in safely within the long
    // limit are not sent, and the user is told.
    struct Row {
        double stopsAt;  // seconds after Apply
        double stopsFor;
    };
    // Away well past the hold too: the hold still ends by its bound.
    const Row rows[] = {{0, 1.0},    {0, 1.9},   {0, 2.6},    {0, 3.0},
                        {0.1, 1.9},  {0.1, 2.6}, {0.25, 1.0}, {0.25, 1.9},
                        {0.25, 3.0}, {0, 10.0},  {0.1, 10.0}, {0.25, 10.0}};
    std::vector<UnwrittenField> unwritten;
    monitor.onReplacementFailed = [&](UnwrittenField field) { unwritten.push_back(field); };
    for (const auto& route : {kRoutes[2], kRoutes[1]}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(route.name) + ", stopped at " + std::to_string(row.stopsAt) +
                         " s for " + std::to_string(row.stopsFor) + " s");
            unwritten.clear();
            follow(route);
            monitor.applyReplacement(de());
            desk.clock().after(row.stopsAt,
                               [this, row] { desk.stopApplication(pid, row.stopsFor); });
            desk.clock().after(0.3, [this] { desk.typeText("xy"); });
            advance(row.stopsAt + row.stopsFor + 1.0);
            const std::string now = desk.text(field);
            desk.log().clear();
            const bool keysSent = now.ends_with("xy");
            EXPECT_TRUE(now.starts_with(kTyped) || now.starts_with(kCorrected)) << now;
            EXPECT_EQ(now.size(), kTyped.size() + (keysSent ? 2 : 0)) << now;
            EXPECT_EQ(desk.selection(field).length, 0);
            // Past the bound only while it is away, and never past the
            // long limit, when the keys are given up.
            const double away = row.stopsAt + row.stopsFor;
            EXPECT_LE(keyboard().lastHoldSeconds(), std::max(2.5, away + 0.1));
            EXPECT_EQ(keysSent, away < WriteHold::kAwayLimitSeconds);
            EXPECT_FALSE(keyboard().holding());
            EXPECT_EQ(pasteboardString(desk.pasteboard()), "ユーザーの内容");
            EXPECT_EQ(std::ranges::count(unwritten, UnwrittenField::keysKeptOut), keysSent ? 0 : 1);
            monitor.stop();
            desk.setInputQuirk(field, {});
            advance(3.0);
        }
    }
}

TEST_F(ReplacementInputHoldTest, AFieldThatAnswersNoReadIsNeverToldAsChanged) {
    // The target handles our Ctrl+V late and answers nothing until then
    // (a Qt editor fetching our clipboard while we wait on its answer):
    // the check reads nothing. The correction goes in once it runs again
    // and no notice says otherwise. Keys typed meanwhile follow it, also
    // when the target is still away at the hold's bound: they wait for it.
    struct Row {
        double late;  // seconds from Ctrl+V (0.2 s) to the paste
        bool keysSent;
    };
    std::vector<UnwrittenField> unwritten;
    monitor.onReplacementFailed = [&](UnwrittenField field) { unwritten.push_back(field); };
    for (const Row row : {Row{0.8, true}, Row{2.3, true}}) {
        SCOPED_TRACE("pasted " + std::to_string(row.late) + " s late");
        unwritten.clear();
        follow(Route{"select and paste", true, true, row.late});
        monitor.applyReplacement(de());
        desk.clock().after(0.21, [this, row] { desk.stopApplication(pid, row.late - 0.01); });
        desk.clock().after(0.3, [this] { desk.typeText("xy"); });
        advance(4.0);
        EXPECT_EQ(desk.text(field), kCorrected + (row.keysSent ? "xy" : ""));
        EXPECT_EQ(desk.selection(field).length, 0);
        EXPECT_EQ(unwritten, row.keysSent ? std::vector<UnwrittenField>{}
                                          : std::vector{UnwrittenField::keysKeptOut});
        EXPECT_LE(keyboard().lastHoldSeconds(), std::max(2.5, 0.21 + row.late));
        EXPECT_EQ(pasteboardString(desk.pasteboard()), "ユーザーの内容");
        monitor.stop();
        desk.setInputQuirk(field, {});
    }
}

TEST_F(ReplacementInputHoldTest, AWriteGivenUpBeforeItBeginsEndsTheHoldAndSaysWhy) {
    // A document of blocks (a mail composer's paragraphs): the sentence in
    // its own text is checked, and a key at the instant of the click on
    // Apply reaches the document before the devices are held. Its text is
    // no longer the one checked, nothing is written; the keys typed after
    // it go on at once and the user learns why nothing changed.
    std::vector<UnwrittenField> unwritten;
    monitor.onReplacementFailed = [&](UnwrittenField field) { unwritten.push_back(field); };
    const sim::SimId block = desk.addTextField(field, "本を読んだ。");
    desk.setText(field, kTyped + "\uFFFC");
    desk.select(field, kAtTheEnd);
    monitor.start();
    candidates.clear();
    advance(1.1);
    ASSERT_FALSE(candidates.empty());
    ASSERT_EQ(candidates.back().text, kTyped);
    const uint64_t checked = candidates.back().block;
    desk.typeText("x");
    monitor.holdKeysForApply();
    desk.clock().after(0.01, [this] { desk.typeText("y"); });
    desk.clock().after(0.05, [&] { monitor.applyReplacement(de(), checked); });
    advance(3.0);
    EXPECT_EQ(desk.text(field), kTyped + "xy\uFFFC");
    EXPECT_EQ(desk.text(block), "本を読んだ。");
    EXPECT_EQ(unwritten, std::vector{UnwrittenField::changedElsewhere});
    EXPECT_LT(keyboard().lastHoldSeconds(), 0.1);
    EXPECT_FALSE(keyboard().holding());
}

struct ModifierCase {
    const char* why;
    double downAt;  // seconds after Apply (0: down as Apply is clicked)
    double upAt;
    bool written;
};

TEST_F(ReplacementInputHoldTest, ASelectionMadeWhileApplyWaitsForCtrlIsKeptAroundTheWrite) {
    // Ctrl is down at Apply; the user selects everything (Ctrl+A) before
    // letting it go: the correction goes in and the selection stands
    // around it, as the user made it.
    for (const auto& route : {kRoutes[2], kRoutes[1]}) {
        SCOPED_TRACE(route.name);
        follow(route);
        keyboard().setModifierDown(true);
        monitor.applyReplacement(de());
        desk.clock().after(0.05, [this] { desk.select(field, {0, 10}); });
        desk.clock().after(0.1, [this] { keyboard().setModifierDown(false); });
        advance(3.0);
        EXPECT_EQ(desk.text(field), kCorrected);
        EXPECT_EQ(desk.selection(field), (Utf16Range{0, 10}));
        EXPECT_FALSE(keyboard().holding());
        monitor.stop();
        desk.setInputQuirk(field, {});
    }
}

TEST_F(ReplacementInputHoldTest, APasteIsNeverSentWithAModifierTheUserHolds) {
    // Shift (or Alt, Super, AltGr, Ctrl) down at Apply would make the
    // paste another shortcut and leave our selection for the next key: the
    // write waits for it to come up, else nothing is sent, nothing of ours
    // stays selected, and the user is told why. One pressed once the write
    // began is held with everything else.
    const ModifierCase cases[] = {
        {"Shift down at Apply, up at 0.3 s", 0, 0.3, true},
        {"Shift down at Apply, up at 1.8 s", 0, 1.8, true},
        {"Shift held at Apply past the wait", 0, 2.8, false},
        // Pressed while the devices are held: it follows the correction.
        {"Shift pressed once the write began", 0.1, 2.0, true},
    };
    std::vector<UnwrittenField> unwritten;
    monitor.onReplacementFailed = [&](UnwrittenField field) { unwritten.push_back(field); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        unwritten.clear();
        desk.log().clear();
        follow(kRoutes[2]);
        if (c.downAt == 0)
            keyboard().setModifierDown(true);
        else
            desk.clock().after(c.downAt, [this] { keyboard().setModifierDown(true); });
        desk.clock().after(c.upAt, [this] { keyboard().setModifierDown(false); });
        monitor.applyReplacement(de());
        // A capital typed with the modifier, and the next key once it is up.
        desk.clock().after(0.2, [this] { desk.typeText("A"); });
        advance(c.upAt + 0.01);
        desk.typeText("b");
        advance(3.0);
        EXPECT_EQ(desk.text(field), (c.written ? kCorrected : kTyped) + "Ab");
        EXPECT_EQ(desk.selection(field), (Utf16Range{12, 0}));
        EXPECT_EQ(unwritten,
                  c.written ? std::vector<UnwrittenField>{} : std::vector{UnwrittenField::keyHeld});
        EXPECT_EQ(logged("modifier key") > 0, !c.written);
        EXPECT_FALSE(keyboard().holding());
        monitor.stop();
    }
}

TEST_F(ReplacementInputHoldTest, AKeyDownAtApplyIsLetComeUpBeforeAnythingIsWritten) {
    // The user's key is still down when the correction is asked for: the
    // keyboard cannot be held until it comes up, and keys typed right after
    // must still wait for the correction.
    for (const auto& route : kRoutes) {
        for (const double up : {0.03, 0.08, 0.4}) {
            SCOPED_TRACE(std::string(route.name) + ", key up at " + std::to_string(up));
            follow(route);
            keyboard().setKeyDown(true);
            desk.clock().after(up, [this] { keyboard().setKeyDown(false); });
            applyAndType(up + 0.03, "続き");
            EXPECT_EQ(desk.text(field), kCorrected + "続き");
            EXPECT_EQ(desk.selection(field), (Utf16Range{12, 0}));
            monitor.stop();
            desk.setInputQuirk(field, {});
        }
    }
}

TEST_F(ReplacementInputHoldTest, TheHoldNeverOutlastsItsLimit) {
    // The monitor stops with the keys held: nothing of it runs any more,
    // and the keyboard comes back by itself.
    follow(kRoutes[2]);
    monitor.applyReplacement(de());
    advance(0.1);
    desk.typeText("あ");
    monitor.stop();
    advance(2.5);
    EXPECT_FALSE(keyboard().holding());
    EXPECT_NE(desk.text(field).find("あ"), std::string::npos);

    // Stopped once our paste went out, other programs' keys held since: a
    // write begun before the hold runs out still gets its keystroke to the
    // application, and the user's keys land after the correction.
    follow(kRoutes[2]);
    desk.setInputQuirk(field, sim::InputQuirk{.pasteDelaySeconds = 0.3});
    monitor.applyReplacement(de());
    advance(0.3);
    monitor.stop();
    advance(0.5);
    ASSERT_TRUE(keyboard().holding());
    desk.setInputQuirk(field, {});
    follow(kRoutes[2]);
    applyAndType(0.1, "い");
    EXPECT_EQ(desk.text(field), kCorrected + "い");
    EXPECT_FALSE(keyboard().holding());
}

}  // namespace
}  // namespace mivo
