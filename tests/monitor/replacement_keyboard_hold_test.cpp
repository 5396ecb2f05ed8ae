// The user's hands in the second after Apply: keys typed while a correction
// goes in must land where the user was typing, in order, none lost, and the
// correction must still be written.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "monitor/replacement_ladder.hpp"
#include "monitor_scene.hpp"
#include "monitor_test_access.hpp"
#include "platform/sim/sim_keyboard_hold.hpp"
#include "platform/sim/sim_pasteboard.hpp"

namespace mivo {
namespace {

using sim::WriteQuirk;

// で → に in 東京で住んでいます。, the user's caret at the end.
CorrectionIssue de() {
    CorrectionIssue i;
    i.id = "issue-de";
    i.original = "で";
    i.suggestion = "に";
    i.range = TextRange{2, 3};
    return i;
}
const std::string kTyped = "東京で住んでいます。";
const std::string kCorrected = "東京に住んでいます。";
constexpr Utf16Range kAtTheEnd{10, 0};

// How the field takes the correction.
struct Route {
    const char* name;
    bool wholeValueFails;
    bool selectedTextFails;
    double pasteLateSeconds;
};

const Route kRoutes[] = {
    {"whole value", false, false, 0},
    {"selected text", true, false, 0},
    {"select and paste", true, true, 0},
    {"select and paste, fetched late", true, true, 0.3},
};

class ReplacementKeyboardHoldTest : public MonitorScene {
  protected:
    ReplacementKeyboardHoldTest() {
        desk.pasteboard().userCopies({stringItem("ユーザーの内容")});
        // As on X11: the target's fetch of our text is seen.
        desk.pasteboard().setCountsFetches(true);
    }

    void follow(const Route& route) {
        desk.setText(field, kTyped);
        desk.focus(field);
        monitor.start();
        advance(0);
        MonitorTestAccess::host(monitor).setLastAnalyzedText(
            FieldText{kTyped, FieldText::Source::value, 0});
        if (route.wholeValueFails)
            desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
        if (route.selectedTextFails)
            desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::fail(AXError::cannotComplete));
        desk.setInputQuirk(field, sim::InputQuirk{.pasteDelaySeconds = route.pasteLateSeconds});
        desk.select(field, kAtTheEnd);
    }

    // Applies, and has the user type `keys` `after` seconds later.
    void applyAndType(double after, const std::string& keys) {
        monitor.applyReplacement(de());
        desk.clock().after(after, [this, keys] { desk.typeText(keys); });
        advance(3.0);
    }

