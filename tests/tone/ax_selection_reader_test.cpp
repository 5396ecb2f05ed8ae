#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tone/ax_selection_reader.hpp"
#include "tone_scene.hpp"

namespace mivo {
namespace {

using AXSelectionReader::Result;

struct SentenceCase {
    const char* why;
    std::string text;
    int64_t caret;  // UTF-16 units of the field
    std::optional<std::string> target;
    std::optional<std::string> preceding;
    std::optional<std::string> following;
};

class SelectionReaderTest : public ToneScene {};

TEST_F(SelectionReaderTest, TheSentenceAtTheCaret) {
    const std::string kHare = "今日は晴れ。明日は雨。";
    const SentenceCase cases[] = {
        {"before the first sentence", kHare, 0, "今日は晴れ。", std::nullopt, "明日は雨。"},
        {"inside it, after 晴", kHare, 4, "今日は晴れ。", std::nullopt, "明日は雨。"},
        {"between れ and its 。", kHare, 5, "今日は晴れ。", std::nullopt, "明日は雨。"},
        {"right after the first 。: the next sentence", kHare, 6, "明日は雨。", "今日は晴れ。",
         std::nullopt},
        {"right after the final 。: the sentence just typed", kHare, 11, "明日は雨。",
         "今日は晴れ。", std::nullopt},
        {"on the empty line after a sentence", "今日は晴れ。\n", 7, "今日は晴れ。", std::nullopt,
         std::nullopt},
        {"after a sentence and a space", "今日は晴れ！ ", 7, "今日は晴れ！", std::nullopt,
         std::nullopt},
        {"a line break ends a sentence", "abc\n def", 6, "def", "abc", std::nullopt},
        {"a full-width full stop does not", "今日は晴れ．明日", 2, "今日は晴れ．明日", std::nullopt,
         std::nullopt},
        {"ASCII ? and ! do", "really? yes! ok", 9, "yes!", "really?", "ok"},
        {"a caret inside an emoji stands before it", "雨。😀晴れ。", 3, "😀晴れ。", "雨。",
         std::nullopt},
        {"whitespace only", " \n　", 1, std::nullopt, std::nullopt, std::nullopt},
        {"empty field", "", 0, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto field = focusedField(c.text, c.caret);
        const auto r = AXSelectionReader::read(desk.ports());
        ASSERT_EQ(r.has_value(), c.target.has_value());
        if (!r)
            continue;
        EXPECT_EQ(r->targetText, *c.target);
        EXPECT_FALSE(r->isSelection);
        EXPECT_EQ(r->precedingContext, c.preceding);
        EXPECT_EQ(r->followingContext, c.following);
        EXPECT_EQ(r->element, el(field));
        EXPECT_EQ(r->bundleIdentifier, "com.example.editor");
        EXPECT_TRUE(r->elementFrame.has_value());
    }
}

struct SelectionCase {
    const char* why;
    Utf16Range selection;
    std::string target;
    std::optional<std::string> preceding;
    std::optional<std::string> following;
};

TEST_F(SelectionReaderTest, ASelectionTakesTheContextOfItsOwnOccurrence) {
    const SelectionCase cases[] = {
        {"the first は", {2, 1}, "は", "今日", "晴れ、明日は雨"},
        {"the second は, not the first", {8, 1}, "は", "今日は晴れ、明日", "雨"},
        {"the whole text", {0, 10}, "今日は晴れ、明日は雨", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto field = focusedField("今日は晴れ、明日は雨");
        desk.select(field, c.selection);
        const auto r = AXSelectionReader::read(desk.ports());
        ASSERT_TRUE(r.has_value());
        EXPECT_TRUE(r->isSelection);
        EXPECT_EQ(r->targetText, c.target);
        EXPECT_EQ(r->precedingContext, c.preceding);
        EXPECT_EQ(r->followingContext, c.following);
    }
}

TEST_F(SelectionReaderTest, ContextIsCutAtExactly600And400CharactersAcrossEmoji) {
    // A family emoji (8 UTF-16 units) is the 600th Character before the
    // sentence, a toned thumb (4 units) the 400th after it.
    const std::string family = "👨‍👩‍👧";
    const std::string thumb = "👍🏽";
    const std::string before = std::string(100, 'b') + family + std::string(598, 'a') + "。";
    const std::string after = std::string(399, 'c') + thumb + std::string(50, 'd');
    // The caret is inside 対象の文, counted in UTF-16 units past both emoji.
    const int64_t caret = 100 + 8 + 598 + 1 + 2;
    focusedField(before + "対象の文。" + after, caret);

    const auto r = AXSelectionReader::read(desk.ports());
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->targetText, "対象の文。");
    EXPECT_EQ(r->precedingContext, family + std::string(598, 'a') + "。");
    EXPECT_EQ(r->followingContext, std::string(399, 'c') + thumb);
}

TEST_F(SelectionReaderTest, AShortTextGivesAllOfItsContext) {
    const std::string before = std::string(299, 'a') + "。";
    focusedField(before + "文。", 301);
    const auto r = AXSelectionReader::read(desk.ports());
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->precedingContext, before);
}

TEST_F(SelectionReaderTest, ASelectionInAnUnreadableFieldComesWithoutContext) {
    const auto field = focusedField("今日は晴れ。");
    desk.select(field, Utf16Range{3, 2});
    desk.setAttributeError(field, std::string(kAXValueAttribute), AXError::cannotComplete);
    desk.setParameterizedHook(field, [](std::string_view, const AXValue&) {
        return std::optional<AXResult>(std::unexpected(AXError::cannotComplete));
    });
    const auto r = AXSelectionReader::read(desk.ports());
    ASSERT_TRUE(r.has_value());
    EXPECT_TRUE(r->isSelection);
    EXPECT_EQ(r->targetText, "晴れ");
    EXPECT_EQ(r->precedingContext, std::nullopt);
    EXPECT_EQ(r->followingContext, std::nullopt);
}

TEST_F(SelectionReaderTest, NothingIsReadFromAPasswordField) {
    const auto field = focusedField("secret。password");
    desk.select(field, Utf16Range{0, 6});
    makeSecure(field);
    EXPECT_EQ(AXSelectionReader::read(desk.ports()), std::nullopt);
}

TEST_F(SelectionReaderTest, NothingWithoutATextField) {
    desk.addElement(window, "AXButton");
    EXPECT_EQ(AXSelectionReader::read(desk.ports()), std::nullopt);
}

TEST(SentenceRuleTest, BoundsAroundACaret) {
    struct Case {
        const char* why;
        std::string text;
        int64_t caret;
        std::pair<int64_t, int64_t> bounds;
        std::pair<int64_t, int64_t> meant;  // sentenceAtCaret
    };
    const Case cases[] = {
        {"caret at 0", "あ。い。", 0, {0, 2}, {0, 2}},
        {"terminator right before the caret", "あ。い。", 2, {2, 4}, {2, 4}},
        {"at the end after a terminator", "あ。い。", 4, {4, 4}, {2, 4}},
        {"blank lines are skipped back", "あ。\n\n", 4, {4, 4}, {0, 2}},
        {"no terminator at all", "あい", 1, {0, 2}, {0, 2}},
        {"only terminators", "。。", 2, {2, 2}, {1, 2}},
        {"each of ！？!? and the line feed", "a！b？c!d?e\nf", 10, {10, 11}, {10, 11}},
        {"a caret past the end is clamped", "あ", 9, {0, 1}, {0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const text::CharacterText t(c.text);
        EXPECT_EQ(AXSelectionReader::sentenceBounds(t, c.caret), c.bounds);
        EXPECT_EQ(AXSelectionReader::sentenceAtCaret(t, c.caret), c.meant);
    }
}

TEST(SentenceRuleTest, OnlySixCharactersEndASentence) {
    for (const char* end : {"。", "！", "？", "!", "?", "\n"})
        EXPECT_TRUE(AXSelectionReader::isSentenceTerminator(end)) << end;
    for (const char* other : {"．", ".", "…", "」", "\r", "、"})
        EXPECT_FALSE(AXSelectionReader::isSentenceTerminator(other)) << other;
}

}  // namespace
}  // namespace mivo
