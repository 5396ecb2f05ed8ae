#include "field/ax_geometry.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared/text.hpp"
#include "sim_scene.hpp"

namespace mivo {
namespace {

using namespace AXTextExtractor;

// A primary screen 1117 high.
const Screen kLaptop{Rect{0, 0, 1728, 1117}, Rect{0, 0, 1728, 1080}};

class GeometryTest : public SimScene {
  protected:
    GeometryTest() { desk.screens().setScreens({kLaptop}); }

    // Static text whose element has a frame but answers no bounds itself.
    sim::SimId unmeasurableText(sim::SimId parent, const std::string& text, Rect frame) {
        const auto id = desk.addStaticText(parent, text, frame);
        desk.setParameterizedHook(id, [](std::string_view, const AXValue&) {
            return std::optional<AXResult>(
                std::unexpected(AXError::parameterizedAttributeUnsupported));
        });
        return id;
    }
};

TEST(CoordinateTest, ScreenRectanglesFlipAtThePrimaryScreenHeight) {
    EXPECT_EQ(screenToGlobal(Rect{100, 200, 50, 20}, 1117), (Rect{100, 897, 50, 20}));
    // Raised to 16, keeping the bottom edge.
    EXPECT_EQ(screenToGlobal(Rect{100, 200, 50, 10}, 1117), (Rect{100, 907, 50, 16}));
}

struct ScreenCase {
    const char* why;
    std::vector<Screen> screens;
    double height;
};

TEST(CoordinateTest, PrimaryScreenHeight) {
    const Screen side{Rect{-1920, 0, 1920, 1200}, Rect{-1920, 0, 1920, 1200}};
    const Screen above{Rect{0, 1117, 2560, 1440}, Rect{0, 1117, 2560, 1440}};
    const ScreenCase cases[] = {
        {"the one at the origin", {kLaptop}, 1117},
        {"the one at the origin even when listed second", {above, kLaptop}, 1117},
        {"none at the origin: the first listed", {side, above}, 1200},
        {"no screens", {}, 1080},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        sim::SimScreens screens;
        screens.setScreens(c.screens);
        EXPECT_EQ(primaryScreenHeight(screens), c.height);
    }
    sim::SimScreens screens;
    screens.setScreens({kLaptop});
    EXPECT_EQ(appKitToQuartzPoint(Point{10, 100}, screens), (Point{10, 1017}));
}

TEST_F(GeometryTest, DirectBoundsAndElementFrameAreConverted) {
    const auto field = desk.addTextField(window, "今日は晴れ", {.frame = Rect{100, 200, 300, 20}});
    EXPECT_EQ(directBoundsForRange(ax, screens, Utf16Range{3, 2}, el(field)),
              (Rect{130, 897, 20, 20}));
    EXPECT_EQ(elementFrame(ax, screens, el(field)), (Rect{100, 897, 300, 20}));
    EXPECT_FALSE(directBoundsForRange(ax, screens, Utf16Range{4, 9}, el(field)));
    desk.setParameterizedHook(field, [](std::string_view, const AXValue&) {
        return std::optional<AXResult>(AXValue(Rect{}));
    });
    EXPECT_FALSE(directBoundsForRange(ax, screens, Utf16Range{0, 1}, el(field)));
}

TEST_F(GeometryTest, ACaretAnsweredWithZeroFallsBackToTheCharacterBefore) {
    const auto field =
        desk.addTextField(window, "今日は良い天気です", {.frame = Rect{100, 200, 300, 20}});
    desk.select(field, Utf16Range{7, 0});
    desk.setParameterizedHook(field, [](std::string_view, const AXValue& p) {
        if (p.asRange() == Utf16Range{7, 1})
            return std::optional<AXResult>(AXValue(Rect{}));
        return std::optional<AXResult>();
    });
    const auto caret = caretBoundsAtSelection(ax, screens, el(field));
    ASSERT_TRUE(caret);
    EXPECT_EQ(caret->probe, (Utf16Range{6, 1}));
    EXPECT_EQ(caret->screen, (Rect{160, 200, 10, 20}));
    EXPECT_EQ(caretRect(ax, screens, el(field)), (Rect{160, 897, 10, 20}));
}

TEST_F(GeometryTest, FragmentsWithoutBoundsAreEstimatedAlongTheirWidth) {
    const auto group = desk.addElement(window, "AXGroup");
    const auto ten = unmeasurableText(group, "0123456789", Rect{100, 200, 200, 10});
    const TextFragment fragment{el(ten), "0123456789", TextRange{0, 10}};
    // Characters 2 to 4: 40 from the left edge, 40 wide; 16 high.
    EXPECT_EQ(boundsForFragmentRange(ax, screens, fragment, 2, 2), (Rect{140, 907, 40, 16}));

    const std::string hundred(100, 'x');
    const auto wide = unmeasurableText(group, hundred, Rect{100, 200, 200, 10});
    const TextFragment many{el(wide), hundred, TextRange{0, 100}};
    EXPECT_EQ(boundsForFragmentRange(ax, screens, many, 50, 1), (Rect{200, 907, 8, 16}));
}

struct LocalRangeCase {
    int64_t start;
    int64_t length;
    bool measured;
};

TEST_F(GeometryTest, AFragmentRangeMustLieInsideTheFragment) {
    const auto text = desk.addStaticText(window, "晴れ😀", Rect{100, 200, 300, 20});
    const TextFragment fragment{el(text), "晴れ😀", TextRange{0, 3}};
    const LocalRangeCase cases[] = {
        {0, 3, true}, {2, 1, true}, {0, 0, false}, {-1, 2, false}, {2, 2, false}, {3, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << "+" << c.length);
        EXPECT_EQ(boundsForFragmentRange(ax, screens, fragment, c.start, c.length).has_value(),
                  c.measured);
    }
    // The emoji's two UTF-16 units are one cell.
    EXPECT_EQ(boundsForFragmentRange(ax, screens, fragment, 2, 1), (Rect{120, 897, 10, 20}));
}

TEST_F(GeometryTest, FragmentBackedRangesUniteTheirPieces) {
    const auto editor = desk.addElement(window, "AXGroup");
    desk.addStaticText(editor, "今日は", Rect{100, 200, 300, 20});
    desk.addStaticText(editor, "晴れ", Rect{100, 220, 300, 20});
    // Joined: 今日は\n晴れ — the line feed is Character 3.
    EXPECT_EQ(boundsForFragmentBackedRange(ax, screens, 2, 3, el(editor)),
              (Rect{100, 877, 30, 40}));
    EXPECT_FALSE(boundsForFragmentBackedRange(ax, screens, 3, 1, el(editor)));
    EXPECT_FALSE(boundsForFragmentBackedRange(ax, screens, 0, 0, el(editor)));
    const auto plain = desk.addElement(window, "AXGroup");
    EXPECT_FALSE(boundsForFragmentBackedRange(ax, screens, 0, 2, el(plain)));
}

// A field with a value of its own whose runs of text are also static text
// children, each where the field draws it (10 wide per Character from x 100,
// lines 20 apart), as Chromium exposes the runs of a line.
struct Run {
    std::string text;
    double column;
    double line;
};

struct RunsCase {
    const char* why;
    std::string value;
    std::vector<Run> runs;
    int64_t error;  // the Character measured, of the value
    Rect box;
};

TEST_F(GeometryTest, RangesOfAFieldWithRunsCountTheCharactersOfItsValue) {
    const RunsCase cases[] = {
        {"bold before the error",
         "今日はとても東京で住む。",
         {{"今日は", 0, 0}, {"とても", 3, 0}, {"東京で住む。", 6, 0}},
         8,
         Rect{180, 897, 10, 20}},
        {"a link's text and a line break",
         "前の\uFFFCは\n東京で住む。",
         {{"前の", 0, 0}, {"リンク", 2, 0}, {"は", 3, 0}, {"\n", 4, 0}, {"東京で住む。", 0, 1}},
         7,
         Rect{120, 877, 10, 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto field = desk.addTextField(window, c.value, {.frame = Rect{100, 200, 400, 40}});
        for (const auto& run : c.runs)
            desk.addStaticText(field, run.text,
                               Rect{100 + 10 * run.column, 200 + 20 * run.line,
                                    10 * static_cast<double>(text::characterCount(run.text)), 20});
        EXPECT_EQ(boundsForFragmentBackedRange(ax, screens, c.error, 1, el(field)), c.box);
    }
    // Runs that are the value's lines number its Characters alike: a field
    // that answers no bounds itself is measured in them.
    const auto lines = desk.addTextField(
        window, "今日は\n晴れ", {.frame = Rect{100, 200, 300, 40}, .fragmentBacked = true});
    desk.setParameterizedHook(lines, [](std::string_view, const AXValue&) {
        return std::optional<AXResult>(std::unexpected(AXError::parameterizedAttributeUnsupported));
    });
    EXPECT_TRUE(boundsForFragmentBackedRange(ax, screens, 4, 1, el(lines)));
}

TEST_F(GeometryTest, CaretFallbacks) {
    // The last Character of the last static text.
    const auto editor = desk.addElement(window, "AXGroup");
    desk.addStaticText(editor, "一行目", Rect{100, 200, 300, 20});
    desk.addStaticText(editor, "二行", Rect{100, 220, 300, 20});
    EXPECT_EQ(caretRect(ax, screens, el(editor)), (Rect{110, 877, 10, 20}));

    // A strip along the bottom of the element, 16 to 20 high.
    const auto tall = desk.addElement(window, "AXGroup", Rect{50, 300, 400, 30});
    EXPECT_EQ(caretRect(ax, screens, el(tall)), (Rect{50, 787, 400, 20}));
    const auto low = desk.addElement(window, "AXGroup", Rect{50, 300, 400, 10});
    EXPECT_EQ(caretRect(ax, screens, el(low)), (Rect{50, 807, 400, 16}));
    const auto nowhere = desk.addElement(window, "AXGroup");
    EXPECT_FALSE(caretRect(ax, screens, el(nowhere)));
}

TEST_F(GeometryTest, TargetTextInACaretWindowIsMeasuredAtItsPlaceInTheValue) {
    std::string value = std::string(1000, 'a') + "晴れ" + std::string(800, 'b');
    const auto field =
        desk.addTextField(window, value, {.frame = Rect{0, 200, 20000, 20}, .characterWidth = 1});
    desk.setAttributeAbsent(field, "AXValue");
    desk.select(field, Utf16Range{1001, 0});
    // The window starts at 250; the occurrence is Characters 750-752 of it.
    EXPECT_EQ(boundsForTargetText(ax, screens, "晴れ", el(field)), (Rect{1000, 897, 2, 20}));
}

TEST_F(GeometryTest, TargetTextInStaticTextIsMeasuredInItsFragment) {
    const auto editor = desk.addElement(window, "AXGroup");
    desk.addStaticText(editor, "今日は", Rect{100, 200, 300, 20});
    desk.addStaticText(editor, "晴れ", Rect{100, 220, 300, 20});
    EXPECT_EQ(boundsForTargetText(ax, screens, "晴れ", el(editor)), (Rect{100, 877, 20, 20}));
}

}  // namespace
}  // namespace mivo
