#include "ui/painted_button.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cmath>
#include <optional>

#include "ui_artifacts.hpp"

namespace mivo::ui {
namespace {

using testing::pixelAt;
using testing::renderArtifact;

const QColor red(255, 0, 0);
const QColor blue(0, 0, 255);
const QColor white(255, 255, 255);

// Resting red, held blue, black text, shrinking to 0.8 while held.
ButtonStyle baseStyle() {
    ButtonStyle look;
    look.normal = {.fill = red, .ink = Qt::black, .outline = {}};
    look.pressed = {.fill = blue, .ink = Qt::black, .outline = {}};
    QFont font = QApplication::font();
    font.setPixelSize(12);
    look.font = font;
    look.cornerRadius = 4;
    look.padding = QSizeF(10, 5);
    look.pressedScale = 0.8;
    look.disabledOpacity = 0.5;
    return look;
}

int distance(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

TEST(PaintedButton, EachStateShowsItsOwnColourOpacityAndScale) {
    const QColor green(0, 160, 0);
    struct Case {
        const char* name;
        bool down;
        bool enabled;
        QPoint probe;  // in an 80 × 30 button; x 3 lies outside a held fill
        QColor expected;
        QColor fill = red;
        QColor outline = {};
        double opacity = 1;
        double pressedOpacity = 1;
    };
    const std::vector<Case> cases = {
        {"resting", false, true, {3, 15}, red},
        {"held", true, true, {12, 15}, blue},
        {"held shrinks", true, true, {3, 15}, white},
        {"disabled", false, false, {3, 15}, QColor(255, 128, 128)},
        // A disabled button never looks held: no pressed fill, no shrinking.
        {"held while disabled", true, false, {3, 15}, QColor(255, 128, 128)},
        {"outline", false, true, {0, 15}, green, red, green},
        {"no fill", false, true, {3, 15}, white, QColor()},
        // The whole button's opacity and the disabled one multiply.
        {"faded and disabled", false, false, {3, 15}, QColor(255, 191, 191), red, {}, 0.5},
        {"held fades", true, true, {12, 15}, QColor(128, 128, 255), red, {}, 1, 0.5},
    };
    QWidget host;
    host.setAutoFillBackground(true);
    QPalette palette = host.palette();
    palette.setColor(QPalette::Window, white);
    host.setPalette(palette);
    host.resize(10 + 90 * static_cast<int>(cases.size()), 50);
    std::vector<PaintedButton*> buttons;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        ButtonStyle look = baseStyle();
        look.normal.fill = c.fill;
        look.normal.outline = c.outline;
        look.opacity = c.opacity;
        look.pressedOpacity = c.pressedOpacity;
        auto* button = new PaintedButton(
            "", [look] { return look; }, &host);
        button->setGeometry(10 + 90 * static_cast<int>(i), 10, 80, 30);
        button->setEnabled(c.enabled);
        button->setDown(c.down);
        buttons.push_back(button);
    }
    const QImage image = renderArtifact(host, "ui-painted-button-states");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const QPoint at = buttons[i]->pos() + cases[i].probe;
        EXPECT_LT(distance(pixelAt(image, at.x(), at.y()), cases[i].expected), 8) << cases[i].name;
    }
}

TEST(PaintedButton, SizeComesFromTheLabelAndPadding) {
    const QString title = QStringLiteral("Send Feedback");
    const ButtonStyle base = baseStyle();  // padding 10 and 5
    const QFontMetrics m(base.font);
    const QFontMetricsF f(base.font);
    const int width = m.horizontalAdvance(title) + 20;
    struct Case {
        const char* name;
        std::optional<int> height;
        bool busy;
        double spinnerSide;
        QSize expected;
    };
    const std::vector<Case> cases = {
        {"label and padding", {}, false, 16, {width, m.height() + 10}},
        {"a height of its own", 38, false, 16, {width, 38}},
        {"a height of zero is kept", 0, false, 16, {width, 0}},
        // Busy, the label's box is the spinner's, never shorter than the line.
        {"busy: the spinner's box", {}, true, 40, {40 + 20, 40 + 10}},
        {"busy: a taller line wins", {}, true, 4, {4 + 20, m.height() + 10}},
    };
    for (const Case& c : cases) {
        ButtonStyle look = base;
        look.height = c.height;
        look.busySpinner.side = c.spinnerSide;
        PaintedButton button(title, [look] { return look; });
        button.setBusy(c.busy);
        EXPECT_EQ(button.sizeHint(), c.expected) << c.name;
    }
    ButtonStyle fractional = base;
    fractional.fractionalMetrics = true;
    fractional.padding = QSizeF(10.25, 5.25);
    EXPECT_EQ(PaintedButton(title, [fractional] { return fractional; }).sizeHint(),
              QSize(static_cast<int>(std::ceil(f.horizontalAdvance(title) + 20.5)),
                    static_cast<int>(std::ceil(f.height() + 10.5))));
}

TEST(PaintedButton, BusyDrawsTheSpinnerInsteadOfTheLabel) {
    ButtonStyle look = baseStyle();
    look.normal.fill = QColor();
    look.busySpinner.ink = QColor(0, 160, 0);
    PaintedButton button(QStringLiteral("Submit"), [look] { return look; });
    for (const bool busy : {false, true}) {
        button.setBusy(busy);
        button.resize(button.sizeHint());
        const QImage image =
            renderArtifact(button, busy ? "ui-painted-button-busy" : "ui-painted-button-label");
        bool label = false;
        bool spinner = false;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                label = label || distance(image.pixelColor(x, y), Qt::black) < 120;
                spinner = spinner || distance(image.pixelColor(x, y), look.busySpinner.ink) < 120;
            }
        }
        EXPECT_EQ(label, !busy);
        EXPECT_EQ(spinner, busy);
    }
}

TEST(PaintedButton, FocusRingOnlyForKeyboardFocus) {
    ButtonStyle look = baseStyle();
    look.focusRing = QColor(0, 160, 0);
    QWidget window;
    window.resize(120, 50);
    PaintedButton button(
        "", [look] { return look; }, &window);
    button.setFocusPolicy(Qt::TabFocus);
    button.setGeometry(10, 10, 80, 30);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto ringShown = [&] {
        const QImage image = renderArtifact(button, "ui-painted-button-focus");
        return distance(pixelAt(image, 1, 15), look.focusRing) < 60;
    };
    button.setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(button.hasFocus());
    EXPECT_FALSE(ringShown());
    button.clearFocus();
    button.setFocus(Qt::BacktabFocusReason);
    EXPECT_TRUE(ringShown());
    button.clearFocus();
    EXPECT_FALSE(ringShown());
}

}  // namespace
}  // namespace mivo::ui
