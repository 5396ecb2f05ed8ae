// X pixels against Qt's device-independent pixels, per screen: Qt keeps a
// screen's corner in X pixels and scales everything inside it.

#include <gtest/gtest.h>

#include <vector>

#include "platform/linux/qt/qt_screens.hpp"
#include "platform/linux/screen_scale.hpp"

namespace mivo::linux_desktop {
namespace {

// Qt's view of two screens side by side in X: a 1920×1080 one at the
// origin at ratio 1.5 (Qt sees 1280×720 of it), and a 2560×1440 one to its
// right at ratio 2 (1280×720), lower by 100 X pixels.
const std::vector<ScaledScreen> kMixed = {
    {{0, 0, 1280, 720}, 1.5},
    {{1920, 100, 1280, 720}, 2.0},
};

TEST(ScreenScale, PointsThroughTheScreenHoldingThem) {
    struct Row {
        const char* what;
        std::vector<ScaledScreen> screens;
        Point native;
        Point logical;
    };
    const Row rows[] = {
        {"scale 1", {{{0, 0, 1280, 1024}, 1.0}}, {300, 200}, {300, 200}},
        {"scale 1.5", {{{0, 0, 1280, 720}, 1.5}}, {300, 150}, {200, 100}},
        {"scale 2", {{{0, 0, 1280, 1024}, 2.0}}, {640, 100}, {320, 50}},
        {"scale 2, screen away from the origin",
         {{{1000, 500, 640, 512}, 2.0}},
         {1200, 700},
         {1100, 600}},
        {"first of two screens", kMixed, {1500, 900}, {1000, 600}},
        {"second of two screens", kMixed, {2000, 300}, {1960, 200}},
        {"the second screen's corner", kMixed, {1920, 100}, {1920, 100}},
        {"no screens: unchanged", {}, {123, 45}, {123, 45}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(nativeToLogical(row.native, row.screens), row.logical);
        EXPECT_EQ(logicalToNative(row.logical, row.screens), row.native);
    }
}

TEST(ScreenScale, AScreenIsFoundByItsXRectangle) {
    // X point (1900, 50) is on the first screen (X 0..1920), although in
    // Qt's numbers 1900 lies past that screen's 1280: converting it through
    // the wrong screen would put it 620 pixels off.
    EXPECT_EQ(screenOfNativePoint({1900, 50}, kMixed), 0u);
    EXPECT_EQ(screenOfNativePoint({1920, 500}, kMixed), 1u);
    EXPECT_EQ(nativeToLogical(Point{1900, 50}, kMixed), (Point{1900 / 1.5, 50 / 1.5}));
    // Off every screen: the nearest one.
    EXPECT_EQ(screenOfNativePoint({5000, 300}, kMixed), 1u);
    EXPECT_EQ(screenOfNativePoint({-10, -10}, kMixed), 0u);
    // In Qt's numbers, by Qt's rectangles.
    EXPECT_EQ(screenOfLogicalPoint({1279, 10}, kMixed), 0u);
    EXPECT_EQ(screenOfLogicalPoint({1920, 110}, kMixed), 1u);
}

TEST(ScreenScale, RectanglesKeepTheScaleOfTheirCorner) {
    EXPECT_EQ(nativeFrame(kMixed[0]), (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(nativeFrame(kMixed[1]), (Rect{1920, 100, 2560, 1440}));
    // A character's box on the second screen, 40×30 X pixels.
    EXPECT_EQ(nativeToLogical(Rect{2020, 300, 40, 30}, kMixed), (Rect{1970, 200, 20, 15}));
    EXPECT_EQ(logicalToNative(Rect{1970, 200, 20, 15}, kMixed), (Rect{2020, 300, 40, 30}));
    // Qt's available area of the first screen, without a 30-pixel panel
    // at its top.
    EXPECT_EQ(toNative(Rect{0, 20, 1280, 700}, kMixed[0]), (Rect{0, 30, 1920, 1050}));
    EXPECT_EQ(toLogical(Rect{0, 30, 1920, 1050}, kMixed[0]), (Rect{0, 20, 1280, 700}));
}

TEST(ScreenScale, GlobalCoordinatesAndBack) {
    // The primary screen in X pixels, 1920×1080 at the origin; a 1440×900
    // primary screen right of another.
    const struct {
        Rect primary;
        Rect topDown;
        Rect global;
    } rows[] = {
        {{0, 0, 1920, 1080}, {100, 200, 50, 20}, {100, 860, 50, 20}},
        {{1280, 0, 1440, 900}, {1300, 60, 10, 20}, {20, 820, 10, 20}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(toGlobalCoordinates(row.topDown, row.primary), row.global);
        EXPECT_EQ(fromGlobalCoordinates(row.global, row.primary), row.topDown);
    }
}

}  // namespace
}  // namespace mivo::linux_desktop
