// Corrections written into a document of blocks (a browser's rich text,
// an e-mail being composed): wherever the correction goes, the caret ends
// where the user left it, in that line, however many corrections are
// applied in a row.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "browser_scene.hpp"
#include "platform/ax_reads.hpp"

namespace mivo {
namespace {

class DocumentApplyTest : public BrowserScene {};

TEST_F(DocumentApplyTest, ApplyIntoTheDocumentsOwnTextKeepsTheCaretInTheLineTheUserIsIn) {
    // The error in Chromium's first line (the document's own text), the
    // caret at the end of the line below: the write puts the document's
    // caret back on that line's object, which Chromium takes for the
    // start of the line.
    for (const bool caretMovedByTheBrowser : {false, true}) {
        SCOPED_TRACE(caretMovedByTheBrowser ? "the browser took the caret to the line's start"
                                            : "the caret left alone");
        openRichText();
        const std::string below = "本を読んだ。";
        const auto block = desk.addTextField(rich, below);
        desk.setText(rich, "宿題をを終えた。\uFFFC");
        desk.select(rich, Utf16Range{0, 0});
        advance(1.1);
        ASSERT_FALSE(candidates.empty());
        const uint64_t firstLine = candidates.back().block;
        ASSERT_EQ(candidates.back().text, "宿題をを終えた。");
        desk.moveCaretIntoBlock(rich, block);
        desk.select(block, Utf16Range{text::utf16Length(below), 0});
        advance(1.1);
        ASSERT_EQ(monitor.observedElement(), desk.element(block));
        CorrectionIssue issue;
        issue.id = "first-line";
        issue.range = TextRange{2, 4};
        issue.original = "をを";
        issue.suggestion = "を";
        monitor.applyReplacement(issue, firstLine);
        if (caretMovedByTheBrowser) {
            advance(0.05);
            desk.moveCaretIntoBlock(rich, block);
            desk.select(block, Utf16Range{0, 0});
        }
        advance(4);
        EXPECT_EQ(desk.text(rich), "宿題を終えた。\uFFFC");
        EXPECT_EQ(monitor.observedElement(), desk.element(block));
        EXPECT_EQ(desk.selection(block), (Utf16Range{text::utf16Length(below), 0}));
        closeBrowser();
    }
}

TEST_F(DocumentApplyTest, CorrectionsAboveTheCaretOneAfterAnotherPutItBackInTheUsersLine) {
    // Five lines, the caret at the end of the last, corrections applied
    // above it one after another. The browser tells nothing of the caret
    // Mivo puts back into the user's line: the second write took its caret
    // from the line the first wrote, and left it where it wrote. Keys the
    // user types while a write goes in are held, and went in after the
    // correction.
    const std::vector<std::string> lines = {"今日は晴れです。", "東京で住んでいます。",
                                            "大阪で住んでいます。", "京都で住んでいます。",
                                            "本を読みました。"};
    struct Case {
        const char* why;
        std::vector<std::size_t> applied;  // lines, in the order applied
        bool browserTellsCaretSet;
        bool typesDuringEachWrite = false;
        // "a" typed this long after each Apply and "b" 0.05 s after it,
        // whether the hold is still on or over by then (never when
        // negative).
        double typesAt = -1;
    };
    const Case cases[] = {
        {"lines 2 then 3", {1, 2}, false},
        {"lines 3 then 2", {2, 1}, false},
        {"lines 2, 3, then 4", {1, 2, 3}, false},
        {"lines 4, 2, then 3", {3, 1, 2}, false},
        {"lines 2 then 3, the browser tells of the caret", {1, 2}, true},
        {"lines 2 then 3, keys typed during each write", {1, 2}, false, true},
        {"lines 3 then 2, keys typed during each write, the browser tells", {2, 1}, true, true},
        // Typed as soon as the write is over, before its check: the caret
        // the user had at Apply is never set back over them.
        {"lines 2 then 3, keys typed right after each write", {1, 2}, false, false, 0.8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        openRichText();
        desk.setTellsCaretSetIntoBlock(c.browserTellsCaretSet);
        std::vector<sim::SimId> blocks;
        std::string objects;
        for (const auto& line : lines) {
            blocks.push_back(desk.addTextField(rich, line));
            desk.setWriteRouteTrust(blocks.back(), {.wholeValue = false, .range = true});
            objects += "\uFFFC";
        }
        desk.setText(rich, objects);
        advance(1.1);
        candidates.clear();
        for (const auto block : blocks) {
            desk.moveCaretIntoBlock(rich, block);
            advance(1.1);
        }
        const sim::SimId last = blocks.back();
        const Utf16Range end{text::utf16Length(lines.back()), 0};
        desk.select(last, end);
        advance(1.1);
        ASSERT_EQ(monitor.observedElement(), desk.element(last));
        std::vector<std::string> expected = lines;
        for (const std::size_t line : c.applied) {
            const auto check =
                std::ranges::find(candidates, lines[line], &CompletedSentenceCandidate::text);
            ASSERT_NE(check, candidates.end()) << lines[line];
            CorrectionIssue issue;
            issue.id = "line-" + std::to_string(line);
            issue.range = TextRange{2, 3};
            issue.original = "で";
            issue.suggestion = "に";
            monitor.holdKeysForApply();
            monitor.applyReplacement(issue, check->block);
            if (c.typesDuringEachWrite) {
                advance(0.1);
                desk.typeText("ab");
            }
            if (c.typesAt >= 0) {
                desk.clock().after(c.typesAt, [this] { desk.typeText("a"); });
                desk.clock().after(c.typesAt + 0.05, [this] { desk.typeText("b"); });
            }
            advance(4);
            expected[line].replace(expected[line].find("で"), std::string("で").size(), "に");
            EXPECT_EQ(desk.text(blocks[line]), expected[line]);
        }
        // The user's next keys go where the caret is: at the end of the
        // last line.
        desk.typeText("xy");
        std::string typed;
        for (std::size_t i = 0; (c.typesDuringEachWrite || c.typesAt >= 0) && i < c.applied.size();
             ++i)
            typed += "ab";
        EXPECT_EQ(desk.text(last), lines.back() + typed + "xy");
        EXPECT_EQ(monitor.observedElement(), desk.element(last));
        closeBrowser();
    }
}

TEST_F(DocumentApplyTest, ApplyIntoTheLineBeforeASignatureKeepsTheCaretAtItsEnd) {
    // A sentence written after a signature's separator "-- ", straight in
    // the document's own text, the signature's block after it. Firefox
    // takes a caret set at the end of that line for the start of the
    // signature, where the next keys went.
    for (const bool entersBlock : {true, false}) {
        SCOPED_TRACE(entersBlock ? "a caret at the block's object enters the block"
                                 : "a caret at the block's object stays before it");
        openRichText();
        desk.setCaretAtObjectEntersBlock(entersBlock);
        desk.setWriteRouteTrust(rich, {.wholeValue = false, .range = true});
        desk.addTextField(rich, "田中様");
        const auto signature = desk.addTextField(rich, "田中太郎");
        const std::string line = "-- 大阪で住んでいます。";
        desk.setText(rich, "\uFFFC" + line + "\uFFFC");
        const Utf16Range end{1 + text::utf16Length(line), 0};
        desk.select(rich, end);
        advance(1.1);
        ASSERT_FALSE(candidates.empty());
        ASSERT_EQ(candidates.back().text, line);
        CorrectionIssue issue;
        issue.id = "before-signature";
        issue.range = TextRange{5, 6};
        issue.original = "で";
        issue.suggestion = "に";
        monitor.holdKeysForApply();
        monitor.applyReplacement(issue, candidates.back().block);
        advance(4);
        EXPECT_EQ(desk.text(rich), "\uFFFC-- 大阪に住んでいます。\uFFFC");
        EXPECT_NE(readElement(desk.ports().accessibility, desk.element(browser),
                              kAXFocusedUIElementAttribute),
                  desk.element(signature));
        EXPECT_EQ(desk.selection(rich), end);
        desk.setCaretAtObjectEntersBlock(false);
        closeBrowser();
    }
}

}  // namespace
}  // namespace mivo
