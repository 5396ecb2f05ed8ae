// Following the focus from one field into another of the same window: the
// browser page's input and contenteditable. Every click is followed, also in
// a browser whose window came to the front before its application was on
// the accessibility bus, and also when a focus change's notification never
// arrived.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "browser_scene.hpp"

namespace mivo {
namespace {

class FocusFollowTest : public BrowserScene {};

TEST_F(FocusFollowTest, EveryClickBetweenTwoFieldsOfABrowserPageIsFollowed) {
    struct Case {
        const char* why;
        double lateBy;  // seconds between the window showing and the bus
    };
    const Case cases[] = {
        {"a browser already on the bus", 0},
        {"a browser that joins the bus after its window showed", 2.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        desk.activateApplication(pid);
        desk.focus(field);
        advance(1.1);
        ASSERT_EQ(monitor.observedElement(), desk.element(field));
        openBrowser(c.lateBy);
        ASSERT_EQ(monitor.observedElement(), desk.element(single));
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            EXPECT_TRUE(clickFollowed(rich));
            EXPECT_TRUE(clickFollowed(single));
        }
        // Said by the activation and the first poll; the polls after it
        // ask again without repeating the line.
        EXPECT_EQ(logged("focusObserver: pid=300 has no application on the accessibility bus yet"),
                  c.lateBy > 0 ? 2u : 0u);
        desk.quitApplication(browserPid);
        desk.log().clear();
    }
}

TEST_F(FocusFollowTest, AFocusChangeWhoseNotificationWasLostIsFoundByTheFocusPoll) {
    struct Case {
        const char* why;
        bool toAField;
        bool followed;
    };
    const Case cases[] = {
        {"another field of the window took the focus", true, true},
        {"a button took it, the window's only other field stays followed", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto other = desk.addWindow(pid, "Other");
        const auto first = desk.addTextField(other, "一つ目の欄です。");
        const auto target = c.toAField ? desk.addTextField(other, "二つ目の欄です。")
                                       : desk.addElement(other, "AXButton");
        desk.focus(first);
        advance(1.1);
        ASSERT_EQ(monitor.observedElement(), desk.element(first));
        const int before = contextChanges;
        desk.focusUnannounced(target);
        advance(1.0);
        EXPECT_EQ(monitor.observedElement(), desk.element(c.followed ? target : first));
        EXPECT_EQ(contextChanges - before, c.followed ? 1 : 0);
        // The polls after it leave the field followed as it is.
        advance(3.0);
        EXPECT_EQ(monitor.observedElement(), desk.element(c.followed ? target : first));
        EXPECT_EQ(contextChanges - before, c.followed ? 1 : 0);
        desk.destroy(other);
        advance(1.1);
    }
}

TEST_F(FocusFollowTest, TheLineWithTheCaretIsFollowedOnceReturnMadeABlockOfEachLine) {
    // The field's own text becomes object characters; the browser then
    // names the line with the caret as the focused field, without telling.
    const std::string line = "東京で住んでいます。";
    struct Case {
        const char* why;
        std::string fieldText;
        bool caretInABlock;
        std::vector<std::string> checked;  // in byte order
        // Return took the field's own line into a block of its own
        // (Firefox), before any read saw it there.
        bool ownLineMoved = false;
    };
    const Case cases[] = {
        {"Return made a block of each line, the caret in the last", "\uFFFC\uFFFC", true, {line}},
        {"Return took the line written into the field into a block",
         "\uFFFC\uFFFC",
         true,
         {"東京で住んでいます。", "編集できる段落です。"},
         true},
        {"Return made a block after the first line",
         "今日は晴れです。\uFFFC",
         true,
         {"今日は晴れです。", line}},
        {"a link inside the field's one line",
         "前の\uFFFCの後は晴れです。",
         false,
         {"前の\uFFFCの後は晴れです。"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        openBrowser(0);
        desk.focus(rich);
        advance(1.1);
        ASSERT_EQ(monitor.observedElement(), desk.element(rich));
        if (c.ownLineMoved)
            desk.addTextField(rich, desk.text(rich));
        const auto block = desk.addTextField(rich, line);
        candidates.clear();
        if (c.caretInABlock)
            desk.setAttribute(browser, "AXFocusedUIElement", AXValue(desk.element(block)));
        desk.setText(rich, c.fieldText);
        advance(1.1);
        EXPECT_EQ(monitor.observedElement(), desk.element(c.caretInABlock ? block : rich));
        // The line with the caret is checked; so is the field's own line
        // beside the block, on its own, never with an object character.
        std::vector<std::string> texts;
        for (const auto& candidate : candidates)
            texts.push_back(candidate.text);
        std::ranges::sort(texts);
        EXPECT_EQ(texts, c.checked);
        closeBrowser();
    }
}

TEST_F(FocusFollowTest, ALineLeftWithinThePauseIsCheckedWhereverTheCaretWent) {
    // Return 0.3 s after 。: the caret is in the next line before the line
    // finished is checked, and the user writes on there.
    const std::string finished = "東京で住んでいます。";
    struct Case {
        const char* why;
        bool back;            // the caret comes back into the line before its check
        bool toAnotherField;  // the caret leaves the document instead
        std::size_t checksOfTheLine;
    };
    const Case cases[] = {
        {"into the next line", false, false, 1},
        {"into the next line and back", true, false, 1},
        {"out of the document into the page's input", false, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        openRichText();
        const auto first = desk.addTextField(rich, "");
        const auto second = desk.addTextField(rich, "");
        desk.setText(rich, "\uFFFC\uFFFC");
        desk.moveCaretIntoBlock(rich, first);
        advance(1.1);
        ASSERT_EQ(monitor.observedElement(), desk.element(first));
        candidates.clear();
        const int contextsBefore = contextChanges;
        desk.setText(first, finished);
        advance(0.3);
        if (c.toAnotherField) {
            desk.removeScriptedAttribute(browser, "AXFocusedUIElement");
            desk.focus(single);
        } else
            desk.moveCaretIntoBlock(rich, second);
        advance(0.1);
        if (c.back)
            desk.moveCaretIntoBlock(rich, first);
        advance(0.1);
        if (!c.back && !c.toAnotherField)
            desk.setText(second, "次の");
        advance(1.5);
        std::size_t checks = 0;
        std::set<uint64_t> blocks;
        for (const auto& candidate : candidates) {
            checks += candidate.text == finished ? 1 : 0;
            blocks.insert(candidate.block);
        }
        EXPECT_EQ(checks, c.checksOfTheLine);
        if (!c.toAnotherField) {
            // Moving between lines is no change of field: nothing shown goes.
            EXPECT_EQ(contextChanges, contextsBefore);
            EXPECT_FALSE(blocks.contains(0)) << "a line is checked as a block of its document";
        }
        closeBrowser();
    }
}

TEST_F(FocusFollowTest, EveryLinePastedAtOnceIsCheckedThoughTheCaretNeverStoodInIt) {
    // Lines pasted at the end of the first: its own text changes and a
    // block is made of each further line, the caret in the last.
    std::vector<std::string> pasted = {"今日は晴れです。", "東京で住んでいます。",
                                       "明日も晴れます。"};
    while (pasted.size() < 80)
        pasted.push_back("行" + std::to_string(pasted.size()) + "は晴れです。");
    struct Case {
        const char* why;
        std::size_t linesPasted;
        // Into a field still empty, followed whole: every block is new.
        bool intoAnEmptyField = false;
        // Into an empty line under a line written and checked before,
        // which Chromium replaces by the first line's block.
        bool underEarlierText = false;
        // Then the caret goes to the first line (Ctrl+Home): the lines
        // farthest from the caret, not checked with the paste, are now in
        // view.
        bool thenToTheFirst = false;
        // What a report reads in the empty field's own text before the
        // blocks show (Chromium under load): the lines go into the blocks.
        std::string shownFirst = {};
    };
    const Case cases[] = {
        {"three lines", 3},
        {"two lines: the Return of a line is no paste", 2},
        {"three lines into an empty field", 3, true},
        {"twenty lines", 20},
        {"thirty lines into an empty field", 30, true},
        {"three lines into an empty field, the first shown first in its own text", 3, true, false,
         false, pasted[0]},
        {"three lines into an empty field, shown first in its own text", 3, true, false, false,
         pasted[0] + "\n" + pasted[1] + "\n" + pasted[2]},
        {"fifteen lines under earlier text", 15, false, true},
        {"eighty lines, then the caret to the first", 80, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        desk.activateApplication(pid);
        advance(1.1);
        openBrowser(0);
        if (c.intoAnEmptyField)
            desk.setText(rich, "");
        desk.focus(rich);
        sim::SimId last = 0;
        sim::SimId firstPasted = 0;
        std::string objects;
        if (c.underEarlierText) {
            const auto earlier = desk.addTextField(rich, "前の行です。");
            desk.setText(rich, "\uFFFC");
            desk.moveCaretIntoBlock(rich, earlier);
            advance(1.1);
        }
        if (c.intoAnEmptyField) {
            advance(1.1);
            ASSERT_EQ(monitor.observedElement(), desk.element(rich));
            candidates.clear();
            if (!c.shownFirst.empty()) {
                desk.setText(rich, c.shownFirst);
                advance(0.1);
            }
            last = desk.addTextField(rich, pasted[0]);
            objects = "\uFFFC";
        } else {
            objects = c.underEarlierText ? "\uFFFC\uFFFC" : "\uFFFC";
            const auto first = desk.addTextField(rich, "");
            desk.setText(rich, objects);
            desk.moveCaretIntoBlock(rich, first);
            advance(1.1);
            ASSERT_EQ(monitor.observedElement(), desk.element(first));
            candidates.clear();
            if (c.underEarlierText) {
                desk.destroy(first);
                last = desk.addTextField(rich, pasted[0]);
            } else {
                desk.setText(first, pasted[0]);
                last = first;
            }
        }
        firstPasted = last;
        for (std::size_t i = 1; i < c.linesPasted; ++i) {
            last = desk.addTextField(rich, pasted[i]);
            objects += "\uFFFC";
        }
        desk.setText(rich, objects);
        // Chromium names the block with the caret without telling.
        if (c.intoAnEmptyField)
            desk.setAttribute(browser, "AXFocusedUIElement", AXValue(desk.element(last)));
        else
            desk.moveCaretIntoBlock(rich, last);
        advance(1.5);
        if (c.thenToTheFirst) {
            desk.moveCaretIntoBlock(rich, firstPasted);
            advance(1.5);
        }
        std::vector<std::string> checked;
        for (const auto& candidate : candidates)
            checked.push_back(candidate.text);
        std::ranges::sort(checked);
        // The line the caret went into is checked again as it is followed.
        if (c.thenToTheFirst)
            checked.erase(std::ranges::unique(checked).begin(), checked.end());
        std::vector<std::string> expected(pasted.begin(),
                                          pasted.begin() + static_cast<long>(c.linesPasted));
        std::ranges::sort(expected);
        EXPECT_EQ(checked, expected);
        closeBrowser();
    }
}

TEST_F(FocusFollowTest, LinesPastedThatReturnLeavesBesideTheBlocksAreCheckedThere) {
    // Firefox pastes lines into its field's own text; Return takes only
    // the last of them into a block, the caret into another, and the lines
    // before stay beside the blocks.
    const std::vector<std::string> pasted = {"東京で住んでいます。", "大阪で住んでいます。",
                                             "京都で住んでいます。"};
    struct Case {
        const char* why;
        double beforeReturn;
    };
    const Case cases[] = {
        {"Return within the pause", 0.3},
        {"Return once the lines were checked", 1.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        desk.activateApplication(pid);
        advance(1.1);
        openBrowser(0);
        desk.setText(rich, "");
        desk.focus(rich);
        advance(1.1);
        desk.setText(rich, pasted[0] + "\n" + pasted[1] + "\n" + pasted[2]);
        advance(c.beforeReturn);
        desk.addTextField(rich, pasted[2]);
        const auto next = desk.addTextField(rich, "");
        desk.setText(rich, pasted[0] + "\n" + pasted[1] + "\n\uFFFC\uFFFC");
        // The change is told before the caret's move into the new block.
        advance(0.05);
        desk.moveCaretIntoBlock(rich, next);
        advance(0.3);
        candidates.clear();
        desk.setText(next, "明日も晴れます。");
        advance(1.5);
        for (const auto& line : pasted) {
            EXPECT_TRUE(std::ranges::any_of(candidates,
                                            [&](const CompletedSentenceCandidate& candidate) {
                                                return candidate.text.contains(line);
                                            }))
                << "never checked after Return: " << line;
        }
        closeBrowser();
    }
}

TEST_F(FocusFollowTest, TheDocumentsOwnTextBesideItsBlocksIsCheckedAsABlockOfItsOwn) {
    // A first line typed before any Return (Chromium), or typed above the
    // paragraphs of a template: the caret in the field's own text, next to
    // the object characters of its blocks.
    const std::string line = "東京で住んでいます。";
    struct Case {
        const char* why;
        int blocks;
    };
    const Case cases[] = {
        {"beside one block", 1},
        {"a short line beside 200 blocks", 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        openRichText();
        std::string objects;
        for (int b = 0; b < c.blocks; ++b) {
            desk.addTextField(rich, "段落です。");
            objects += "\uFFFC";
        }
        desk.setText(rich, objects);
        desk.select(rich, Utf16Range{0, 0});
        advance(1.1);
        ASSERT_EQ(monitor.observedElement(), desk.element(rich));
        candidates.clear();
        desk.accessibilityCalls().reset();
        typeSlowly(line, 0.1);
        advance(1.0);
        ASSERT_EQ(desk.text(rich), line + objects);
        // Checked without the blocks' object characters.
        ASSERT_EQ(candidates.size(), 1u);
        EXPECT_EQ(candidates[0].text, line);
        EXPECT_NE(candidates[0].block, 0u);
        // Typing beside the blocks does not look for the focused field on
        // every key: only a new block could have taken the caret.
        EXPECT_LE(desk.accessibilityCalls().count("copyAttributeValue(AXFocusedUIElement)"), 1u)
            << desk.accessibilityCalls().report();
        closeBrowser();
    }
}

TEST_F(FocusFollowTest, TheCaretInTheDocumentsOwnTextIsAMoveBetweenItsBlocks) {
    // Chromium's first line, typed before any Return, is the document's own
    // text beside its blocks: the caret going there and back changes
    // nothing shown, and every line keeps its check.
    const std::string first = "一行目です。";
    const std::string second = "東京で住んでいます。";
    struct Case {
        const char* why;
        enum class Gesture {
            ctrlHome,
            clickAtTheEndOfLine1,
            deleteLine1,
            ctrlHomeBeforeTheCheck
        } gesture;
    };
    const Case cases[] = {
        {"Ctrl+Home", Case::Gesture::ctrlHome},
        {"a click at the end of line 1", Case::Gesture::clickAtTheEndOfLine1},
        {"line 1 deleted", Case::Gesture::deleteLine1},
        {"Ctrl+Home before line 1's check, another line made since",
         Case::Gesture::ctrlHomeBeforeTheCheck},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        openRichText();
        const auto block = desk.addTextField(rich, second);
        desk.setText(rich, first + "\uFFFC");
        desk.moveCaretIntoBlock(rich, block);
        advance(1.1);
        ASSERT_EQ(monitor.observedElement(), desk.element(block));
        ASSERT_FALSE(candidates.empty());
        const uint64_t number = candidates.back().block;
        ASSERT_NE(number, 0u);
        const int contextsBefore = contextChanges;
        candidates.clear();
        const std::string lineOne =
            c.gesture == Case::Gesture::ctrlHomeBeforeTheCheck ? "一行目を直しました。" : first;
        switch (c.gesture) {
            case Case::Gesture::ctrlHome:
                desk.select(rich, Utf16Range{0, 0});
                break;
            case Case::Gesture::ctrlHomeBeforeTheCheck: {
                // Line 1 rewritten, Down into line 2, a Return there made
                // line 3, and Ctrl+Home came back, all within the pause.
                desk.moveCaretIntoBlock(rich, 0);
                advance(1.1);
                candidates.clear();
                // Read whole, as Chromium's line is.
                desk.setTellsTextChanges(false);
                desk.setText(rich, lineOne + "\uFFFC");
                advance(0.2);
                desk.moveCaretIntoBlock(rich, block);
                advance(0.1);
                const auto third = desk.addTextField(rich, "");
                desk.setText(rich, lineOne + "\uFFFC\uFFFC");
                desk.moveCaretIntoBlock(rich, third);
                advance(0.2);
                desk.select(rich, Utf16Range{0, 0});
                break;
            }
            case Case::Gesture::clickAtTheEndOfLine1:
                desk.select(rich, Utf16Range{text::utf16Length(first), 0});
                break;
            case Case::Gesture::deleteLine1:
                desk.setText(rich, "\uFFFC");
                desk.select(rich, Utf16Range{0, 0});
                break;
        }
        desk.moveCaretIntoBlock(rich, 0);
        advance(1.1);
        desk.setTellsTextChanges(true);
        EXPECT_EQ(monitor.observedElement(), desk.element(rich));
        EXPECT_EQ(contextChanges, contextsBefore);
        EXPECT_TRUE(monitor.stillReadsAsAnalyzed(second, text::characterCount(second), number))
            << "the line's check is kept";
        if (c.gesture != Case::Gesture::deleteLine1) {
            EXPECT_TRUE(std::ranges::any_of(candidates, [&](const auto& candidate) {
                return candidate.text == lineOne;
            })) << "line 1 is checked where the caret is";
        }
        // Ctrl+End: back into the line, which is the same block still.
        desk.moveCaretIntoBlock(rich, block);
        advance(1.1);
        EXPECT_EQ(monitor.observedElement(), desk.element(block));
        EXPECT_EQ(contextChanges, contextsBefore);
        EXPECT_TRUE(monitor.stillReadsAsAnalyzed(second, text::characterCount(second), number));
        closeBrowser();
    }
}

TEST_F(FocusFollowTest, EveryLineCheckedIsCheckedAgainOnTheWayBackIntoTheDocument) {
    // The display clears when the user goes elsewhere; coming back, every
    // line that had its check has it again, not only the caret's, and so
    // has a line left within its pause. What a context change cleared is
    // what the display shows no more: only checks after the last one count.
    const std::vector<std::string> lines = {"今日は晴れです。", "東京で住んでいます。",
                                            "明日も晴れます。"};
    struct Case {
        const char* why;
        enum class Away {
            anotherApplication,
            anotherTab,
            anotherWindow,
            anotherDocument,
            glanceShorterThanThePause,
            mivosOwnWindow,
            altTab,
        } away;
        // The last line's check still waits for its pause as the user goes.
        bool lastLinePending = false;
    };
    const Case cases[] = {
        {"another application in front and back", Case::Away::anotherApplication},
        {"Ctrl+T, then Ctrl+W", Case::Away::anotherTab},
        {"Ctrl+N and back", Case::Away::anotherWindow},
        {"a second document's window and back (Writer's Ctrl+N, Ctrl+W)",
         Case::Away::anotherDocument},
        {"back for less than the pause, away again, back", Case::Away::glanceShorterThanThePause},
        {"another application, a line pending", Case::Away::anotherApplication, true},
        {"Mivo's own window and back", Case::Away::mivosOwnWindow},
        {"Mivo's own window, a line pending", Case::Away::mivosOwnWindow, true},
        {"Alt+Tab away and back", Case::Away::altTab},
        {"Alt+Tab away and back, a line pending", Case::Away::altTab, true},
    };
    const Pid ownPid = 900;
    desk.addApplication(ownPid, "Mivo");
    const auto settings = desk.addWindow(ownPid, "Mivo Settings");
    const auto settingsField = desk.addTextField(settings, "");
    monitor.setOwnProcessId(ownPid);
    monitor.onCorrectionContextChanged = [&] {
        ++contextChanges;
        candidates.clear();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        openRichText();
        std::vector<sim::SimId> blocks;
        std::string objects;
        for (const auto& line : lines) {
            blocks.push_back(desk.addTextField(rich, line));
            objects += "\uFFFC";
        }
        desk.setText(rich, objects);
        advance(1.1);
        candidates.clear();
        for (const auto block : blocks) {
            desk.moveCaretIntoBlock(rich, block);
            advance(c.lastLinePending && block == blocks.back() ? 0.1 : 1.1);
        }
        ASSERT_EQ(candidates.size(), lines.size() - (c.lastLinePending ? 1 : 0));
        candidates.clear();
        const int contextsBefore = contextChanges;
        desk.removeScriptedAttribute(browser, "AXFocusedUIElement");
        switch (c.away) {
            case Case::Away::anotherApplication:
                desk.activateApplication(pid);
                advance(1.1);
                desk.activateApplication(browserPid);
                break;
            case Case::Away::anotherTab:
                desk.focus(single);
                advance(1.1);
                break;
            case Case::Away::anotherWindow: {
                const auto other = desk.addWindow(browserPid, "New window");
                desk.focus(desk.addTextField(other, ""));
                advance(1.1);
                break;
            }
            case Case::Away::anotherDocument: {
                const auto other = desk.addWindow(browserPid, "Untitled 2");
                const auto document = desk.addTextField(other, "");
                const auto line = desk.addTextField(document, "別の文書です。");
                desk.setText(document, "\uFFFC");
                desk.focus(document);
                desk.moveCaretIntoBlock(document, line);
                advance(1.1);
                desk.removeScriptedAttribute(browser, "AXFocusedUIElement");
                break;
            }
            case Case::Away::glanceShorterThanThePause:
                desk.activateApplication(pid);
                advance(1.1);
                desk.activateApplication(browserPid);
                desk.focus(rich);
                desk.moveCaretIntoBlock(rich, blocks.back());
                advance(0.5);
                desk.removeScriptedAttribute(browser, "AXFocusedUIElement");
                desk.activateApplication(pid);
                advance(1.1);
                desk.activateApplication(browserPid);
                break;
            case Case::Away::mivosOwnWindow:
                desk.activateApplication(ownPid);
                desk.focus(settingsField);
                advance(1.1);
                desk.activateApplication(browserPid);
                break;
            case Case::Away::altTab:
                desk.activateApplication(pid);
                desk.focus(field);
                advance(1.1);
                // The window manager's cycling takes the focus from the
                // window it passes, whose application tells of it only
                // once the browser is in front, and before the browser's
                // activation is reported: the browser's own focus event
                // comes before anything listens to it.
                desk.clearFocus(pid);
                desk.activateApplication(browserPid);
                break;
        }
        desk.focus(rich);
        desk.moveCaretIntoBlock(rich, blocks.back());
        advance(1.5);
        EXPECT_GT(contextChanges, contextsBefore);
        std::vector<std::string> checked;
        for (const auto& candidate : candidates) {
            if (std::ranges::find(lines, candidate.text) != lines.end())
                checked.push_back(candidate.text);
        }
        std::ranges::sort(checked);
        checked.erase(std::unique(checked.begin(), checked.end()), checked.end());
        std::vector<std::string> expected = lines;
        std::ranges::sort(expected);
        EXPECT_EQ(checked, expected);
        closeBrowser();
    }
}

}  // namespace
}  // namespace mivo
