#include <gtest/gtest.h>

#include <string>

#include "field/ax_text_extractor.hpp"
#include "sim_scene.hpp"

namespace mivo {
namespace {

using namespace AXTextExtractor;
using Source = ExtractedText::Source;

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

class TextReadingTest : public SimScene {};

struct WindowCase {
    int64_t caret;
    int64_t window;
    Utf16Range asked;
};

TEST_F(TextReadingTest, WithoutAValueAWindowAroundTheSelectionStartIsRead) {
    const WindowCase cases[] = {
        {100, 1500, {0, 850}},  {1000, 1500, {250, 1500}}, {0, 1500, {0, 750}},
        {10, 0, {9, 2}},        {10, 1, {9, 2}},           {10, 3, {9, 2}},
        {750, 1500, {0, 1500}}, {751, 1500, {1, 1500}},
    };
    const std::string value = repeat("あいうえお", 400);  // 2000 units
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "caret " << c.caret << " window " << c.window);
        const auto field = desk.addTextField(window, value);
        desk.setAttribute(field, "AXValue", AXValue(""));
        desk.select(field, Utf16Range{c.caret, 3});
        requests.clear();
        recordRequests(field);

        const auto read = readText(ax, el(field), c.window);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].first, "AXStringForRange");
        EXPECT_EQ(requests[0].second, c.asked);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->source, Source::caretWindow);
        EXPECT_EQ(read->utf16Start, c.asked.location);
        EXPECT_EQ(read->text, value.substr(c.asked.location * 3, c.asked.length * 3));
    }
}

TEST_F(TextReadingTest, AnEmptyWindowFallsBackToStaticText) {
    const auto group = desk.addElement(window, "AXGroup");
    desk.setAttribute(group, "AXSelectedTextRange", AXValue(Utf16Range{4, 0}));
    desk.addStaticText(group, "一行目");
    desk.addStaticText(group, "二行目");
    desk.setParameterizedHook(group, [](std::string_view, const AXValue&) {
        return std::optional<AXResult>(AXValue(""));
    });
    const auto read = readText(ax, el(group), 1500);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->text, "一行目\n二行目");
    EXPECT_EQ(read->source, Source::staticText);
}

TEST_F(TextReadingTest, OnlyAnInvalidElementGivesNothing) {
    const auto destroyed = desk.addTextField(window, "消える");
    desk.destroy(destroyed);
    EXPECT_FALSE(extractText(ax, el(destroyed), 1500));

    const auto empty = desk.addElement(window, "AXGroup");
    EXPECT_EQ(extractText(ax, el(empty), 1500), "");

    // Another error on the value moves on to the next source.
    const auto failing = desk.addTextField(window, "本文");
    desk.setAttributeError(failing, "AXValue", AXError::cannotComplete);
    desk.select(failing, Utf16Range{0, 0});
    EXPECT_EQ(extractText(ax, el(failing), 1500), "本文");

    // Invalid on the selected range ends the read too.
    const auto gone = desk.addTextField(window, "");
    desk.setAttributeError(gone, "AXSelectedTextRange", AXError::invalidUIElement);
    EXPECT_FALSE(extractText(ax, el(gone), 1500));
}

TEST_F(TextReadingTest, FragmentsIndexTheTextJoinedWithLineFeeds) {
    const auto group = desk.addElement(window, "AXGroup");
    desk.addStaticText(group, "ab");
    desk.addStaticText(nest(group, 2), "😀");  // one Character, two UTF-16 units
    desk.addStaticText(group, "de");
    const auto fragments = textFragments(ax, el(group));
    ASSERT_EQ(fragments.size(), 3u);
    EXPECT_EQ(fragments[0].characterRange, (TextRange{0, 2}));
    EXPECT_EQ(fragments[1].characterRange, (TextRange{3, 4}));
    EXPECT_EQ(fragments[2].characterRange, (TextRange{5, 7}));
    EXPECT_EQ(fragments[1].text, "😀");
    EXPECT_EQ(assembleTextFromChildren(ax, el(group), 0), "ab\n😀\nde");
}

TEST_F(TextReadingTest, StaticTextIsFoundSixLevelsDownButNotSeven) {
    const auto six = desk.addElement(window, "AXGroup");
    desk.addStaticText(nest(six, 5), "見える");
    EXPECT_EQ(assembleTextFromChildren(ax, el(six), 0), "見える");

    const auto seven = desk.addElement(window, "AXGroup");
    desk.addStaticText(nest(seven, 6), "見えない");
    EXPECT_EQ(assembleTextFromChildren(ax, el(seven), 0), "");
}

TEST_F(TextReadingTest, StaticTextIsALeafAndEmptyOnesAreSkipped) {
    const auto group = desk.addElement(window, "AXGroup");
    const auto label = desk.addStaticText(group, "");
    desk.addStaticText(label, "内側");
    desk.addStaticText(group, "外側");
    const auto fragments = textFragments(ax, el(group));
    ASSERT_EQ(fragments.size(), 1u);
    EXPECT_EQ(fragments[0].text, "外側");
    EXPECT_EQ(fragments[0].characterRange, (TextRange{0, 2}));
}

TEST_F(TextReadingTest, CaretIsTheSelectionEndBoundedAbove) {
    const auto field = desk.addTextField(window, "0123456789");
    desk.select(field, Utf16Range{5, 3});
    EXPECT_EQ(caretOffset(ax, el(field), 6), 6);
    EXPECT_EQ(caretOffset(ax, el(field), 100), 8);
    const auto label = desk.addStaticText(window, "ラベル");
    EXPECT_FALSE(caretOffset(ax, el(label), 100));
}

TEST_F(TextReadingTest, StringForRangeKeepsBlanksOut) {
    const auto field = desk.addTextField(window, "  本文\n");
    EXPECT_EQ(stringForRange(ax, Utf16Range{0, 5}, el(field)), "  本文\n");
    EXPECT_FALSE(stringForRange(ax, Utf16Range{0, 2}, el(field)));
    EXPECT_FALSE(stringForRange(ax, Utf16Range{9, 1}, el(field)));
}

}  // namespace
}  // namespace mivo
