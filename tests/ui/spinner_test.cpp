#include "ui/spinner.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <numbers>

#include "ui_artifacts.hpp"

namespace mivo::ui {
namespace {

// The spinner drawn at `step` on white, 40 across, saved for people to see.
QImage drawn(const SpinnerStyle& style, int step, const std::string& name) {
    QImage image(40, 40, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintSpinner(painter, QRectF(0, 0, 40, 40), style, step);
    painter.end();
    image.save(QStringLiteral(MIVO_UI_ARTIFACTS_DIR "/") + QString::fromStdString(name) + ".png");
    return image;
}

// How dark the pixel is at `degrees` (0 at twelve o'clock, clockwise) on a
// circle of `radius` around the centre.
int inkAt(const QImage& image, double degrees, double radius) {
    const double a = degrees * std::numbers::pi / 180;
    const QColor c = image.pixelColor(static_cast<int>(20 + std::sin(a) * radius),
                                      static_cast<int>(20 - std::cos(a) * radius));
    return 255 - c.lightness();
}

TEST(SpinnerClock, StepsRoundThroughTheStyleAndTellsItsOwner) {
    struct Case {
        int steps;
        int advances;
        int expected;
    };
    for (const Case& c : std::vector<Case>{
             {12, 5, 5}, {12, 12, 0}, {12, 13, 1}, {60, 59, 59}, {60, 61, 1}, {1, 3, 0}}) {
        int told = 0;
        SpinnerClock clock([&] { ++told; });
        SpinnerStyle style;
        style.steps = c.steps;
        clock.start(style);
        EXPECT_TRUE(clock.isRunning());
        for (int i = 0; i < c.advances; ++i) {
            clock.advance();
        }
        EXPECT_EQ(clock.step(), c.expected) << c.steps << " steps, " << c.advances << " on";
        EXPECT_EQ(told, c.advances);
        clock.stop();
        EXPECT_FALSE(clock.isRunning());
    }
}

TEST(Spinner, TheArcTurnsClockwiseOverItsTrack) {
    SpinnerStyle arc;
    arc.shape = SpinnerStyle::Shape::arc;
    arc.ink = Qt::black;
    arc.track = QColor(255, 0, 0);
    arc.inset = 4;
    arc.steps = 4;
    // Step 0 starts at three o'clock and reaches back over the top right;
    // a quarter turn later it covers the bottom right.
    const QImage first = drawn(arc, 0, "ui-spinner-arc-0");
    const QImage second = drawn(arc, 1, "ui-spinner-arc-1");
    const double ring = 16;
    EXPECT_GT(inkAt(first, 45, ring), 150);
    EXPECT_LT(inkAt(first, 135, ring), 150);
    EXPECT_GT(inkAt(second, 135, ring), 150);
    EXPECT_LT(inkAt(second, 45, ring), 150);
    // The track shows where the arc is not.
    const QColor track = first.pixelColor(20, 20 + 16);
    EXPECT_GT(track.red(), 200);
    EXPECT_LT(track.green(), 100);
}

TEST(Spinner, TheNewestSpokeIsTheDarkest) {
    SpinnerStyle spokes;
    spokes.ink = Qt::black;
    struct Case {
        int step;
        double newest;  // degrees
        double oldest;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 30}, {3, 90, 120}, {11, 330, 0}}) {
        const QImage image = drawn(spokes, c.step, "ui-spinner-spokes-" + std::to_string(c.step));
        // Spokes run from 0.45 to 0.9 of the radius: probe at 0.7.
        EXPECT_GT(inkAt(image, c.newest, 14), inkAt(image, c.oldest, 14) + 60) << c.step;
    }
}

TEST(Spinner, TurnsOnlyWhileShownAndTakesItsSide) {
    SpinnerStyle style;
    style.side = 11.5;
    Spinner spinner([style] { return style; });
    EXPECT_EQ(spinner.size(), QSize(12, 12));
    EXPECT_FALSE(spinner.isSpinning());
    spinner.show();
    EXPECT_TRUE(spinner.isSpinning());
    spinner.hide();
    EXPECT_FALSE(spinner.isSpinning());
}

}  // namespace
}  // namespace mivo::ui
