// The same behaviours against Firefox ESR and Chromium showing a local page
// with a <textarea> to read, one to correct, an <input> whose paste is
// handled late, a contenteditable with a link, and a password. Each browser
// starts once for this process (they start slowly) with a fresh profile,
// and every behaviour works in its own field of the one page.

#include "browsers/browser_desktop_fixture.hpp"

namespace mivo::desktop_test {
namespace {

TEST_P(BrowserDesktopTest, FindsTheFocusedFieldAndReadsRangesAfterCharactersOutsideTheBmp) {
    const AXElement read = focus("read");
    EXPECT_EQ(ax().pid(read), browser_->pid());
    EXPECT_EQ(value(read), kText);
    EXPECT_EQ(readNumber(ax(), read, kAXNumberOfCharactersAttribute), text::utf16Length(kText));
    expectRangesReadAndSelectAfterWideCharacters(ax(), read, 5);

    // Bounds: the browsers answer zeros until the layout is known.
    std::optional<Rect> sunny;
    std::optional<Rect> sun;
    ASSERT_TRUE(waitUntil(
        [&] {
            sunny = bounds(read, kSunny);
            sun = bounds(read, {7, 1});
            return sunny && sun && !sunny->isZero() && !sun->isZero();
        },
        5))
        << "晴れ " << (sunny ? toString(*sunny) : "none") << " 晴 "
        << (sun ? toString(*sun) : "none");
    EXPECT_LT(sun->width, sunny->width * 0.75) << toString(*sun) << " " << toString(*sunny);
    EXPECT_GT(sunny->x, bounds(read, {4, 3}).value_or(Rect{}).x);
    EXPECT_NEAR(sun->x, sunny->x, 1);
    // Firefox gives an autofocused field no frame (-1 sizes) until it is
    // clicked; Mivo then has the text's bounds but no frame to fall back on.
    const auto position = readPoint(ax(), read, kAXPositionAttribute);
    const auto size = readSize(ax(), read, kAXSizeAttribute);
    if (GetParam() == BrowserKind::chromium) {
        EXPECT_TRUE(position && size);
    }
    if (position && size) {
        const Rect frame{position->x, position->y, size->width, size->height};
        EXPECT_GE(sunny->x, frame.x);
        EXPECT_LE(sunny->maxX(), frame.maxX());
        EXPECT_GE(sunny->y, frame.y - 1);
        EXPECT_LE(sunny->maxY(), frame.maxY() + 1);
    }
}

TEST_P(BrowserDesktopTest, WritesNeverClaimWhatTheyDidNotDoAndTheLadderPastes) {
    const AXElement write = focus("write");
    // Gecko's EditableText answers TRUE and changes nothing; Chromium has
    // none: both routes are refused rather than trusted.
    EXPECT_FALSE(ax().isAttributeSettable(write, kAXValueAttribute).value_or(true));
    EXPECT_NE(ax().setAttributeValue(write, kAXValueAttribute, AXValue(kRained)), AXError::success);
    ASSERT_EQ(ax().setAttributeValue(write, kAXSelectedTextRangeAttribute, AXValue(kSunny)),
              AXError::success);
    EXPECT_NE(ax().setAttributeValue(write, kAXSelectedTextAttribute, AXValue("雨")),
              AXError::success);
    EXPECT_EQ(value(write), kText);
    // So the ladder goes on to select and paste, and verifies.
    EXPECT_EQ(correct(write, TextRange{5, 7}), kRained);
    EXPECT_EQ(value(write), kRained);
}

TEST_P(BrowserDesktopTest, AfterAPastedCorrectionTypingGoesOnAtTheEnd) {
    const AXElement write = focus("caret");
    ASSERT_EQ(placeCaret(write, text::utf16Length(kText)), AXError::success);
    EXPECT_EQ(correct(write, TextRange{5, 7}), kRained);
    // The paste left the caret after 雨; it went back to the end.
    EXPECT_TRUE(waitUntil(
        [&] {
            return readRange(ax(), write, kAXSelectedTextRangeAttribute) ==
                   Utf16Range{text::utf16Length(kRained), 0};
        },
        5));
    ASSERT_NO_FATAL_FAILURE(typeKey(write, "よ"));
    EXPECT_TRUE(waitForValue(write, kRained + "よ")) << value(write).value_or("<nothing>");
}

TEST_P(BrowserDesktopTest, ACtrlZSoonAfterApplyIsNeverReversed) {
    // The user takes the pasted correction back 0.3 s after Apply, before
    // Mivo has looked at the field: the original stays.
    const AXElement target = focus("undo");
    ASSERT_EQ(placeCaret(target, text::utf16Length(kText)), AXError::success);
    AccessibilityMonitor monitor(session_->ports());
    ASSERT_TRUE(followAsChecked(monitor, target, 10));
    CorrectionIssue issue = sunnyToRained();
    monitor.applyReplacement(issue);
    // Keys held during the write are not here.
    ASSERT_NO_FATAL_FAILURE(
        expectCtrlZSoonAfterApplyKeepsTheOriginal(ax(), target, session_->log()));
    monitor.stop();
}

TEST_P(BrowserDesktopTest, AfterACorrectionOfTheSameLengthTypingGoesOnAtTheEnd) {
    // 晴れ → 曇り: the caret the paste leaves is where our selection ended,
    // in a textarea and in a contenteditable.
    const std::string clouded = "\U0001F600\U00020BB7今日は曇りです。";
    for (const char* label : {"same", "richcaret"}) {
        SCOPED_TRACE(label);
        const AXElement write = focus(label);
        ASSERT_EQ(placeCaret(write, text::utf16Length(kText)), AXError::success);
        EXPECT_EQ(correct(write, TextRange{5, 7}, "曇り"), clouded);
        EXPECT_TRUE(waitUntil(
            [&] {
                return readRange(ax(), write, kAXSelectedTextRangeAttribute) ==
                       Utf16Range{text::utf16Length(clouded), 0};
            },
            5))
            << toString(readRange(ax(), write, kAXSelectedTextRangeAttribute)
                            .value_or(Utf16Range{-1, -1}));
        ASSERT_NO_FATAL_FAILURE(typeKey(write, "よ"));
        EXPECT_TRUE(waitForValue(write, clouded + "よ")) << value(write).value_or("<nothing>");
    }
}

TEST_P(BrowserDesktopTest, KeysTypedRightAfterApplyLandAtTheEndAndTheCorrectionGoesIn) {
    std::string why;
    auto hands = UserKeyboard::open(why);
    ASSERT_NE(hands, nullptr) << why;
    const AXElement write = focus("hands");
    ASSERT_EQ(placeCaret(write, text::utf16Length(kText)), AXError::success);
    AccessibilityMonitor monitor(session_->ports());
    std::vector<UnwrittenField> told;
    monitor.onReplacementFailed = [&](UnwrittenField f) { told.push_back(f); };
    ASSERT_TRUE(followAsChecked(monitor, write, 10));
    session_->log().clear();
    CorrectionIssue issue = sunnyToRained();
    const auto applied = std::chrono::steady_clock::now();
    monitor.applyReplacement(issue);
    // The user types on 0.2 s after Apply, while the paste is on its way.
    waitUntil(
        [&] {
            return std::chrono::steady_clock::now() - applied >= std::chrono::milliseconds(200);
        },
        2);
    ASSERT_TRUE(hands->type("abc"));
    // A browser waiting for our clipboard answers no call: only our loop
    // turns until the paste is through, as the monitor's own would.
    const auto guard = PasteboardGuard::of(pasteboard());
    waitUntil([&] { return !guard->isHolding(); }, PasteboardGuard::kWithdrawnBound + 4);
    // A browser that has not handled our paste by the hold's bound (under
    // load) gets nothing to paste: the keys then follow the text as it was,
    // and the user is told.
    waitUntil([&] { return value(write) == kRained + "abc" || value(write) == kText + "abc"; }, 8);
    const auto now = value(write).value_or("<nothing>");
    if (now == kText + "abc")
        EXPECT_EQ(told, std::vector{UnwrittenField::asItWas});
    else
        EXPECT_EQ(std::pair(now, told.size()), std::pair(kRained + "abc", std::size_t{0}));
    printWriteBackLog(session_->log());
    monitor.stop();
}

TEST_P(BrowserDesktopTest, EveryInputDuringTheWriteFollowsIt) {
    std::string why;
    auto hands = UserHands::open(why);
    ASSERT_TRUE(hands.has_value()) << why;
    // A field of its own for each row: the browser writes no whole value.
    // Every row in a <textarea>; in rich text those around the paste and
    // the clicks, and a click before the text then keys.
    for (std::size_t i = 0; i < kDuringTheWrite.size(); ++i) {
        const DuringTheWrite& row = kDuringTheWrite[i];
        SCOPED_TRACE(row.what);
        const AXElement target = focus("during" + std::to_string(i));
        ASSERT_EQ(placeCaret(target, text::utf16Length(kText)), AXError::success);
        ASSERT_NO_FATAL_FAILURE(expectEveryInputFollowsTheWrite(
            session_->ports(), session_->log(), target, {*hands->keyboard, *hands->pointer}, row));
    }
    for (const std::size_t i : {2, 3, 5, 6, 8}) {
        const DuringTheWrite& row = kDuringTheWrite[i];
        SCOPED_TRACE(std::string("rich text, ") + row.what);
        const AXElement target = focus("richduring" + std::to_string(i));
        ASSERT_EQ(placeCaret(target, text::utf16Length(kText)), AXError::success);
        ASSERT_NO_FATAL_FAILURE(expectEveryInputFollowsTheWrite(
            session_->ports(), session_->log(), target, {*hands->keyboard, *hands->pointer}, row));
    }
}

TEST_P(BrowserDesktopTest, AStoppedBrowserNeverTakesKeysOverOurSelection) {
    std::string why;
    auto hands = UserKeyboard::open(why);
    ASSERT_NE(hands, nullptr) << why;
    // Every stop in a <textarea>, the longer one in rich text too.
    for (std::size_t i = 0; i < kStops.size(); ++i) {
        for (const std::string kind : {"", "rich"}) {
            if (!kind.empty() && i > 0)
                continue;
            SCOPED_TRACE(kind + kStops[i].what);
            const AXElement target = focus(kind + "stopped" + std::to_string(i));
            ASSERT_EQ(placeCaret(target, text::utf16Length(kText)), AXError::success);
            ASSERT_NO_FATAL_FAILURE(expectAStoppedApplicationNeverTakesKeysOverOurSelection(
                session_->ports(), session_->log(), target, *hands, kStops[i]));
        }
    }
}

TEST_P(BrowserDesktopTest, APasteFetchedLateGetsOurTextAndTheUsersClipboardComesBack) {
    const AXElement paste = focus("paste");
    const Pid pid = browser_->pid();
    SyntheticInput input(session_->ports(), [paste, pid] { return InputTarget{paste, pid, pid}; });
    Pasteboard& pb = pasteboard();
    ASSERT_NO_FATAL_FAILURE(pasteRainedOverTheUsersCopy(input, pb, paste));
    // A browser that asks for our clipboard waits for the answer without
    // answering calls, and gives up within a second: reading it while
    // it waits would cost it the paste. Only our loop turns until the hold
    // ends, as the monitor's own loop would.
    const auto guard = PasteboardGuard::of(pb);
    ASSERT_TRUE(waitUntil([&] { return !guard->isHolding(); }, 8));
    // Firefox may hand out a new accessible for the input while its page is
    // busy; the field is then asked for again by its label.
    const auto pasted = [&] {
        auto read = value(paste);
        if (!read)
            if (const auto again = field("paste"))
                read = value(*again);
        return read;
    };
    EXPECT_TRUE(waitUntil([&] { return pasted() == kRained; }, 8))
        << pasted().value_or("<nothing>") << "\n"
        << [&] {
               std::string lines;
               for (const auto& line : session_->log().lines())
                   lines += line + "\n";
               return lines;
           }();
    EXPECT_TRUE(waitUntil([&] { return pasteboardString(pb) == kUsersCopy; }, 4))
        << pasteboardString(pb).value_or("<nothing>");
}

TEST_P(BrowserDesktopTest, ALinkInAContentEditableSurvivesACorrection) {
    const AXElement rich = focus("rich");
    const auto before = value(rich);
    ASSERT_TRUE(before.has_value());
    // The link is an embedded object in the text.
    ASSERT_EQ(before, "前の" + kObject + "の後は晴れです。");
    // Never written whole: the link would become the character itself.
    EXPECT_NE(ax().setAttributeValue(rich, kAXValueAttribute,
                                     AXValue("前の" + kObject + "の後は雨です。")),
              AXError::success);
    EXPECT_EQ(correct(rich, TextRange{6, 8}), "前の" + kObject + "の後は雨です。");
    EXPECT_TRUE(
        labelledInside(ax(), rich, "リンク").has_value() ||
        readElements(ax(), rich, kAXChildrenAttribute).value_or(std::vector<AXElement>{}).size() ==
            1)
        << "the link is gone";
}

TEST_P(BrowserDesktopTest, APasswordIsNeverRead) {
    const auto secret = field("secret");
    ASSERT_TRUE(secret.has_value());
    EXPECT_EQ(readString(ax(), *secret, kAXSubroleAttribute), kAXSecureTextFieldSubrole);
    EXPECT_FALSE(ax().copyAttributeValue(*secret, kAXValueAttribute));
    EXPECT_FALSE(ax().copyParameterizedAttributeValue(
        *secret, kAXStringForRangeParameterizedAttribute, AXValue(Utf16Range{0, 2})));
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserDesktopTest,
                         ::testing::Values(BrowserKind::firefox, BrowserKind::chromium),
                         [](const auto& info) { return std::string(browserName(info.param)); });

}  // namespace
}  // namespace mivo::desktop_test
