// A highlight as drawn: tint, outline and bar, hovered or not, translucent
// or (without a compositor) reduced to its outline and bar.

#include <gtest/gtest.h>

#include <vector>

#include "overlay/highlight_view.hpp"
#include "overlay/qt_style.hpp"
#include "overlay/x11_floating_stack.hpp"
#include "ui/qt_edge.hpp"
#include "ui_artifacts.hpp"

namespace mivo {
namespace {

using testing::pixelAt;
using testing::renderArtifact;

TEST(HighlightViewTest, HoverDeepensTheTintAddsAnOutlineAndThickensTheBar) {
    struct Case {
        bool hovered;
        const char* artifact;
        int tintAlpha;  // 0.18 or 0.3 of 255
        int barRows;    // 2 or 3
        bool outline;
    };
    const Case cases[] = {
        {false, "highlight-critical-light", 46, 2, false},
        {true, "highlight-critical-hovered-light", 77, 3, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.artifact);
        HighlightView view(CorrectionIssue::Severity::critical, true);
        view.resize(64, 24);
        view.setHovered(c.hovered);
        const QImage image = renderArtifact(view, c.artifact);
        const QColor centre = pixelAt(image, 32, 8);
        EXPECT_NEAR(centre.alpha(), c.tintAlpha, 2);
        EXPECT_NEAR(centre.red(), 234, 2);  // 0.918 of the critical red
        for (int row = 1; row <= 3; ++row) {
            const QColor bar = pixelAt(image, 32, 24 - row);
            EXPECT_EQ(bar.alpha() == 255, row <= c.barRows) << "row " << row;
        }
        // Half way up the left edge: the outline at 0.7 or the bare tint.
        EXPECT_EQ(pixelAt(image, 0, 10).alpha() > 120, c.outline);
    }
}

TEST(HighlightViewTest, EachSeverityHasItsColour) {
    struct Case {
        CorrectionIssue::Severity severity;
        QColor bar;
    };
    const Case cases[] = {
        {CorrectionIssue::Severity::critical, QColor(234, 67, 53)},
        {CorrectionIssue::Severity::unnatural, QColor(251, 188, 4)},
        {CorrectionIssue::Severity::style, QColor(52, 168, 83)},
    };
    for (const auto& c : cases) {
        HighlightView view(c.severity, true);
        view.resize(40, 20);
        const QImage image = view.grab().toImage();
        const QColor bar = pixelAt(image, 20, 19);
        EXPECT_NEAR(bar.red(), c.bar.red(), 1);
        EXPECT_NEAR(bar.green(), c.bar.green(), 1);
        EXPECT_NEAR(bar.blue(), c.bar.blue(), 1);
    }
}

TEST(HighlightViewTest, WithoutTranslucencyOnlyTheOutlineAndBarRemain) {
    HighlightView view(CorrectionIssue::Severity::style, false);
    view.resize(64, 24);
    view.show();
    const QRegion mask = view.mask();
    EXPECT_TRUE(mask.contains(QPoint(0, 10))) << "the outline";
    EXPECT_TRUE(mask.contains(QPoint(32, 22))) << "the bar";
    EXPECT_FALSE(mask.contains(QPoint(32, 10))) << "the text beneath stays visible";
    EXPECT_FALSE(mask.contains(QPoint(32, 21)));
    view.setHovered(true);
    EXPECT_TRUE(view.mask().contains(QPoint(32, 21))) << "the hovered bar is 3 high";
}

TEST(HighlightViewTest, CoordinatesFlipOnceAtTheQtEdge) {
    // Primary screen 1024 high: a rectangle 20 high with its bottom at y 200
    // (y up) has its top at row 804 (y down).
    EXPECT_EQ(qt_edge::toQt(Rect{100, 200, 50, 20}, 1024), QRect(100, 804, 50, 20));
    EXPECT_EQ(qt_edge::fromQt(QRect(100, 804, 50, 20), 1024), (Rect{100, 200, 50, 20}));
    // Fractional edges are rounded, not the size.
    EXPECT_EQ(qt_edge::toQt(Rect{10.4, 10.6, 20.4, 5.0}, 100), QRect(10, 84, 21, 5));
}

// Where the highlights go in the stacking order, bottom to top: right
// below the lowest of Mivo's own windows at the top, or at the top.
TEST(FloatingStackTest, HighlightsGoUnderOurWindowsThatStandAboveEveryOther) {
    using overlay_qt::StackedWindow;
    constexpr StackedWindow editor{.id = 1, .otherManaged = true};
    constexpr StackedWindow browser{.id = 2, .otherManaged = true};
    constexpr StackedWindow settings{.id = 10, .ownManaged = true};
    constexpr StackedWindow panel{.id = 11, .ownManaged = true};
    struct Case {
        const char* name;
        std::vector<StackedWindow> order;
        uint32_t floor;
    };
    const Case cases[] = {
        {"the editor alone", {editor}, 0},
        {"the panel over the editor", {editor, panel}, 11},
        {"settings and the panel over the editor", {editor, settings, panel}, 10},
        {"settings behind the editor, the panel over it", {settings, editor, panel}, 11},
        {"settings behind the editor", {settings, editor}, 0},
        {"another application over settings", {editor, settings, browser}, 0},
        {"nothing managed", {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(overlay_qt::floorAboveOthers(c.order), c.floor);
    }
}

}  // namespace
}  // namespace mivo
