// The same behaviours against our editor of every toolkit: the focused field
// found, text and ranges read with 😀 and 𠮷 before the target (Qt counts
// UTF-16 units, GTK code points), bounds on screen, a replacement written
// by each route the toolkit takes and verified (the caret back where the
// user had it, one undo taking it back), a correction of a text since
// retyped never written elsewhere, a paste whose target fetches the
// clipboard late, and a password that is never read.

#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "desktop_test_support.hpp"
#include "field/pasteboard_guard.hpp"
#include "field/synthetic_input.hpp"
#include "monitor/accessibility_monitor.hpp"
#include "monitor_test_access.hpp"
#include "outside_bmp_text.hpp"
#include "user_keyboard.hpp"
#include "write_back.hpp"

namespace mivo::desktop_test {
namespace {

class ToolkitDesktopTest : public DesktopTest, public ::testing::WithParamInterface<EditorKind> {
  protected:
    std::unique_ptr<TestEditor> start(EditorOptions options = {}) {
        options.kind = GetParam();
        return startEditor(options);
    }

    std::optional<Rect> bounds(const AXElement& e, Utf16Range r) {
        auto v = ax().copyParameterizedAttributeValue(e, kAXBoundsForRangeParameterizedAttribute,
                                                      AXValue(r));
        return v ? v->asRect() : std::nullopt;
    }
};

TEST_P(ToolkitDesktopTest, FindsTheFocusedFieldAndReadsRangesAfterCharactersOutsideTheBmp) {
    auto editor = start({.viewText = kText});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    EXPECT_EQ(readString(ax(), view, kAXRoleAttribute), kAXTextAreaRole);
    EXPECT_EQ(ax().pid(view), editor->pid());
    EXPECT_EQ(value(view), kText);
    EXPECT_EQ(readNumber(ax(), view, kAXNumberOfCharactersAttribute), text::utf16Length(kText));

    expectRangesReadAndSelectAfterWideCharacters(ax(), view, 3);
    // Between the halves of 😀: refused, never rounded.
    EXPECT_FALSE(ax().copyParameterizedAttributeValue(view, kAXStringForRangeParameterizedAttribute,
                                                      AXValue(Utf16Range{1, 2})));
}

TEST_P(ToolkitDesktopTest, BoundsOfRangesLieInTheFieldInTextOrder) {
    auto editor = start({.viewText = kText});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const auto position = readPoint(ax(), view, kAXPositionAttribute);
    const auto size = readSize(ax(), view, kAXSizeAttribute);
    ASSERT_TRUE(position && size);
    const Rect frame{position->x, position->y, size->width, size->height};
    std::optional<Rect> sunny;
    std::optional<Rect> sun;
    std::optional<Rect> today;
    // Some toolkits answer zeros until the text is laid out.
    ASSERT_TRUE(waitUntil(
        [&] {
            sunny = bounds(view, kSunny);
            sun = bounds(view, {7, 1});
            today = bounds(view, {4, 3});
            return sunny && sun && today && !sunny->isZero() && !sun->isZero() && !today->isZero();
        },
        3));
    for (const Rect& r : {*sunny, *sun, *today}) {
        EXPECT_GT(r.width, 0) << toString(r);
        EXPECT_GE(r.x, frame.x) << toString(r);
        EXPECT_GE(r.y, frame.y) << toString(r);
        EXPECT_LE(r.maxX(), frame.maxX()) << toString(r);
        EXPECT_LE(r.maxY(), frame.maxY()) << toString(r);
    }
    EXPECT_GE(sunny->x, today->maxX() - 1);
    // One character is narrower than two (Qt's extents took one more).
    EXPECT_LT(sun->width, sunny->width * 0.75) << toString(*sun) << " " << toString(*sunny);
    EXPECT_NEAR(sun->x, sunny->x, 1);
}

TEST_P(ToolkitDesktopTest, TheSelectedTextRouteReplacesExactlyTheRange) {
    auto editor = start({.viewText = kText});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    ASSERT_EQ(ax().setAttributeValue(view, kAXSelectedTextRangeAttribute, AXValue(kSunny)),
              AXError::success);
    ASSERT_TRUE(
        waitUntil([&] { return readString(ax(), view, kAXSelectedTextAttribute) == "晴れ"; }, 3));
    // A suggestion with a character outside the BMP: its length differs in
    // bytes, units and code points.
    ASSERT_EQ(ax().setAttributeValue(view, kAXSelectedTextAttribute, AXValue("雨\U0001F327")),
              AXError::success);
    const std::string expected = "\U0001F600\U00020BB7今日は雨\U0001F327です。";
    EXPECT_TRUE(waitForValue(view, expected)) << value(view).value_or("<nothing>");
    // The whole-value route, where the text holds no embedded object and
    // the toolkit keeps the undo history (GTK 4 clears it: refused there).
    if (GetParam() == EditorKind::gtk4) {
        EXPECT_FALSE(ax().isAttributeSettable(view, kAXValueAttribute).value_or(true));
        EXPECT_NE(ax().setAttributeValue(view, kAXValueAttribute, AXValue(kRained)),
                  AXError::success);
        EXPECT_EQ(value(view), expected);
        return;
    }
    ASSERT_EQ(ax().setAttributeValue(view, kAXValueAttribute, AXValue(kRained)), AXError::success);
    EXPECT_TRUE(waitForValue(view, kRained)) << value(view).value_or("<nothing>");
}

TEST_P(ToolkitDesktopTest, TheMonitorWritesACorrectionBackAndVerifiesIt) {
    auto editor = start({.viewText = kText});
    ASSERT_NE(editor, nullptr);
    AccessibilityMonitor monitor(session_->ports());
    std::vector<std::string> replaced;
    monitor.onReplacementCompleted = [&](const std::string& t) { replaced.push_back(t); };
    monitor.start();
    ASSERT_TRUE(waitUntil([&] { return monitor.observedElement().has_value(); }));

    CorrectionIssue issue = sunnyToRained();
    monitor.applyReplacement(issue);
    ASSERT_TRUE(waitUntil([&] { return !replaced.empty(); }, 8))
        << value(textView(*editor)).value_or("<nothing>");
    EXPECT_EQ(replaced.back(), kRained);
    EXPECT_EQ(value(textView(*editor)), kRained);
    monitor.stop();
}

TEST_P(ToolkitDesktopTest, AfterApplyTypingGoesOnAtTheEndAndOneUndoGivesBackTheOriginal) {
    auto editor = start({.viewText = kText});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    // With kText checked and the caret at its end, 晴れ → 雨 applied and
    // verified.
    const auto applyCorrection = [&] {
        AccessibilityMonitor monitor(session_->ports());
        std::vector<std::string> replaced;
        monitor.onReplacementCompleted = [&](const std::string& t) { replaced.push_back(t); };
        placeCaret(view, text::utf16Length(kText));
        monitor.start();
        if (!waitUntil([&] { return monitor.observedElement().has_value(); }))
            return false;
        MonitorTestAccess::host(monitor).setLastAnalyzedText(
            FieldText{kText, FieldText::Source::value, 0});
        CorrectionIssue issue = sunnyToRained();
        monitor.applyReplacement(issue);
        const bool verified = waitUntil([&] { return !replaced.empty(); }, 8);
        monitor.stop();
        return verified;
    };

    ASSERT_TRUE(applyCorrection()) << value(view).value_or("<nothing>");
    EXPECT_EQ(value(view), kRained);
    // The caret went back to the end: typing on lands there.
    typeText("よ");
    EXPECT_TRUE(waitForValue(view, kRained + "よ")) << value(view).value_or("<nothing>");

    // GTK 3's plain text view keeps no undo history; GTK 4's and Qt's do.
    if (GetParam() == EditorKind::gtk3)
        return;
    // Back to the original.
    ASSERT_TRUE(replaceWholeText(view, kText));
    ASSERT_TRUE(applyCorrection()) << value(view).value_or("<nothing>");
    // One Ctrl+Z takes back the correction alone: never an emptied field.
    ASSERT_EQ(std::system("xdotool key --clearmodifiers ctrl+z"), 0);
    EXPECT_TRUE(waitForValue(view, kText, 3)) << value(view).value_or("<nothing>");
}

TEST_P(ToolkitDesktopTest, ACtrlZSoonAfterApplyIsNeverReversed) {
    // The user takes the correction back 0.3 s after Apply, before Mivo has
    // looked at the field: the original stays.
    auto editor = start({.viewText = kText, .undo = true});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    AccessibilityMonitor monitor(session_->ports());
    placeCaret(view, text::utf16Length(kText));
    ASSERT_TRUE(followAsChecked(monitor, std::nullopt, 5));
    CorrectionIssue issue = sunnyToRained();
    monitor.applyReplacement(issue);
    // Keys held during the write are not here.
    ASSERT_NO_FATAL_FAILURE(expectCtrlZSoonAfterApplyKeepsTheOriginal(ax(), view, session_->log()));
    monitor.stop();
}

TEST_P(ToolkitDesktopTest, KeysTypedRightAfterApplyLandAtTheEndAndTheCorrectionGoesIn) {
    // The user types on at once: while our selection of 晴れ stands, while
    // the paste is on its way, and just after it; with a key still down as
    // Apply is pressed; and a Ctrl+Z soon
    // after Apply pressed by an accessibility action, whose click comes a
    // tenth of a second after its press.
    std::string why;
    auto hands = UserKeyboard::open(why);
    ASSERT_NE(hands, nullptr) << why;
    auto editor = start({.viewText = kText});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    for (const Hands& row : kHands) {
        SCOPED_TRACE(row.what);
        // The checked text again, the caret at its end.
        ASSERT_TRUE(replaceWholeText(view, kText));
        placeCaret(view, text::utf16Length(kText));
        // GTK 3's plain text view keeps no undo history.
        ASSERT_NO_FATAL_FAILURE(expectHandsAroundApply(
            session_->ports(), session_->log(), view, *hands, row, GetParam() != EditorKind::gtk3));
    }
}

TEST_P(ToolkitDesktopTest, EveryInputDuringTheWriteFollowsIt) {
    // GTK 3's view stands for mousepad's.
    std::string why;
    auto hands = UserHands::open(why);
    ASSERT_TRUE(hands.has_value()) << why;
    auto editor = start({.viewText = kText});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    for (const DuringTheWrite& row : kDuringTheWrite) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(replaceWholeText(view, kText));
        placeCaret(view, text::utf16Length(kText));
        ASSERT_NO_FATAL_FAILURE(expectEveryInputFollowsTheWrite(
            session_->ports(), session_->log(), view, {*hands->keyboard, *hands->pointer}, row));
    }
}

TEST_P(ToolkitDesktopTest, APasteHandledPastTheClipboardsBoundGoesInOnce) {
    // The editor is busy for 1.6 s after our Ctrl+V before it asks for the
    // clipboard: past the clipboard's own bound, within the hold. The
    // user's keys typed meanwhile follow the correction.
    std::string why;
    auto hands = UserHands::open(why);
    ASSERT_TRUE(hands.has_value()) << why;
    auto editor = start({.viewText = kText, .slowPasteMs = 1600});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    placeCaret(view, text::utf16Length(kText));
    ASSERT_NO_FATAL_FAILURE(expectEveryInputFollowsTheWrite(
        session_->ports(), session_->log(), view, {*hands->keyboard, *hands->pointer},
        kDuringTheWrite.front()));
}

TEST_P(ToolkitDesktopTest, SeveralCorrectionsAtOnceAreOneUndoStep) {
    // GTK 3's plain text view keeps no undo history.
    if (GetParam() == EditorKind::gtk3)
        GTEST_SKIP() << "no undo history to look at";
    const std::string text = kText + "明日は雪です。";
    const std::string corrected = kRained + "明日は曇りです。";
    auto editor = start({.viewText = text});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    AccessibilityMonitor monitor(session_->ports());
    std::vector<std::string> replaced;
    monitor.onReplacementCompleted = [&](const std::string& t) { replaced.push_back(t); };
    ASSERT_TRUE(followAsChecked(monitor, std::nullopt, 5, text));
    CorrectionIssue sunny;
    sunny.id = "issue-1";
    sunny.range = TextRange{5, 7};  // 晴れ, in Characters
    sunny.original = "晴れ";
    sunny.suggestion = "雨";
    CorrectionIssue snow;
    snow.id = "issue-2";
    snow.range = TextRange{13, 14};  // 雪
    snow.original = "雪";
    snow.suggestion = "曇り";
    monitor.applyReplacements({sunny, snow});
    ASSERT_TRUE(waitUntil([&] { return !replaced.empty(); }, 8))
        << value(view).value_or("<nothing>");
    monitor.stop();
    EXPECT_EQ(value(view), corrected);
    // One Ctrl+Z gives back the text as it was: never an emptied field.
    ASSERT_EQ(std::system("xdotool key --clearmodifiers ctrl+z"), 0);
    EXPECT_TRUE(waitForValue(view, text, 3)) << value(view).value_or("<nothing>");
}

TEST_P(ToolkitDesktopTest, ACorrectionOfATextSinceRetypedIsNeverWrittenElsewhere) {
    // 東京で住んでいます。 was checked (で → に at 2); everything was then
    // deleted and a new sentence typed, with で at 10.
    const std::string retyped = "今日は朝から良い天気でしたが午後から雨が降りそう";
    auto editor = start({.viewText = retyped});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    AccessibilityMonitor monitor(session_->ports());
    monitor.start();
    ASSERT_TRUE(waitUntil([&] { return monitor.observedElement().has_value(); }));
    MonitorTestAccess::host(monitor).setLastAnalyzedText(
        FieldText{"東京で住んでいます。", FieldText::Source::value, 0});
    CorrectionIssue issue;
    issue.id = "issue-1";
    issue.range = TextRange{2, 3};
    issue.original = "で";
    issue.suggestion = "に";
    monitor.applyReplacement(issue);
    EXPECT_FALSE(waitUntil([&] { return value(view) != retyped; }, 2))
        << value(view).value_or("<nothing>");
    EXPECT_TRUE(session_->log().contains(
        "applyReplacement: refused — the original no longer stands where it was checked"));
    monitor.stop();
}

TEST_P(ToolkitDesktopTest, APasteFetchedLateGetsOurTextAndTheUsersClipboardComesBack) {
    // The editor is busy for 0.9 s after Ctrl+V before it asks for the
    // clipboard: longer than a fixed restore would wait.
    auto editor = start({.viewText = kText, .slowPasteMs = 900});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const Pid pid = editor->pid();
    SyntheticInput input(session_->ports(), [view, pid] { return InputTarget{view, pid, pid}; });
    Pasteboard& pb = pasteboard();
    ASSERT_NO_FATAL_FAILURE(pasteRainedOverTheUsersCopy(input, pb, view));
    // Reading the editor while it waits for our clipboard would stall both
    // sides until the call times out: only our loop turns until the hold
    // ends, as the monitor's own loop would.
    const auto guard = PasteboardGuard::of(pb);
    ASSERT_TRUE(waitUntil([&] { return !guard->isHolding(); }, 6));
    EXPECT_TRUE(waitForValue(view, kRained, 2)) << value(view).value_or("<nothing>");
    EXPECT_TRUE(waitUntil([&] { return pasteboardString(pb) == kUsersCopy; }, 3))
        << pasteboardString(pb).value_or("<nothing>");
}

TEST_P(ToolkitDesktopTest, APasswordIsNeverRead) {
    auto editor = start({.viewText = "見える", .password = "秘密のパス"});
    ASSERT_NE(editor, nullptr);
    std::vector<AXElement> secure;
    for (const auto& field : session_->elementsWithRole(editor->pid(), kAXTextFieldRole)) {
        if (readString(ax(), field, kAXSubroleAttribute) == kAXSecureTextFieldSubrole)
            secure.push_back(field);
    }
    ASSERT_EQ(secure.size(), 1u);
    const AXElement password = secure.front();
    EXPECT_FALSE(ax().copyAttributeValue(password, kAXValueAttribute));
    EXPECT_FALSE(ax().copyAttributeValue(password, kAXSelectedTextAttribute));
    EXPECT_FALSE(ax().copyParameterizedAttributeValue(
        password, kAXStringForRangeParameterizedAttribute, AXValue(Utf16Range{0, 2})));
    EXPECT_NE(ax().setAttributeValue(password, kAXValueAttribute, AXValue("x")), AXError::success);
    EXPECT_FALSE(session_->log().contains("秘密"));
}

INSTANTIATE_TEST_SUITE_P(Editors, ToolkitDesktopTest,
                         ::testing::Values(EditorKind::gtk3, EditorKind::gtk4, EditorKind::qt6),
                         [](const auto& info) { return std::string(editorKindName(info.param)); });

}  // namespace
}  // namespace mivo::desktop_test
