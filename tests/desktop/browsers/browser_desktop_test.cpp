// The same behaviours against Firefox ESR and Chromium showing a local page
// with a <textarea> to read, one to correct, an <input> whose paste is
// handled late, a contenteditable with a link, and a password. Each browser
// starts once for this process (they start slowly) with a fresh profile,
// and every behaviour works in its own field of the one page.

#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <set>
#include <vector>

#include "apps/desktop_apps.hpp"
#include "browsers/shared_browser_test.hpp"
#include "correction/local_correction_service.hpp"
#include "correction_display/correction_display_adapters.hpp"
#include "correction_display/correction_display_controller.hpp"
#include "field/ax_geometry.hpp"
#include "field/ax_text_extractor.hpp"
#include "field/pasteboard_guard.hpp"
#include "field/synthetic_input.hpp"
#include "monitor/accessibility_monitor.hpp"
#include "monitor_test_access.hpp"
#include "outside_bmp_text.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "settings/mivo_settings_store.hpp"
#include "user_keyboard.hpp"
#include "write_back.hpp"

namespace mivo::desktop_test {
namespace {

const std::string kObject = "\uFFFC";

// What the highlight windows were last asked to show: the boxes of the
// display controller, without drawing them.
class ShownHighlights : public HighlightDisplay {
  public:
    void show(const std::vector<HighlightAnnotation>& annotations) override { shown = annotations; }
    void hide() override { shown.clear(); }
    void hide(const std::set<std::string>& issueIDs) override {
        std::erase_if(shown, [&](const HighlightAnnotation& a) {
            return a.issue && issueIDs.contains(a.issue->id);
        });
    }
    std::vector<HighlightAnnotation> shown;
};

class NoPanel : public CorrectionPanelDisplay {
  public:
    void show(const std::vector<CorrectionIssue>&, std::optional<Rect>) override {}
    void hide() override {}
    void showNotice(const std::string&, std::optional<Rect>) override {}
};

class BrowserDesktopTest : public SharedBrowserTest {
  protected:
    void setUpWithSession() override {
        ASSERT_NO_FATAL_FAILURE(openBrowser(MIVO_BROWSER_PAGE, "read"));
        ASSERT_NO_FATAL_FAILURE(waitUntilKeysArrive());
    }

    // A browser that has just shown its page may not yet take keys (Firefox
    // drops the first ones): keys typed into a spare field show it does.
    void waitUntilKeysArrive() {
        if (browser_->takesKeys)
            return;
        const AXElement warm = focus("warm");
        int attempt = 0;
        browser_->takesKeys = waitUntil(
            [&] {
                if (value(warm).value_or("").find('k') != std::string::npos)
                    return true;
                if (attempt++ % 100 == 0)
                    typeText("k");
                return false;
            },
            30);
        ASSERT_TRUE(browser_->takesKeys) << browserName(GetParam()) << " takes no keys";
    }

    // The page's field labelled `label`.
    // Focuses the field, as a click would, and waits until the browser
    // says so.
    AXElement focus(std::string_view label) {
        auto f = field(label);
        EXPECT_TRUE(f.has_value()) << label;
        if (!f)
            return AXElement();
        EXPECT_EQ(ax().setAttributeValue(*f, kAXFocusedAttribute, AXValue(true)), AXError::success);
        EXPECT_TRUE(waitUntil(
            [&] {
                const auto focused = AXTextExtractor::focusedTextElement(ax(), workspace());
                return focused && *focused == *f;
            },
            10))
            << label;
        return *f;
    }

    // Focuses a rich-text field of several lines, whose followed element
    // is the line with the caret rather than the field itself.
    AXElement focusRich(std::string_view label) {
        auto f = field(label);
        EXPECT_TRUE(f.has_value()) << label;
        if (!f)
            return AXElement();
        EXPECT_EQ(ax().setAttributeValue(*f, kAXFocusedAttribute, AXValue(true)), AXError::success);
        EXPECT_TRUE(
            waitUntil([&] { return readBool(ax(), *f, kAXFocusedAttribute).value_or(false); }, 10))
            << label;
        return *f;
    }

