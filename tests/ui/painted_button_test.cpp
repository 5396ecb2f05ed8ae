#include "ui/painted_button.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>

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
    struct Case {
        const char* name;
        std::function<void(ButtonStyle&)> restyle;
        bool down;
        bool enabled;
        QPoint probe;  // in an 80 × 30 button; x 3 lies outside a held fill
        QColor expected;
    };
    const std::vector<Case> cases = {
        {"resting", {}, false, true, {3, 15}, red},
        {"held", {}, true, true, {12, 15}, blue},
        {"held shrinks", {}, true, true, {3, 15}, white},
        {"disabled", {}, false, false, {3, 15}, QColor(255, 128, 128)},
        // A disabled button never looks held: no pressed fill, no shrinking.
        {"held while disabled", {}, true, false, {3, 15}, QColor(255, 128, 128)},
        {"outline",
         [](ButtonStyle& s) { s.normal.outline = QColor(0, 160, 0); },
         false,
         true,
         {0, 15},
         QColor(0, 160, 0)},
        {"outline keeps the fill inside",
         [](ButtonStyle& s) { s.normal.outline = Qt::green; },
         false,
         true,
         {3, 15},
         red},
        {"no fill", [](ButtonStyle& s) { s.normal.fill = QColor(); }, false, true, {3, 15}, white},
        // The whole button's opacity and the disabled one multiply.
        {"faded and disabled",
         [](ButtonStyle& s) { s.opacity = 0.5; },
         false,
         false,
         {3, 15},
         QColor(255, 191, 191)},
        {"held fades",
         [](ButtonStyle& s) { s.pressedOpacity = 0.5; },
         true,
         true,
         {12, 15},
         QColor(128, 128, 255)},
        {"held without a scale",
         [](ButtonStyle& s) { s.pressedScale = 1; },
         true,
         true,
         {3, 15},
         blue},
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
        if (c.restyle) {
            c.restyle(look);
        }
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
    QFont small = QApplication::font();
    small.setPixelSize(8);
    const QString title = QStringLiteral("Send Feedback");
    struct Case {
        const char* name;
        std::function<void(ButtonStyle&)> restyle;
        bool busy;
        std::function<QSize(const ButtonStyle&)> expected;
    };
    const std::vector<Case> cases = {
        {"label and padding",
         {},
         false,
         [&](const ButtonStyle& s) {
             const QFontMetrics m(s.font);
             return QSize(m.horizontalAdvance(title) + 20, m.height() + 10);
         }},
        {"a height of its own", [](ButtonStyle& s) { s.height = 38; }, false,
         [&](const ButtonStyle& s) {
             return QSize(QFontMetrics(s.font).horizontalAdvance(title) + 20, 38);
         }},
        {"a height of zero is kept", [](ButtonStyle& s) { s.height = 0; }, false,
         [&](const ButtonStyle& s) {
             return QSize(QFontMetrics(s.font).horizontalAdvance(title) + 20, 0);
         }},
        {"fractions rounded up",
         [](ButtonStyle& s) {
             s.fractionalMetrics = true;
             s.padding = QSizeF(10.25, 5.25);
         },
         false,
         [&](const ButtonStyle& s) {
             const QFontMetricsF m(s.font);
             return QSize(static_cast<int>(std::ceil(m.horizontalAdvance(title) + 20.5)),
                          static_cast<int>(std::ceil(m.height() + 10.5)));
         }},
        // Busy, the label's box is the spinner's, never shorter than the line.
        {"busy: the spinner's box", [&](ButtonStyle& s) { s.font = small; }, true,
         [](const ButtonStyle&) { return QSize(16 + 20, 16 + 10); }},
        {"busy: a taller line wins", [](ButtonStyle& s) { s.busySpinner.side = 4; }, true,
         [](const ButtonStyle& s) { return QSize(4 + 20, QFontMetrics(s.font).height() + 10); }},
    };
    for (const Case& c : cases) {
        ButtonStyle look = baseStyle();
        if (c.restyle) {
            c.restyle(look);
        }
        PaintedButton button(title, [look] { return look; });
        button.setBusy(c.busy);
        EXPECT_EQ(button.sizeHint(), c.expected(look)) << c.name;
        EXPECT_EQ(button.minimumSizeHint(), button.sizeHint()) << c.name;
    }
}

TEST(PaintedButton, BusyDrawsTheSpinnerInsteadOfTheLabel) {
    ButtonStyle look = baseStyle();
    look.normal.fill = QColor();
    look.busySpinner.ink = QColor(0, 160, 0);
    PaintedButton button(QStringLiteral("Submit"), [look] { return look; });
    auto count = [&](const QImage& image, const QColor& colour) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                n += distance(image.pixelColor(x, y), colour) < 120;
            }
        }
        return n;
    };
    for (const bool busy : {false, true}) {
        button.setBusy(busy);
        button.resize(button.sizeHint());
        const QImage image =
            renderArtifact(button, busy ? "ui-painted-button-busy" : "ui-painted-button-label");
        EXPECT_EQ(count(image, Qt::black) > 0, !busy) << busy;
        EXPECT_EQ(count(image, look.busySpinner.ink) > 0, busy) << busy;
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
