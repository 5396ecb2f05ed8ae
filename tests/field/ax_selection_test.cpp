#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "field/ax_text_extractor.hpp"
#include "sim_scene.hpp"

namespace mivo {
namespace {

using namespace AXTextExtractor;

struct CutCase {
    const char* why;
    std::string text;
    Utf16Range range;
    std::optional<std::string> expected;
};

TEST(SelectedTextCutTest, CutsTheRangeAndTakesAFollowingSentenceEnd) {
    const CutCase cases[] = {
        {"a following 。 is added", "今日は晴れ。明日", {3, 2}, "晴れ。"},
        {"no sentence end follows", "今日は晴れ。明日", {0, 2}, "今日"},
        {"already ends in ！", "すごい！。", {0, 4}, "すごい！"},
        {"an empty selection before 。", "晴れ。", {2, 0}, "。"},
        {"ASCII ? follows", "really?", {0, 6}, "really?"},
        {"selection at the very start", "。あ", {0, 1}, "。"},
        {"selection up to the end", "今日は晴れ", {3, 2}, "晴れ"},
        {"UTF-16 offsets past an emoji", "😀晴れ。", {2, 2}, "晴れ。"},
        {"through a surrogate pair", "😀晴れ", {1, 2}, std::nullopt},
        {"past the end", "晴れ", {1, 5}, std::nullopt},
        {"negative location", "晴れ", {-1, 1}, std::nullopt},
        {"blank part", "a  b", {1, 2}, std::nullopt},
        {"kept untrimmed", " 晴れ \n", {0, 5}, " 晴れ \n"},
        {"empty text", "", {0, 0}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(selectedText(c.text, c.range), c.expected);
    }
}

struct RankCase {
    const char* why;
    std::vector<std::string> candidates;
    std::optional<std::string> best;
};

TEST(BestSelectedTextCandidateTest, Ranking) {
    const RankCase cases[] = {
        {"the one with a final 。 wins", {"晴れ", "晴れ。"}, "晴れ。"},
        {"more sentence ends beat length",
         {"とても長い一つの文ですけれども", "短い。文。"},
         "短い。文。"},
        {"two lines beat a longer single line",
         {"とても長い一行の文です。", "一行目。\n二行目"},
         "一行目。\n二行目"},
        {"blank lines do not count", {"一行目と二行目。", "\n\n一行。\n\n"}, "一行目と二行目。"},
        {"longer wins at equal ends and lines", {"晴れ", "晴れた日"}, "晴れた日"},
        {"the earlier wins at equal length", {"晴れ", "曇り"}, "晴れ"},
        {"a later shorter one loses", {"晴れた日", "晴れ"}, "晴れた日"},
        {"candidates are trimmed", {"  ", " 晴れ \n"}, "晴れ"},
        {"lengths are in Characters", {"ab", "が\u3099"}, "ab"},
        {"nothing left", {" ", "\n"}, std::nullopt},
        {"no candidates", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(bestSelectedTextCandidate(c.candidates), c.best);
    }
}

class SelectionTest : public SimScene {};

TEST_F(SelectionTest, AFollowingSentenceEndIsTakenFromTheValue) {
    const auto field = desk.addTextField(window, "今日は良い天気です。明日も");
    desk.select(field, Utf16Range{3, 6});
    EXPECT_EQ(selectedText(ax, el(field)), "良い天気です。");
}

TEST_F(SelectionTest, NoSelectionReadsOnlyTheSelectedText) {
    const auto field = desk.addTextField(window, "今日は晴れ。");
    desk.select(field, Utf16Range{3, 0});
    EXPECT_FALSE(selectedText(ax, el(field)));
    desk.setAttribute(field, "AXSelectedText", AXValue(" 晴れ "));
    EXPECT_EQ(selectedText(ax, el(field)), "晴れ");
}

TEST_F(SelectionTest, AWindowIsCutWhereTheSelectionIsInIt) {
    // The selection sits at 1000; the window read starts at 250. Cut at the
    // element's offsets, the window would give "。。" (two sentence ends,
    // which would outrank the real selection).
    std::string value(1000, 'a');
    value += "晴れ。";
    value += std::string(247, 'b');
    value += "。。";
    value += std::string(600, 'c');
    const auto field = desk.addTextField(window, value);
    desk.setAttributeAbsent(field, "AXValue");
    desk.select(field, Utf16Range{1000, 2});
    EXPECT_EQ(selectedText(ax, el(field)), "晴れ。");
}

TEST_F(SelectionTest, StaticTextCutsNeverOutrankTheSelectionItself) {
    // An editor without a value whose selection offsets are its own, not
    // those of its static text children.
    const auto editor = desk.addElement(window, "AXGroup");
    desk.setAttribute(editor, "AXSelectedTextRange", AXValue(Utf16Range{1, 2}));
    desk.setAttribute(editor, "AXSelectedText", AXValue("良い"));
    desk.addStaticText(editor, "ああ。");
    desk.addStaticText(editor, "いい。");
    EXPECT_EQ(selectedText(ax, el(editor)), "良い");

    // With nothing read from the selection itself, the cut is the answer.
    desk.setAttributeAbsent(editor, "AXSelectedText");
    EXPECT_EQ(selectedText(ax, el(editor)), "あ。");
}

struct TargetCase {
    const char* why;
    std::string target;
    std::string text;
    std::optional<int64_t> caret;
    std::optional<TextTargetRange> expected;
};

TEST(TargetRangeTest, NearestOccurrenceToTheCaret) {
    const TargetCase cases[] = {
        {"the occurrence containing the caret", "はい", "はい、はい、はい", 4, {{3, 2, {3, 2}}}},
        {"touching the caret at its end", "はい", "はい、はい、はい", 5, {{3, 2, {3, 2}}}},
        {"equal distance goes to the earlier", "はい", "はい、、、、はい", 4, {{0, 2, {0, 2}}}},
        {"strictly nearer later one", "はい", "はい、、、、はい", 5, {{6, 2, {6, 2}}}},
        {"no caret: the first", "はい", "はい、はい", std::nullopt, {{0, 2, {0, 2}}}},
        {"occurrences do not overlap", "ああ", "ああああ", 3, {{2, 2, {2, 2}}}},
        {"the target is trimmed", " はい\n", "えっ、はい", std::nullopt, {{3, 2, {3, 2}}}},
        {"UTF-16 range after an emoji", "はい", "😀はい", 0, {{1, 2, {2, 2}}}},
        {"UTF-16 length of a surrogate pair", "𠮷野", "吉野と𠮷野", 5, {{3, 2, {3, 3}}}},
        {"caret at offset 0", "はい", "はい", 0, {{0, 2, {0, 2}}}},
        {"not found", "いいえ", "はい", 0, std::nullopt},
        {"a blank target", " \n", "はい", 0, std::nullopt},
        {"an empty text", "はい", "", 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(targetRange(c.target, c.text, c.caret), c.expected);
    }
}

}  // namespace
}  // namespace mivo
