#include <gtest/gtest.h>

#include <QTest>

#include "tone_panel/tone_trigger_icon_window.hpp"
#include "ui_artifacts.hpp"

namespace mivo::testing {
namespace {

TEST(ToneTriggerIconWindow, NeverTakesTheFocusAndReportsClicks) {
    int clicks = 0;
    ToneTriggerIconWindow window([&] { ++clicks; });
    QWidget* w = window.widget();
    const Qt::WindowFlags flags = w->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_TRUE(w->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(w->size(), QSize(24, 24));
    EXPECT_EQ(window.alpha(), 0);  // invisible until shown by a fade

    window.orderFront();
    EXPECT_TRUE(window.isVisible());
    QTest::mouseClick(window.view(), Qt::LeftButton, {}, QPoint(12, 12));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(window.view()->toolTip(), "Mivo — Rewrite (Shift+Super+J)");
    EXPECT_EQ(window.view()->accessibleName(), "Mivo — Rewrite");
    const QImage image = renderArtifact(*window.view(), "tone-trigger-icon-normal-light");
    // The mark's blue at its centre-left, away from the white W.
    const QColor blue = pixelAt(image, 4, 12);
    EXPECT_GT(blue.blue(), 200);
    EXPECT_LT(blue.red(), 120);
    window.orderOut();
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace mivo::testing