    sim::SimKeyboardHold& keyboard() { return desk.input().keyboardHold(); }
};

TEST_F(ReplacementKeyboardHoldTest, KeysTypedRightAfterApplyLandWhereTheUserWasTyping) {
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

TEST_F(ReplacementKeyboardHoldTest, HeldKeysKeepTheirOrderAcrossBursts) {
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

TEST_F(ReplacementKeyboardHoldTest, TheKeysWaitOnlyUntilTheFieldShowsTheCorrection) {
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

TEST_F(ReplacementKeyboardHoldTest, KeysHeldForAPasteThatNeverShowsGoWhereTheUserWas) {
    // The application drops our paste: at the check (which waits for the
    // target's fetch, 1.5 s at most after the keystroke) the keys come back
    // at the user's caret, not over our selection of the original. Keys
    // typed on reach a real field only after the check read it: a retry
    // would select the original under them, so once they went on nothing
    // more is sent and the user is told; untouched, the next method writes.
    struct Row {
        const char* why;
        double typedAt;  // seconds after Apply
        std::string text;
        std::vector<UnwrittenField> told;
    };
    const Row rows[] = {
        {"typed while the paste was due",
         0.1,
         kTyped + "あいう",
         {UnwrittenField::changedElsewhere}},
        {"typed once the retry is in", 2.9, kCorrected + "あいう", {}},
    };
    std::vector<UnwrittenField> told;
    monitor.onReplacementFailed = [&](UnwrittenField field) { told.push_back(field); };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        told.clear();
        desk.log().clear();
        follow(kRoutes[2]);
        desk.setInputQuirk(field, sim::InputQuirk{.ignoresPaste = true});
        applyAndType(row.typedAt, "あいう");
        EXPECT_LE(keyboard().lastHoldSeconds(), 1.8);
        EXPECT_EQ(desk.text(field), row.text);
        EXPECT_EQ(desk.selection(field), (Utf16Range{13, 0}));
        EXPECT_EQ(told, row.told);
        EXPECT_EQ(logged("retrying with") > 0, row.told.empty());
        EXPECT_FALSE(keyboard().holding());
        monitor.stop();
        desk.setInputQuirk(field, {});
    }
}

TEST_F(ReplacementKeyboardHoldTest, WhenTheKeyboardCannotBeHeldTheCorrectionStillGoesIn) {
    // Another program holds the keyboard: nothing is held, the correction is
    // written and keys typed once it shows land at the end.
    keyboard().setRefused(true);
    follow(kRoutes[2]);
    applyAndType(1.0, "あ");
    EXPECT_EQ(desk.text(field), kCorrected + "あ");
    EXPECT_EQ(logged("applyReplacement: pasted replacement into selected AX range"), 1u);
}

TEST_F(ReplacementKeyboardHoldTest, KeysThatCannotBeHeldNeverLandInOurSelection) {
    // Keys that pass by any hold (an on-screen keyboard, a remote desktop)
    // while the correction goes in: nothing of ours stands selected for
    // them; the field ends corrected or as it was, with every key at the
    // end, and the user learns when nothing was written. (Keys in the
    // moment between the paste landing and the caret coming back land
    // after the correction: nothing can stop them there.)
    const double moments[] = {0.01, 0.1, 0.19, 1.2};
    int failed = 0;
    monitor.onReplacementFailed = [&](UnwrittenField) { ++failed; };
    for (const auto& route : kRoutes) {
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

struct OtherProgramCase {
    const char* why;
    Route route;
    double typedAt;  // seconds after Apply
    std::string text;
    Utf16Range caret;
    std::optional<UnwrittenField> unwritten;
    // Chromium's caret may not be set while our write is under way.
    bool caretWhileWriting = true;
};

TEST_F(ReplacementKeyboardHoldTest, KeysOfAnotherProgramPassTheHoldAndLandWhereTheUserWas) {
    // The user's keyboard is held, but keys through the server's XTest
    // device are not: they must find the caret where the user had it, never
    // our selection of the original, and the user is told what the field
    // holds when the correction could not go in.
    // (Quirks of a route stay for the rows after it.)
    const OtherProgramCase cases[] = {
        {"after a selected-text write",
         kRoutes[1],
         0.15,
         kCorrected + "続き",
         {12, 0},
         std::nullopt},
        {"before the paste",
         kRoutes[2],
         0.15,
         kTyped + "続き",
         {12, 0},
         UnwrittenField::changedElsewhere},
        {"right after Apply",
         kRoutes[2],
         0.01,
         kTyped + "続き",
         {12, 0},
         UnwrittenField::changedElsewhere},
        {"after the paste showed", kRoutes[2], 0.4, kCorrected + "続き", {12, 0}, std::nullopt},
        {"over the selection Chromium keeps under the hold",
         kRoutes[2],
         0.15,
         "東京続き住んでいます。",
         {4, 0},
         UnwrittenField::sentenceReplaced,
         false},
    };
    std::vector<UnwrittenField> unwritten;
    monitor.onReplacementFailed = [&](UnwrittenField field) { unwritten.push_back(field); };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.why) + ", " + c.route.name);
        unwritten.clear();
        desk.log().clear();
        follow(c.route);
        desk.setWriteRouteTrust(field, {.caretWhileWriting = c.caretWhileWriting});
        monitor.applyReplacement(de());
        desk.clock().after(c.typedAt, [this] { desk.typeTextFromAnotherProgram("続き"); });
        advance(3.0);
        EXPECT_EQ(desk.text(field), c.text);
        EXPECT_EQ(desk.selection(field), c.caret);
        EXPECT_EQ(unwritten,
                  c.unwritten ? std::vector{*c.unwritten} : std::vector<UnwrittenField>{});
        EXPECT_EQ(logged("retrying with"), 0u);
        EXPECT_FALSE(keyboard().holding());
        EXPECT_EQ(pasteboardString(desk.pasteboard()), "ユーザーの内容");
        monitor.stop();
        desk.setInputQuirk(field, {});
    }
}

TEST_F(ReplacementKeyboardHoldTest, KeysOfAnotherProgramAtEveryMomentAfterApplyLandAtTheEnd) {
    // Every 0.05 s from Apply to 0.6 s, through the paste (at 0.2 s, or
    // fetched late at 0.5 s) and until the caret is back: before our paste
    // keystroke the keys make the field another text and nothing is
    // written; from the keystroke on they wait with the user's held keys.
    // Never in the middle of the sentence.
    std::vector<UnwrittenField> unwritten;
    monitor.onReplacementFailed = [&](UnwrittenField field) { unwritten.push_back(field); };
    for (const auto& route : {kRoutes[2], kRoutes[3]}) {
        for (int step = 0; step <= 12; ++step) {
            const double at = 0.05 * step;
            SCOPED_TRACE(std::string(route.name) + ", typed " + std::to_string(at) +
                         " s after Apply");
            unwritten.clear();
            follow(route);
            monitor.applyReplacement(de());
            desk.clock().after(at, [this] { desk.typeTextFromAnotherProgram("続き"); });
            advance(3.0);
            const std::string now = desk.text(field);
            EXPECT_TRUE(now == kCorrected + "続き" || (at < 0.2 && now == kTyped + "続き")) << now;
            EXPECT_EQ(desk.selection(field), (Utf16Range{12, 0}));
            EXPECT_EQ(unwritten, now == kTyped + "続き"
                                     ? std::vector{UnwrittenField::changedElsewhere}
                                     : std::vector<UnwrittenField>{});
            EXPECT_FALSE(keyboard().holding());
            monitor.stop();
            desk.setInputQuirk(field, {});
        }
    }
}

struct ModifierCase {
    const char* why;
    double downAt;  // seconds after Apply (0: down as Apply is clicked)
    double upAt;
    bool written;
};

TEST_F(ReplacementKeyboardHoldTest, APasteIsNeverSentWithAModifierTheUserHolds) {
    // Shift (or Alt, Super, AltGr, Ctrl) down as the paste is due would
    // make it another shortcut and leave our selection for the next key:
    // the paste waits for it to come up, else nothing is sent, nothing of
    // ours stays selected, and the user is told why.
    const ModifierCase cases[] = {
        {"Shift down at Apply, up at 0.3 s", 0, 0.3, true},
        {"Shift down at Apply, up at 1.8 s", 0, 1.8, true},
        {"Shift held at Apply past the wait", 0, 2.8, false},
        {"Shift of another program as the paste is due", 0.1, 2.0, false},
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

TEST_F(ReplacementKeyboardHoldTest, AKeyDownAtApplyIsLetComeUpBeforeAnythingIsWritten) {
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

TEST_F(ReplacementKeyboardHoldTest, TheHoldNeverOutlastsItsLimit) {
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