    // Types `lines` into `root` with Return between them. The Characters
    // and the Return go through two connections, and either may overtake
    // the other: each waits for the one before it.
    void typeLines(const AXElement& root, const std::vector<std::string>& lines) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) {
                ASSERT_TRUE(pressChord(*session_, {XK_Return}));
                spinFor(0.3);
            }
            ASSERT_NO_FATAL_FAILURE(typeText(lines[i]));
            ASSERT_TRUE(waitUntil([&] { return holdsLine(root, lines[i]); }, 10))
                << describeRich(root);
        }
    }

    // Whether a line of `root` (or its own text) reads `line`.
    bool holdsLine(const AXElement& root, const std::string& line) {
        if (value(root).value_or("").ends_with(line))
            return true;
        for (const auto& child :
             readElements(ax(), root, kAXChildrenAttribute).value_or(std::vector<AXElement>{})) {
            if (value(child) == line)
                return true;
        }
        return false;
    }

    // The lines of a rich-text field and the log of the monitor, for a
    // failure's message.
    std::string describeRich(const AXElement& root) {
        std::string out = "field \"" + value(root).value_or("?") + "\";";
        for (const auto& child :
             readElements(ax(), root, kAXChildrenAttribute).value_or(std::vector<AXElement>{}))
            out += " [" + readString(ax(), child, kAXRoleDescriptionAttribute).value_or("?") +
                   " \"" + value(child).value_or("?") + "\"]";
        for (const auto& line : session_->log().lines()) {
            if (line.find("observe:") != std::string::npos ||
                line.find("analyze") != std::string::npos ||
                line.find("apply") != std::string::npos)
                out += "\n" + line;
        }
        return out;
    }

    std::optional<Rect> bounds(const AXElement& e, Utf16Range r) {
        auto v = ax().copyParameterizedAttributeValue(e, kAXBoundsForRangeParameterizedAttribute,
                                                      AXValue(r));
        return v ? v->asRect() : std::nullopt;
    }

    // Pastes `lines` joined by line feeds as the user's Ctrl+V would, and
    // waits until the last one shows.
    void pasteLines(const AXElement& root, const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& line : lines)
            text += (text.empty() ? "" : "\n") + line;
        pasteboard().clearContents();
        ASSERT_TRUE(pasteboard().writeItems({stringItem(text)}));
        ASSERT_TRUE(pressChord(*session_, {XK_Control_L, XK_v}));
        ASSERT_TRUE(waitUntil([&] { return holdsLine(root, lines.back()); }, 10))
            << describeRich(root);
    }

    // What is wrong with `shown`, if anything, for boxes over the で of
    // each line of `lines` in `root` and no others: empty when right.
    std::string boxesOnEachDe(const AXElement& root, const std::vector<std::string>& lines,
                              const std::vector<HighlightAnnotation>& shown) {
        std::string wrong;
        if (shown.size() != lines.size())
            wrong += std::to_string(shown.size()) + " boxes; ";
        const auto children =
            readElements(ax(), root, kAXChildrenAttribute).value_or(std::vector<AXElement>{});
        for (const auto& line : lines) {
            const auto element = std::ranges::find_if(
                children, [&](const AXElement& child) { return value(child) == line; });
            if (element == children.end()) {
                wrong += "no line " + line + "; ";
                continue;
            }
            const auto at = text::utf16Length(line.substr(0, line.find("で")));
            const auto glyph = AXTextExtractor::directBoundsForRange(
                ax(), session_->desktop().screens(), {at, 1}, *element);
            if (!glyph || glyph->isZero()) {
                wrong += "no glyph in " + line + "; ";
                continue;
            }
            const bool over = std::ranges::any_of(shown, [&](const HighlightAnnotation& a) {
                return std::abs(a.rect.x - glyph->x) <= 1 && std::abs(a.rect.y - glyph->y) <= 1 &&
                       std::abs(a.rect.width - glyph->width) <= 1;
            });
            if (!over)
                wrong += "no box over the で of " + line + " at " + toString(*glyph) + "; ";
        }
        if (!wrong.empty())
            for (const auto& a : shown)
                wrong += "box " + toString(a.rect) + "; ";
        return wrong;
    }

    // The box the monitor gives for the Character after `before` in the
    // checked `line` stands where the followed element draws that
    // Character's glyph.
    void expectBoxedAfter(AccessibilityMonitor& monitor, const std::string& line,
                          const std::string& before) {
        const auto at = line.find(before);
        ASSERT_NE(at, std::string::npos) << line;
        const text::CharacterText t{line};
        const int64_t error = text::characterCount(line.substr(0, at + before.size()));
        const Utf16Range units{t.utf16Offset(error),
                               t.utf16Offset(error + 1) - t.utf16Offset(error)};
        const auto& followed = monitor.observedElement();
        ASSERT_TRUE(followed.has_value());
        const auto glyph = bounds(*followed, units);
        ASSERT_TRUE(glyph && !glyph->isZero()) << t.slice(error, error + 1);
        const auto box = monitor.boundsForRange(error, 1);
        ASSERT_TRUE(box.has_value()) << t.slice(error, error + 1);
        EXPECT_NEAR(box->x, glyph->x, 1)
            << "box " << toString(*box) << " over " << t.slice(error, error + 1) << " at "
            << toString(*glyph) << ", " << (box->x - glyph->x) / std::max(1.0, glyph->width)
            << " glyphs off";
        EXPECT_NEAR(box->width, glyph->width, 1) << toString(*box) << " " << toString(*glyph);
    }

    // Applies 晴れ → `suggestion` through the monitor's ladder; the text it
    // reports.
    std::optional<std::string> correct(const AXElement& target, TextRange range,
                                       const std::string& suggestion = "雨") {
        AccessibilityMonitor monitor(session_->ports());
        std::optional<std::string> replaced;
        monitor.onReplacementCompleted = [&](const std::string& t) { replaced = t; };
        EXPECT_TRUE(startFollowing(monitor, target, 10));
        CorrectionIssue issue;
        issue.id = "issue-1";
        issue.range = range;
        issue.original = "晴れ";
        issue.suggestion = suggestion;
        monitor.applyReplacement(issue);
        waitUntil([&] { return replaced.has_value(); }, 10);
        monitor.stop();
        if (!replaced) {
            for (const auto& line : session_->log().lines()) {
                if (line.find("applyReplacement") != std::string::npos)
                    ADD_FAILURE() << line;
            }
        }
        return replaced;
    }
};

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
    typeText("よ");
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
        typeText("よ");
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
    waitUntil([&] { return !guard->isHolding(); }, 8);
    EXPECT_TRUE(waitForValue(write, kRained + "abc", 8)) << value(write).value_or("<nothing>");
    printWriteBackLog(session_->log());
    monitor.stop();
}

