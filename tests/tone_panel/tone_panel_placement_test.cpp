#include "tone_panel/tone_panel_placement.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace mivo {

// How a failing expectation prints a rectangle.
void PrintTo(const Rect& r, std::ostream* os) {
    *os << toString(r);
}

namespace {

const Size panel{420, 360};

// Global coordinates, y up: "below" is a smaller y.
TEST(FrameForPanel, PlacesByTheRoomAroundTheAnchor) {
    const Rect screen{0, 0, 1440, 875};
    struct Row {
        const char* name;
        Size size;
        Rect anchor;
        Rect area;
        Rect expected;
        PanelSide side;
    };
    const std::vector<Row> rows{
        {"room below: top edge 6 under the anchor, 60 right of centred",
         panel,
         {500, 500, 100, 20},
         screen,
         {400, 134, 420, 360},
         PanelSide::below},
        {"near the bottom: above the anchor",
         panel,
         {500, 100, 100, 20},
         screen,
         {400, 126, 420, 360},
         PanelSide::above},
        {"fits neither side: the roomier side (above), clamped",
         {420, 400},
         {500, 300, 100, 20},
         {0, 0, 1440, 700},
         {400, 292, 420, 400},
         PanelSide::above},
        {"fits neither side, equal room: below, clamped",
         {420, 400},
         {500, 340, 100, 20},
         {0, 0, 1440, 700},
         {400, 8, 420, 400},
         PanelSide::below},
        {"right edge: 8 inside",
         panel,
         {1400, 500, 30, 20},
         screen,
         {1012, 134, 420, 360},
         PanelSide::below},
        {"left edge: 8 inside",
         panel,
         {0, 500, 10, 20},
         screen,
         {8, 134, 420, 360},
         PanelSide::below},
        {"area narrower than the panel: left edge 8 inside",
         panel,
         {100, 500, 10, 20},
         {0, 0, 300, 875},
         {8, 134, 420, 360},
         PanelSide::below},
        {"area lower than the panel: bottom edge 8 above",
         panel,
         {100, 100, 10, 20},
         {0, 0, 1440, 300},
         {8, 8, 420, 360},
         PanelSide::above},
        {"screen away from the origin",
         panel,
         {2000, 1400, 100, 20},
         {1440, 900, 1920, 1080},
         {1900, 1034, 420, 360},
         PanelSide::below},
    };
    for (const Row& row : rows) {
        const TonePanelPlacement placed = placeNearAnchor(row.size, row.anchor, row.area);
        EXPECT_EQ(placed.frame, row.expected) << row.name;
        EXPECT_EQ(placed.side, row.side) << row.name;
        EXPECT_EQ(frameForPanel(row.size, row.anchor, row.area), row.expected) << row.name;
    }
}

TEST(VisibleScreenFrame, ChoosesTheScreenOfTheCentreElseTheNearest) {
    // Two screens side by side with a gap of 200 between them, and a third
    // above the first (y up).
    const std::vector<Screen> screens{
        {{0, 0, 1000, 800}, {0, 0, 1000, 780}},
        {{1200, 0, 1000, 800}, {1200, 0, 1000, 770}},
        {{0, 800, 1000, 600}, {0, 800, 1000, 575}},
    };
    struct Row {
        const char* name;
        Rect rect;
        Rect expected;
    };
    const std::vector<Row> rows{
        {"on the first", {100, 100, 20, 20}, screens[0].visibleFrame},
        {"on the second", {1300, 100, 20, 20}, screens[1].visibleFrame},
        {"on the screen above", {100, 1000, 20, 20}, screens[2].visibleFrame},
        {"in the gap, nearer the first", {1040, 100, 20, 20}, screens[0].visibleFrame},
        {"in the gap, equal distance: the first listed",
         {1090, 100, 20, 20},
         screens[0].visibleFrame},
        {"in the gap, nearer the second", {1140, 100, 20, 20}, screens[1].visibleFrame},
        {"far below every screen: nearest", {1500, -500, 20, 20}, screens[1].visibleFrame},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(visibleScreenFrame(row.rect, screens), row.expected) << row.name;
    }
    EXPECT_EQ(visibleScreenFrame({5, 5, 1, 1}, {}), fallbackScreenFrame);
}

TEST(PositionPanel, WithoutAnAnchorCentresOnTheMainScreen) {
    const std::vector<Screen> screens{{{0, 0, 1440, 900}, {0, 40, 1440, 860}},
                                      {{1440, 0, 1000, 800}, {1440, 0, 1000, 800}}};
    EXPECT_EQ(positionPanel(panel, std::nullopt, screens),
              (TonePanelPlacement{{510, 290, 420, 360}, PanelSide::centred, std::nullopt}));
    EXPECT_EQ(positionPanel(panel, std::nullopt, {}).frame, (Rect{430, 220, 420, 360}));
    // An anchor with no screens at all uses the fallback area as it is.
    EXPECT_EQ(positionPanel(panel, Rect{500, 500, 100, 20}, {}).frame, (Rect{400, 134, 420, 360}));
    // An anchor on the second screen places the panel there.
    EXPECT_EQ(positionPanel(panel, Rect{1500, 400, 100, 20}, screens).frame.x, 1448);
}

TEST(ResizedPanelFrame, KeepsTheEdgeNextToTheAnchorAndStaysOnTheScreen) {
    const Rect screen{0, 0, 1440, 875};
    struct Row {
        const char* name;
        Rect anchor;
        double height;  // the content's new height
        std::optional<Rect> expected;
    };
    const std::vector<Row> rows{
        // Placed above the text at y 126: grows upward, its bottom edge stays.
        {"above grows upward", {500, 100, 100, 20}, 500, Rect{400, 126, 420, 500}},
        // Hanging below the text: grows downward; the top edge the window
        // system kept (494) is where it belongs.
        {"below grows downward", {500, 500, 100, 20}, 400, std::nullopt},
        // Below a line low on the screen, 500 high would end at -6: it stops
        // 8 above the visible area's bottom, where an opening panel stops.
        {"below stops at the bottom margin", {500, 500, 100, 20}, 500, Rect{400, 8, 420, 500}},
        // Above a line low on the screen (bottom edge at 326): 600 high would
        // end at 926, so it stops 8 under the visible area's top.
        {"above stops at the top margin", {500, 300, 100, 20}, 600, Rect{400, 267, 420, 600}},
        // Shrinking below the text: the top edge is where it was already.
        {"below shrinks in place", {500, 500, 100, 20}, 200, std::nullopt},
    };
    for (const Row& row : rows) {
        const TonePanelPlacement placed = placeNearAnchor(panel, row.anchor, screen);
        // The window system keeps the top edge when the height changes.
        const Rect resized{placed.frame.x, placed.frame.maxY() - row.height, placed.frame.width,
                           row.height};
        EXPECT_EQ(resizedPanelFrame(resized, placed), row.expected) << row.name;
    }
    // A centred panel has no anchor: it keeps its top edge.
    const TonePanelPlacement centred = positionPanel(panel, std::nullopt, {});
    EXPECT_EQ(resizedPanelFrame({430, 120, 420, 460}, centred), std::nullopt);
}

}  // namespace
}  // namespace mivo
