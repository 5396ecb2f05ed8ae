#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/sim_input.hpp"
#include "platform/sim/sim_pasteboard.hpp"
#include "tone/tone_paste_applier.hpp"
#include "tone_scene.hpp"

namespace mivo {
namespace {

using Kind = TonePasteApplier::ApplyResult::Kind;

const std::vector<PasteboardItem> kUserContents = {
    PasteboardItem{{{"image/png", "PNG-bytes"}, {std::string(kPasteboardTypeString), "a photo"}}},
};

class PasteApplierTest : public ToneScene {
  protected:
    PasteApplierTest() { desk.pasteboard().userCopies(kUserContents); }

    // Starts the write-back; its outcome lands in `outcomes`.
    void start(std::string_view rewritten, std::string_view original,
               std::optional<sim::SimId> field) {
        TonePasteApplier::apply(
            desk.ports(), rewritten, original, field ? std::optional(el(*field)) : std::nullopt,
            [this](const TonePasteApplier::ApplyResult& r) { outcomes.push_back(r); });
    }
    // The outcome once every delayed step has run (outcomes arrive once).
    TonePasteApplier::ApplyResult apply(std::string_view rewritten, std::string_view original,
                                        std::optional<sim::SimId> field) {
        outcomes.clear();
        start(rewritten, original, field);
        desk.clock().advance(2);
        EXPECT_EQ(outcomes.size(), 1u);
        return outcomes.empty() ? TonePasteApplier::ApplyResult{} : outcomes.back();
    }
    static TonePasteApplier::ApplyResult onClipboard(std::string_view reason) {
        return TonePasteApplier::ApplyResult::copiedToClipboard(std::string(reason));
    }

    void failWrites(sim::SimId field, const std::vector<std::string_view>& attributes) {
        for (auto a : attributes)
            desk.setWriteQuirk(field, std::string(a),
                               sim::WriteQuirk::fail(AXError::cannotComplete));
    }

    int pastes() {
        int n = 0;
        for (const KeyEvent& e : desk.input().keyEvents())
            n += e.keyCode == kKeyCodeV && e.keyDown && (e.flags & kEventFlagCommand) != 0;
        return n;
    }
    bool typed() {
        for (const KeyEvent& e : desk.input().keyEvents()) {
            if (e.keyCode == kKeyCodeUnicodeCarrier && !e.unicodeString.empty())
                return true;
        }
        return false;
    }
    std::optional<std::string> clipboardText() { return pasteboardString(desk.pasteboard()); }
    std::vector<PasteboardItem> board() { return desk.pasteboard().items(); }