TEST_P(BrowserDesktopTest, EveryInputDuringTheWriteFollowsIt) {
    std::string why;
    auto keyboard = UserKeyboard::open(why);
    ASSERT_NE(keyboard, nullptr) << why;
    auto pointer = UserPointer::open(why);
    ASSERT_NE(pointer, nullptr) << why;
    // A field of its own for each row: the browser writes no whole value.
    // Every row in a <textarea>; in rich text those around the paste and
    // the clicks.
    for (std::size_t i = 0; i < kDuringTheWrite.size(); ++i) {
        const DuringTheWrite& row = kDuringTheWrite[i];
        SCOPED_TRACE(row.what);
        const AXElement target = focus("during" + std::to_string(i));
        ASSERT_EQ(placeCaret(target, text::utf16Length(kText)), AXError::success);
        ASSERT_NO_FATAL_FAILURE(expectEveryInputFollowsTheWrite(
            session_->ports(), session_->log(), target, {*keyboard, *pointer}, row));
    }
    for (const std::size_t i : {2, 3, 5, 6}) {
        const DuringTheWrite& row = kDuringTheWrite[i];
        SCOPED_TRACE(std::string("rich text, ") + row.what);
        const AXElement target = focus("richduring" + std::to_string(i));
        ASSERT_EQ(placeCaret(target, text::utf16Length(kText)), AXError::success);
        ASSERT_NO_FATAL_FAILURE(expectEveryInputFollowsTheWrite(
            session_->ports(), session_->log(), target, {*keyboard, *pointer}, row));
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

TEST_P(BrowserDesktopTest, RichTextOfSeveralLinesIsFollowedAndCheckedLineByLine) {
    // A rich-text field makes a block per line: its own text is then only
    // objects, and the line the user writes in is the one with the caret.
    struct Row {
        std::string what;
        std::string label;
        std::vector<std::string> typedLines;  // typed with Return between
        std::vector<unsigned long> keys;      // then pressed
        std::string followed;
        int clickedLine = -1;  // clicked at its end, after the keys
        // The box of the Character after this one, the error, stands over
        // that Character's glyph.
        std::string boxedAfter = {};
        // Pasted at once before the keys, the caret left after the last
        // line; every line is checked. Only in that browser, when given.
        std::vector<std::string> pastedLines = {};
        std::optional<BrowserKind> only = {};
        // Lines of the field whose で the display controller boxes, all at
        // once and no other box, for a second on end.
        std::vector<std::string> boxedLines = {};
    };
    const std::vector<Row> rows = {
        {"lines made by Return",
         "typed",
         {"今日は晴れです。", "明日も晴れます。", "東京で住んでいます。"},
         {},
         "東京で住んでいます。"},
        {"Up into the line above", "typed", {}, {XK_Up}, "明日も晴れます。"},
        {"Ctrl+End into the last <p>", "paras", {}, {XK_Control_L, XK_End}, "東京で住んでいます。"},
        {"a click at the end of the second <p>", "paras", {}, {}, "明日も晴れます。", 1},
        {"Ctrl+Home into the first <p>", "paras", {}, {XK_Control_L, XK_Home}, "今日は晴れです。"},
        {"a line holding a link",
         "linked",
         {},
         {XK_Control_L, XK_End},
         "前の" + kObject + "の後は晴れです。"},
        // Runs of text the browser gives objects of their own.
        {"bold before the error, in a field of one line",
         "boldrun",
         {},
         {XK_Control_L, XK_End},
         "今日はとても東京で住んでいます。",
         -1,
         "東京"},
        {"a coloured span before the error",
         "coloured",
         {},
         {XK_Control_L, XK_End},
         "今日は赤い東京で住んでいます。",
         -1,
         "東京"},
        {"a link and bold before the error",
         "linkbold",
         {},
         {XK_Control_L, XK_End},
         kObject + "の後はずっと東京で住んでいます。",
         -1,
         "東京"},
        {"a list bullet",
         "bullet",
         {},
         {XK_Control_L, XK_End},
         "• 東京で住んでいます。",
         -1,
         "東京"},
        {"the line after a Shift+Return",
         "shiftreturn",
         {},
         {XK_Control_L, XK_End},
         "今日は晴れです。\n東京で住んでいます。",
         -1,
         "東京"},
        // Each line left 0.3 s after its 。: both errors are boxed, the
        // line left too.
        {"errors in lines 2 and 4 boxed at once",
         "twolines",
         {"今日は晴れです。", "東京で住んでいます。", "明日も晴れます。", "大阪で住んでいます。"},
         {},
         "大阪で住んでいます。",
         -1,
         {},
         {},
         {},
         {"東京で住んでいます。", "大阪で住んでいます。"}},
        {"both boxes stay after Up into line 3",
         "twolines",
         {},
         {XK_Up},
         "明日も晴れます。",
         -1,
         {},
         {},
         {},
         {"東京で住んでいます。", "大阪で住んでいます。"}},
        // Chromium makes a block of each line pasted: the middle one is
        // neither the caret's nor the one before it.
        {"three lines pasted at once",
         "pasted",
         {},
         {},
         "明日も晴れます。",
         -1,
         {},
         {"今日は晴れです。", "東京で住んでいます。", "明日も晴れます。"},
         BrowserKind::chromium},
    };
    // The monitor and the display controller wired as the application
    // wires them, with the real engine; the highlight windows record.
    AccessibilityMonitor monitor(session_->ports());
    sim::MemoryUserDefaults defaults;
    MivoSettingsStore settings(defaults, scheduler());
    LocalCorrectionService engine;
    LocalCorrectionChecker checker(engine);
    MonitorCorrectionTextField textField(monitor);
    ShownHighlights highlight;
    NoPanel panel;
    CorrectionDisplayController display(scheduler(), checker, textField, highlight, panel,
                                        settings);
    std::vector<std::string> checked;
    monitor.onSentenceCompleted = [&](const CompletedSentenceCandidate& c) {
        checked.push_back(c.text);
        display.showCorrectionIssues(c);
    };
    monitor.onCorrectionContextChanged = [&] { display.clearCorrectionUIForContextChange(); };
    monitor.onCheckSkipped = [&](uint64_t block) { display.handleCheckSkipped(block); };
    monitor.onFieldMayHaveMoved = [&] { display.handleFieldMayHaveMoved(); };
    monitor.start();
    for (const auto& row : rows) {
        if (row.only && row.only != GetParam())
            continue;
        SCOPED_TRACE(row.what);
        session_->log().clear();
        checked.clear();
        const AXElement root = focusRich(row.label);
        ASSERT_NO_FATAL_FAILURE(typeLines(root, row.typedLines));
        if (!row.pastedLines.empty()) {
            ASSERT_NO_FATAL_FAILURE(pasteLines(root, row.pastedLines));
        }
        if (!row.keys.empty()) {
            ASSERT_TRUE(pressChord(*session_, row.keys));
        }
        if (row.clickedLine >= 0) {
            const auto line = readElements(ax(), root, kAXChildrenAttribute)
                                  .value_or(std::vector<AXElement>{})
                                  .at(static_cast<std::size_t>(row.clickedLine));
            const auto last = bounds(line, Utf16Range{text::utf16Length(row.followed) - 1, 1});
            ASSERT_TRUE(last && !last->isZero()) << describeRich(root);
            const Point end{last->maxX() - 1, last->y + last->height / 2};
            ASSERT_TRUE(input().postMouseEvent({MouseEventType::leftMouseDown, end}));
            ASSERT_TRUE(input().postMouseEvent({MouseEventType::leftMouseUp, end}));
        }
        EXPECT_TRUE(waitUntil(
            [&] {
                const auto& followed = monitor.observedElement();
                return followed && value(*followed) == row.followed &&
                       monitor.lastPolledValue().text == row.followed;
            },
            10))
            << describeRich(root);
        EXPECT_TRUE(
            waitUntil([&] { return std::ranges::find(checked, row.followed) != checked.end(); }, 5))
            << "not checked: " << describeRich(root);
        if (!row.boxedAfter.empty())
            expectBoxedAfter(monitor, row.followed, row.boxedAfter);
        // Return came 0.3 s after each 。, within the pause a check waits
        // for: every line left is checked all the same, also a first line
        // left in the field's own text beside the blocks.
        for (std::size_t i = 0; i < row.typedLines.size(); ++i) {
            EXPECT_TRUE(waitUntil(
                [&] { return std::ranges::find(checked, row.typedLines[i]) != checked.end(); }, 5))
                << "a line left was never checked: " << row.typedLines[i] << describeRich(root);
        }
        for (const auto& line : row.pastedLines) {
            EXPECT_TRUE(
                waitUntil([&] { return std::ranges::find(checked, line) != checked.end(); }, 5))
                << "a line pasted was never checked: " << line << describeRich(root);
        }
        if (!row.boxedLines.empty()) {
            const auto boxed = [&] { return boxesOnEachDe(root, row.boxedLines, highlight.shown); };
            EXPECT_TRUE(waitUntil([&] { return boxed().empty(); }, 5))
                << boxed() << describeRich(root);
            // They stay while the text is unchanged.
            EXPECT_FALSE(waitUntil([&] { return !boxed().empty(); }, 1))
                << boxed() << describeRich(root);
        }
    }
    display.clearCorrectionUIForContextChange();
    monitor.stop();
}

TEST_P(BrowserDesktopTest, ACorrectionInTheThirdLineOfRichTextLandsThereAndKeepsTheCaret) {
    AccessibilityMonitor monitor(session_->ports());
    std::optional<std::string> replaced;
    monitor.onReplacementCompleted = [&](const std::string& t) { replaced = t; };
    ASSERT_TRUE(startFollowing(monitor, std::nullopt, 10));
    const AXElement root = focusRich("third");
    ASSERT_NO_FATAL_FAILURE(typeLines(root, {"今日は晴れです。", "明日も晴れます。", kText}));
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto& followed = monitor.observedElement();
            return followed && value(*followed) == kText && monitor.lastPolledValue().text == kText;
        },
        10))
        << describeRich(root);
    const AXElement third = *monitor.observedElement();
    MonitorTestAccess::host(monitor).setLastAnalyzedText(
        FieldText{kText, FieldText::Source::value, 0});
    CorrectionIssue issue = sunnyToRained();
    monitor.applyReplacement(issue);
    EXPECT_TRUE(waitUntil([&] { return replaced.has_value(); }, 10)) << describeRich(root);
    EXPECT_EQ(replaced, kRained);
    EXPECT_TRUE(waitForValue(third, kRained)) << describeRich(root);
    EXPECT_TRUE(holdsLine(root, "今日は晴れです。")) << describeRich(root);
    EXPECT_TRUE(holdsLine(root, "明日も晴れます。")) << describeRich(root);
    // The caret went back to the end of the line: typing goes on there.
    typeText("よ");
    EXPECT_TRUE(waitForValue(third, kRained + "よ")) << describeRich(root);
    monitor.stop();
}

