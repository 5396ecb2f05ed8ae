// Where the correction panel goes, in global coordinates (y up: a panel
// below its anchor has the smaller y).

#include <gtest/gtest.h>

#include <vector>

#include "ui/panel_placement.hpp"

namespace mivo {
namespace {

using Edge = VerticalAnchor::Edge;
namespace placement = panel_placement;

TEST(PanelPlacementTest, BelowWhenThereIsRoomElseAboveAndKeptOnTheScreen) {
    struct Case {
        const char* name;
        Rect anchor;
        Rect screen;
        Size size;
        Rect frame;
        Edge edge;
        double anchorY;
    };
    const Rect laptop{0, 0, 1440, 875};
    const std::vector<Case> cases = {
        // x = 520 - 180 + 60; below fits: 8 <= 300 - 6 - 200.
        {"below", {500, 300, 40, 16}, laptop, {360, 200}, {400, 94, 360, 200}, Edge::top, 294},
        // below: 8 > -106; above: 122 + 200 <= 867.
        {"above", {500, 100, 40, 16}, laptop, {360, 200}, {400, 122, 360, 200}, Edge::bottom, 122},
        // Neither fits, 176 of room on each side: below, pushed up onto the
        // screen.
        {"equal room goes below",
         {500, 190, 40, 20},
         {0, 0, 1000, 400},
         {360, 300},
         {400, 8, 360, 300},
         Edge::top,
         308},
        // Neither fits, more room above: above, pulled down onto the screen.
        {"more room above",
         {500, 100, 40, 16},
         {0, 0, 1440, 400},
         {360, 300},
         {400, 92, 360, 300},
         Edge::bottom,
         92},
        {"taller than the screen",
         {500, 300, 40, 16},
         laptop,
         {360, 860},
         {400, 8, 360, 860},
         Edge::bottom,
         8},
        {"anchor at the right edge",
         {1400, 300, 40, 16},
         laptop,
         {360, 200},
         {1072, 94, 360, 200},
         Edge::top,
         294},
        {"narrow screen",
         {100, 300, 40, 16},
         {0, 0, 370, 875},
         {360, 200},
         {8, 94, 360, 200},
         Edge::top,
         294},
        {"screen left of the primary",
         {-900, 300, 40, 16},
         {-1280, 0, 1280, 1024},
         {360, 200},
         {-1000, 94, 360, 200},
         Edge::top,
         294},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PanelPlacement p = placement::place(c.size, c.anchor, c.screen);
        EXPECT_EQ(p.frame, c.frame) << toString(p.frame);
        EXPECT_EQ(p.anchor, (VerticalAnchor{c.edge, c.anchorY, c.screen}));
    }
}

TEST(PanelPlacementTest, ClampLetsTheLowerBoundWin) {
    EXPECT_EQ(placement::clamp(5, 0, 10), 5);
    EXPECT_EQ(placement::clamp(-5, 0, 10), 0);
    EXPECT_EQ(placement::clamp(15, 0, 10), 10);
    EXPECT_EQ(placement::clamp(15, 10, 0), 10);
}

TEST(PanelPlacementTest, TheScreenOfTheAnchorsCentreElseTheNearest) {
    const std::vector<Screen> screens = {
        {{0, 0, 1440, 900}, {0, 0, 1440, 875}},
        {{1440, 0, 1920, 1080}, {1440, 0, 1920, 1050}},
        {{-1280, 0, 1280, 900}, {-1280, 0, 1280, 880}},
    };
    struct Case {
        const char* name;
        Rect rect;
        Rect visible;
    };
    const std::vector<Case> cases = {
        {"inside the first", {500, 300, 40, 16}, screens[0].visibleFrame},
        {"centre on the shared edge belongs to the second",
         {1420, 300, 40, 16},
         screens[1].visibleFrame},
        {"left of the primary", {-100, 300, 40, 16}, screens[2].visibleFrame},
        {"above the second, nearest", {2000, 1200, 40, 16}, screens[1].visibleFrame},
        // 100 above the first and the third alike: the first in the list.
        {"equally near, first wins", {-20, 992, 40, 16}, screens[0].visibleFrame},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(placement::visibleScreenFrame(c.rect, screens), c.visible);
    }
    EXPECT_EQ(placement::visibleScreenFrame({500, 300, 40, 16}, {}), (Rect{0, 0, 1280, 800}));
}

TEST(PanelPlacementTest, GrowthKeepsTheEdgeNextToTheAnchor) {
    const Rect screen{0, 0, 1440, 875};
    struct Case {
        const char* name;
        VerticalAnchor anchor;
        Rect resized;  // the frame after the content changed, top edge kept
        std::optional<Rect> frame;
    };
    const std::vector<Case> cases = {
        // Hanging below the text: 50 more moves the origin down by 50.
        {"below grows downwards",
         {Edge::top, 294, screen},
         {400, 94, 360, 250},
         Rect{400, 44, 360, 250}},
        // A 200-high panel below an anchor at y 230 (top edge 224) that
        // grows to 320 would end at -96: it stops 8 above the screen's
        // bottom, as a panel that opens there does.
        {"below stops at the bottom margin",
         {Edge::top, 224, screen},
         {400, 24, 360, 320},
         Rect{400, 8, 360, 320}},
        {"below fits exactly",
         {Edge::top, 308, screen},
         {400, 108, 360, 300},
         Rect{400, 8, 360, 300}},
        // Standing above the text: the bottom edge stays at 122.
        {"above grows upwards",
         {Edge::bottom, 122, screen},
         {400, 22, 360, 300},
         Rect{400, 122, 360, 300}},
        // Near the top of the screen: it stops 8 below the top.
        {"above stops at the top margin",
         {Edge::bottom, 700, screen},
         {400, 600, 360, 400},
         Rect{400, 875 - 400 - 8, 360, 400}},
        // Taller than the screen: the bottom margin wins.
        {"taller than the screen",
         {Edge::top, 294, screen},
         {400, 94, 360, 900},
         Rect{400, 8, 360, 900}},
        {"half a point is no move",
         {Edge::top, 294, screen},
         {400, 94.5, 360, 199.5},
         std::nullopt},
        {"dragged: back to the edge, x kept",
         {Edge::top, 294, screen},
         {812, 40, 360, 250},
         Rect{812, 44, 360, 250}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(placement::keepAnchoredEdge(c.resized, c.anchor), c.frame);
    }
}

}  // namespace
}  // namespace mivo
