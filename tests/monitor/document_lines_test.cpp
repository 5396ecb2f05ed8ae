// Lines pasted at once into one block, a line feed between each (Firefox's
// rich text, Thunderbird's message body): past 500 Characters the block is
// no longer one text to check, and each of its lines is checked as a text
// of its own, boxed where it stands.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "browser_scene.hpp"

namespace mivo {
namespace {

class DocumentLinesTest : public BrowserScene {};

TEST_F(DocumentLinesTest, EveryLineOfALongPasteIsCheckedAndBoxedWhereItStands) {
    const std::string error = "東京で住んでいます。";
    struct Row {
        const char* what;
        std::size_t lines;
        // Lines (from 1) holding the error.
        std::vector<std::size_t> errorLines;
        // Into a paragraph of the field (a block), else into the field's
        // own text (Firefox before any Return).
        bool intoABlock;
        // The lines checked once the pause passed, the caret at the end.
        std::size_t firstChecked = 1;
        // Then Ctrl+Home: the lines above come into view and are checked.
        bool toTheTop = false;
    };
    const Row rows[] = {
        {"33 lines in the field's own text", 33, {1, 17, 33}, false},
        {"40 lines in a paragraph", 40, {2, 9, 21, 39}, true},
        {"80 lines in the field's own text, then Ctrl+Home",
         80,
         {3, 12, 30, 64, 80},
         false,
         80 - 62 + 1,
         true},
        {"80 lines in a paragraph", 80, {25, 50, 79}, true, 80 - 62 + 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        openRichText();
        desk.setText(rich, "");
        advance(1.1);
        std::vector<std::string> lines;
        std::string pasted;
        for (std::size_t i = 1; i <= row.lines; ++i) {
            const bool wrong = std::ranges::find(row.errorLines, i) != row.errorLines.end();
            lines.push_back(std::to_string(i) + "行目、" +
                            (wrong ? error : "今日もとても晴れです。"));
            pasted += (i > 1 ? "\n" : "") + lines.back();
        }
        ASSERT_GT(text::characterCount(pasted), 500);
        sim::SimId target = rich;
        if (row.intoABlock) {
            target = desk.addTextField(rich, "");
            desk.setText(rich, "\uFFFC");
            desk.moveCaretIntoBlock(rich, target);
            advance(1.1);
        }
        candidates.clear();
        desk.setText(target, pasted);
        desk.select(target, Utf16Range{text::utf16Length(pasted), 0});
        std::set<std::string> checked;
        std::vector<double> errorRows;
        // The boxes of the checks made since `from`, where they stand now.
        const auto measure = [&](std::size_t from) {
            for (std::size_t i = from; i < candidates.size(); ++i) {
                const auto& c = candidates[i];
                checked.insert(c.text);
                if (!c.text.ends_with(error))
                    continue;
                const auto at = text::characterCount(c.text) - text::characterCount(error);
                const auto box = monitor.boundsForRange(at, 2, c.block);
                EXPECT_TRUE(box.has_value()) << c.text;
                errorRows.push_back(box ? box->y : 0);
            }
        };
        advance(1.5);
        measure(0);
        if (row.toTheTop) {
            const std::size_t before = candidates.size();
            desk.select(target, Utf16Range{0, 0});
            advance(1.5);
            measure(before);
        }
        const std::size_t from = row.toTheTop ? 1 : row.firstChecked;
        std::set<std::string> expected(lines.begin() + static_cast<long>(from - 1), lines.end());
        EXPECT_EQ(checked, expected);
        // Each error's box stands on its own line: none at the first line's
        // place, as a range counted from the block's start would.
        std::set<double> distinct(errorRows.begin(), errorRows.end());
        std::size_t errorsShown = 0;
        for (const std::size_t line : row.errorLines)
            errorsShown += line >= from ? 1 : 0;
        EXPECT_EQ(distinct.size(), errorsShown);
        EXPECT_EQ(logged("skipped — longer than"), 0u);
        closeBrowser();
    }
}

TEST_F(DocumentLinesTest, ACorrectionInOneLineOfALongPasteIsWrittenThereOnly) {
    for (const bool intoABlock : {false, true}) {
        SCOPED_TRACE(intoABlock ? "a paragraph" : "the field's own text");
        openRichText();
        std::vector<std::string> lines;
        for (int i = 1; i <= 40; ++i)
            lines.push_back(std::to_string(i) +
                            (i == 20 ? "行目、宿題をを終えた。" : "行目、今日もとても晴れです。"));
        std::string pasted;
        for (const auto& line : lines)
            pasted += (pasted.empty() ? "" : "\n") + line;
        sim::SimId target = rich;
        if (intoABlock) {
            target = desk.addTextField(rich, "");
            desk.setText(rich, "\uFFFC");
            desk.moveCaretIntoBlock(rich, target);
            advance(1.1);
        }
        candidates.clear();
        desk.setText(target, pasted);
        desk.select(target, Utf16Range{text::utf16Length(pasted), 0});
        advance(1.5);
        const auto wrong =
            std::ranges::find(candidates, lines[19], &CompletedSentenceCandidate::text);
        ASSERT_NE(wrong, candidates.end());
        CorrectionIssue issue;
        issue.id = "line-20";
        issue.range = TextRange{7, 9};
        issue.original = "をを";
        issue.suggestion = "を";
        std::optional<std::string> replaced;
        monitor.onReplacementCompleted = [&](const std::string& t) { replaced = t; };
        monitor.applyReplacement(issue, wrong->block);
        advance(4);
        lines[19] = "20行目、宿題を終えた。";
        std::string expected;
        for (const auto& line : lines)
            expected += (expected.empty() ? "" : "\n") + line;
        EXPECT_EQ(desk.text(target), expected);
        // The line written is what its check is of, not the whole text.
        EXPECT_EQ(replaced, lines[19]);
        monitor.onReplacementCompleted = nullptr;
        closeBrowser();
    }
}

TEST_F(DocumentLinesTest, ASingleLineTooLongIsStillNotChecked) {
    openRichText();
    std::string line;
    while (text::characterCount(line) <= 500)
        line += "今日もとても晴れです。";
    candidates.clear();
    desk.setText(rich, line + "\n" + "明日も晴れます。");
    advance(1.5);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].text, "明日も晴れます。");
    EXPECT_EQ(logged("skipped — longer than 500 Characters"), 1u);
    desk.setText(rich, line);
    advance(1.5);
    EXPECT_EQ(candidates.size(), 1u);
    EXPECT_EQ(logged("skipped — longer than 500 Characters"), 2u);
    closeBrowser();
}

}  // namespace
}  // namespace mivo