TEST_P(BrowserDesktopTest, ACorrectionInTheFirstLineTypedBeforeAnyReturnKeepsTheCaretThere) {
    // Chromium keeps a first line typed before any Return in the field's
    // own text, beside the block Return made; the write into it moved the
    // caret into that block, and the next key went to the start of line 2.
    AccessibilityMonitor monitor(session_->ports());
    std::vector<CompletedSentenceCandidate> checked;
    monitor.onSentenceCompleted = [&](const CompletedSentenceCandidate& c) {
        checked.push_back(c);
    };
    std::optional<std::string> replaced;
    monitor.onReplacementCompleted = [&](const std::string& t) { replaced = t; };
    ASSERT_TRUE(startFollowing(monitor, std::nullopt, 10));
    const AXElement root = focusRich("first");
    const std::string first = "東京で住んでいます。";
    ASSERT_NO_FATAL_FAILURE(typeLines(root, {first, "今日は晴れです。"}));
    ASSERT_TRUE(pressChord(*session_, {XK_Up}));
    ASSERT_TRUE(pressChord(*session_, {XK_End}));
    const auto found = [&] {
        return std::ranges::find(checked, first, &CompletedSentenceCandidate::text);
    };
    ASSERT_TRUE(waitUntil([&] { return found() != checked.end(); }, 10))
        << "the first line was never checked on its own: " << describeRich(root);
    CorrectionIssue issue;
    issue.id = "first-line";
    issue.range = TextRange{2, 3};
    issue.original = "で";
    issue.suggestion = "に";
    monitor.applyReplacement(issue, found()->block);
    EXPECT_TRUE(waitUntil([&] { return replaced.has_value(); }, 10)) << describeRich(root);
    EXPECT_EQ(replaced, "東京に住んでいます。");
    EXPECT_TRUE(holdsLine(root, "今日は晴れです。")) << describeRich(root);
    spinFor(0.3);
    typeText("よ");
    EXPECT_TRUE(waitUntil(
        [&] {
            return holdsLine(root, "東京に住んでいます。よ") ||
                   [&] { return value(root).value_or("").starts_with("東京に住んでいます。よ"); }();
        },
        10))
        << "the key went elsewhere: " << describeRich(root);
    EXPECT_TRUE(holdsLine(root, "今日は晴れです。")) << describeRich(root);
    monitor.stop();
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