    std::vector<TonePasteApplier::ApplyResult> outcomes;
};

struct LadderCase {
    const char* why;
    std::vector<std::string_view> failingWrites;
    bool fragmentBacked;
    Kind kind;
};

TEST_F(PasteApplierTest, TheLadderTakesTheFirstMethodThatWorks) {
    const LadderCase cases[] = {
        {"the whole value", {}, false, Kind::appliedNative},
        {"the selected text when the value is refused",
         {kAXValueAttribute},
         false,
         Kind::appliedSelectedText},
        {"a paste over the selected original when both are refused",
         {kAXValueAttribute, kAXSelectedTextAttribute},
         false,
         Kind::appliedPaste},
        {"a paste after a mouse selection when no range can be selected",
         {kAXValueAttribute, kAXSelectedTextAttribute, kAXSelectedTextRangeAttribute},
         false,
         Kind::appliedPaste},
        {"a fragment-backed editor skips both writes", {}, true, Kind::appliedPaste},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        sim::TextFieldOptions options;
        options.fragmentBacked = c.fragmentBacked;
        // Wide enough Characters that a drag a little inside the ends
        // starts and ends on the original's bounds.
        options.characterWidth = 20;
        const auto field = focusedField("今日は晴れです。明日も晴れです。", 0, options);
        failWrites(field, c.failingWrites);
        desk.input().clearRecordedEvents();

        const auto result = apply("今日は雨です。", "今日は晴れです。", field);
        EXPECT_EQ(result.kind, c.kind);
        // Whichever method: the first sentence, and only it, was rewritten.
        EXPECT_EQ(desk.text(field), "今日は雨です。明日も晴れです。");
        EXPECT_EQ(pastes(), c.kind == Kind::appliedPaste ? 1 : 0);
        EXPECT_EQ(board(), kUserContents);
    }
}

TEST_F(PasteApplierTest, TheWholeValueIsRewrittenAtTheOccurrenceOfTheCaret) {
    const auto field = focusedField("晴れ。晴れ。晴れ。", 6);
    EXPECT_EQ(apply("雨。", "晴れ。", field).kind, Kind::appliedNative);
    EXPECT_EQ(desk.text(field), "晴れ。雨。晴れ。");
}

TEST_F(PasteApplierTest, AnIgnoredValueWriteIsNoSuccessEvenWhenTheRewriteIsAlreadyThere) {
    // The value already holds 晴れ, the rewrite of 晴れです: a read-back that
    // only looks for the rewrite would take the ignored write for done.
    const auto field = focusedField("晴れです。晴れ", 0);
    desk.setWriteQuirk(field, std::string(kAXValueAttribute), sim::WriteQuirk::ignore());
    EXPECT_EQ(apply("晴れ", "晴れです", field).kind, Kind::appliedSelectedText);
    EXPECT_EQ(desk.text(field), "晴れ。晴れ");
}

TEST_F(PasteApplierTest, TheClipboardComesBackAfterAPasteUnlessTheUserCopied) {
    for (bool userCopies : {false, true}) {
        SCOPED_TRACE(userCopies ? "the user copies at 0.5 s" : "nobody copies");
        outcomes.clear();
        desk.pasteboard().userCopies(kUserContents);
        const auto field = focusedField("今日は晴れです。", 0);
        failWrites(field, {kAXValueAttribute, kAXSelectedTextAttribute});
        start("今日は雨です。", "今日は晴れです。", field);
        EXPECT_EQ(clipboardText(), "今日は雨です。");
        desk.clock().advance(0.5);
        const std::vector<PasteboardItem> copy = {stringItem("the user's copy")};
        if (userCopies)
            desk.pasteboard().userCopies(copy);
        desk.clock().advance(0.5);
        EXPECT_EQ(board(), userCopies ? copy : kUserContents);
        EXPECT_EQ(outcomes, (std::vector<TonePasteApplier::ApplyResult>{{Kind::appliedPaste, {}}}));
    }
}

TEST_F(PasteApplierTest, APasteIsReportedOnlyOnceTheFieldShowsIt) {
    const auto field = focusedField("今日は晴れです。", 0);
    failWrites(field, {kAXValueAttribute, kAXSelectedTextAttribute});
    desk.setInputQuirk(field, sim::InputQuirk{.pasteDelaySeconds = 0.3});
    start("今日は雨です。", "今日は晴れです。", field);
    EXPECT_EQ(pastes(), 1);
    desk.clock().advance(0.64);
    EXPECT_TRUE(outcomes.empty()) << "not read back yet";
    desk.clock().advance(0.01);
    EXPECT_EQ(outcomes, (std::vector<TonePasteApplier::ApplyResult>{{Kind::appliedPaste, {}}}));
}

TEST_F(PasteApplierTest, ATargetStillWaitingForOurTextIsNotAskedUntilItHasIt) {
    // Toolkits that fetch the clipboard late answer nothing while they wait
    // for it, and a call meanwhile costs the paste.
    desk.pasteboard().setCountsFetches(true);
    for (const double late : {0.3, 0.9, 1.3}) {
        SCOPED_TRACE(late);
        const auto field = focusedField("今日は晴れです。", 0);
        failWrites(field, {kAXValueAttribute, kAXSelectedTextAttribute});
        desk.setInputQuirk(
            field, sim::InputQuirk{.pasteDelaySeconds = late, .answersNoCallsWhilePasting = true});
        const std::size_t refusedBefore = desk.callsRefusedWhilePasting();
        outcomes.clear();
        start("今日は雨です。", "今日は晴れです。", field);
        desk.clock().advance(3);
        EXPECT_EQ(desk.callsRefusedWhilePasting(), refusedBefore);
        EXPECT_EQ(desk.text(field), "今日は雨です。");
        EXPECT_FALSE(typed());
        EXPECT_EQ(outcomes, (std::vector<TonePasteApplier::ApplyResult>{{Kind::appliedPaste, {}}}));
        EXPECT_EQ(board(), kUserContents);
    }
}

TEST_F(PasteApplierTest, APasteThatDidNotTakeIsTypedOverTheStillSelectedOriginal) {
    const auto field = focusedField("今日は晴れです。", 0);
    failWrites(field, {kAXValueAttribute, kAXSelectedTextAttribute});
    desk.setInputQuirk(field, sim::InputQuirk{.ignoresPaste = true});
    start("今日は雨です。", "今日は晴れです。", field);
    desk.clock().advance(0.6);
    EXPECT_FALSE(typed());
    desk.clock().advance(0.1);
    EXPECT_TRUE(typed());
    EXPECT_EQ(desk.text(field), "今日は雨です。");
    desk.clock().advance(0.25);
    EXPECT_EQ(outcomes, (std::vector<TonePasteApplier::ApplyResult>{{Kind::appliedPaste, {}}}));
    EXPECT_EQ(board(), kUserContents);
}

// Whatever was attempted, a rewrite that never shows in the field is no
// success: it waits on the clipboard, and the outcome says why.
TEST_F(PasteApplierTest, AnAttemptThatNeverShowsLeavesTheRewriteOnTheClipboard) {
    struct Case {
        const char* why;
        sim::InputQuirk quirk;
        std::vector<std::string_view> failingWrites;
        std::string_view reason;
    };
    const Case cases[] = {
        {"paste and typing both ignored",
         {.ignoresPaste = true, .ignoresTyping = true},
         {kAXValueAttribute, kAXSelectedTextAttribute},
         TonePasteApplier::pasteNotShownReason},
        {"after a drag, paste and typing both ignored",
         {.ignoresPaste = true, .ignoresTyping = true},
         {kAXValueAttribute, kAXSelectedTextAttribute, kAXSelectedTextRangeAttribute},
         TonePasteApplier::pasteNotShownReason},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        desk.pasteboard().userCopies(kUserContents);
        sim::TextFieldOptions options;
        options.characterWidth = 20;
        const auto field = focusedField("今日は晴れです。", 0, options);
        failWrites(field, c.failingWrites);
        desk.setInputQuirk(field, c.quirk);
        EXPECT_EQ(apply("今日は雨です。", "今日は晴れです。", field), onClipboard(c.reason));
        EXPECT_EQ(desk.text(field), "今日は晴れです。");
        EXPECT_EQ(clipboardText(), "今日は雨です。");
        desk.clock().advance(30);
        EXPECT_EQ(board(), kUserContents);
    }
}

TEST_F(PasteApplierTest, WithoutTheFieldTheRewriteIsLeftOnTheClipboardFor30Seconds) {
    // Nothing is pasted: it would land wherever the focus is.
    const auto field = focusedField("今日は晴れです。", 0);
    start("今日は雨です。", "今日は晴れです。", std::nullopt);
    EXPECT_EQ(outcomes, (std::vector{onClipboard("AX write + paste both failed")}));
    EXPECT_EQ(pastes(), 0);
    EXPECT_EQ(desk.text(field), "今日は晴れです。");
    desk.clock().advance(29.9);
    EXPECT_EQ(clipboardText(), "今日は雨です。");
    desk.clock().advance(0.1);
    EXPECT_EQ(board(), kUserContents);
}

TEST_F(PasteApplierTest, TheClipboardIsLeftAloneAfter30SecondsWhenTheUserCopied) {
    start("今日は雨です。", "今日は晴れです。", std::nullopt);
    desk.clock().advance(10);
    const std::vector<PasteboardItem> copy = {stringItem("the user's copy")};
    desk.pasteboard().userCopies(copy);
    desk.clock().advance(30);
    EXPECT_EQ(board(), copy);
}

TEST_F(PasteApplierTest, NoMethodAtAllLeavesTheRewriteOnTheClipboard) {
    // Nothing can be written or selected, and the original has no rectangle.
    const auto field = focusedField("今日は晴れです。", 0);
    failWrites(field, {kAXValueAttribute, kAXSelectedTextAttribute, kAXSelectedTextRangeAttribute});
    desk.setParameterizedHook(field, [](std::string_view attribute, const AXValue&) {
        return attribute == kAXBoundsForRangeParameterizedAttribute
                   ? std::optional<AXResult>(std::unexpected(AXError::cannotComplete))
                   : std::nullopt;
    });
    start("今日は雨です。", "今日は晴れです。", field);
    EXPECT_EQ(outcomes, (std::vector{onClipboard("AX write + paste both failed")}));
    EXPECT_EQ(clipboardText(), "今日は雨です。");
    EXPECT_TRUE(desk.input().mouseEvents().empty());
}

TEST_F(PasteApplierTest, AStaleRectangleSelectsSomethingElseAndNothingIsPasted) {
    sim::TextFieldOptions options;
    options.characterWidth = 20;
    const auto field = focusedField("今日は晴れです。", 0, options);
    failWrites(field, {kAXValueAttribute, kAXSelectedTextAttribute, kAXSelectedTextRangeAttribute});
    start("今日は雨です。", "今日は晴れです。", field);
    EXPECT_TRUE(outcomes.empty());
    // Before the drag, the application puts other text where the original was.
    desk.setText(field, "さようなら。また明日。");
    desk.clock().advance(2);
    EXPECT_FALSE(desk.input().mouseEvents().empty());
    EXPECT_EQ(pastes(), 0);
    EXPECT_FALSE(typed());
    EXPECT_EQ(desk.text(field), "さようなら。また明日。");
    // The rewrite waits on the clipboard for the user, and the outcome says
    // so instead of claiming a paste.
    EXPECT_EQ(clipboardText(), "今日は雨です。");
    EXPECT_EQ(outcomes, (std::vector{onClipboard(TonePasteApplier::dragMissedReason)}));
}

TEST_F(PasteApplierTest, APasteWaitsForTheApplicationToComeToTheFront) {
    const auto field = focusedField("今日は晴れです。", 0);
    failWrites(field, {kAXValueAttribute, kAXSelectedTextAttribute});
    const Pid other = 200;
    desk.addApplication(other, "Other");
    desk.activateApplication(other);
    start("今日は雨です。", "今日は晴れです。", field);
    EXPECT_EQ(desk.frontmostPid(), pid);
    EXPECT_EQ(pastes(), 0);
    desk.clock().advance(0.2);
    EXPECT_EQ(pastes(), 1);
    EXPECT_EQ(desk.text(field), "今日は雨です。");
    EXPECT_TRUE(outcomes.empty());
    desk.clock().advance(0.65);
    EXPECT_EQ(outcomes, (std::vector<TonePasteApplier::ApplyResult>{{Kind::appliedPaste, {}}}));
}

TEST_F(PasteApplierTest, AWaitingPasteThatCannotGoAheadLeavesTheRewriteOnTheClipboard) {
    struct Case {
        const char* why;
        std::function<void(sim::SimId field, Pid other)> meanwhile;
        std::string_view reason;
    };
    const Case cases[] = {
        {"another application takes the front",
         [this](sim::SimId, Pid other) { desk.activateApplication(other); },
         TonePasteApplier::hostNotInFrontReason},
        {"the user clicks at the end",
         [this](sim::SimId field, Pid) {
             desk.select(field, Utf16Range{8, 0});
         },
         TonePasteApplier::selectionMovedReason},
    };
    const Pid other = 200;
    desk.addApplication(other, "Other");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        outcomes.clear();
        desk.pasteboard().userCopies(kUserContents);
        const auto field = focusedField("今日は晴れです。", 0);
        failWrites(field, {kAXValueAttribute, kAXSelectedTextAttribute});
        desk.activateApplication(other);
        start("今日は雨です。", "今日は晴れです。", field);
        c.meanwhile(field, other);
        desk.clock().advance(1);
        EXPECT_EQ(pastes(), 0);
        EXPECT_EQ(desk.text(field), "今日は晴れです。");
        EXPECT_EQ(clipboardText(), "今日は雨です。");
        EXPECT_EQ(outcomes, (std::vector{onClipboard(c.reason)}));
        desk.clock().advance(30);
        EXPECT_EQ(board(), kUserContents);
        desk.activateApplication(pid);
    }
}

}  // namespace
}  // namespace mivo
