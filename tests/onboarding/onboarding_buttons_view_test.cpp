#include <gmock/gmock.h>

#include <QImage>
#include <QPainter>

#include "onboarding/onboarding_controls.hpp"
#include "onboarding/onboarding_theme.hpp"

namespace mivo {
namespace {

// The button drawn over white, so translucent fills show what they blend to.
QColor fillOf(OnboardingButton& button) {
    button.resize(button.sizeHint());
    QImage image(button.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    button.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    // Left of the label, clear of the rounded corners.
    return image.pixelColor(6, button.height() / 2);
}

QColor over(const QColor& top, double opacity, const QColor& bottom) {
    const double a = top.alphaF() * opacity;
    return QColor::fromRgbF(static_cast<float>(top.redF() * a + bottom.redF() * (1 - a)),
                            static_cast<float>(top.greenF() * a + bottom.greenF() * (1 - a)),
                            static_cast<float>(top.blueF() * a + bottom.blueF() * (1 - a)));
}

void expectNear(const QColor& actual, const QColor& expected, const std::string& what) {
    EXPECT_NEAR(actual.red(), expected.red(), 2) << what;
    EXPECT_NEAR(actual.green(), expected.green(), 2) << what;
    EXPECT_NEAR(actual.blue(), expected.blue(), 2) << what;
}

TEST(OnboardingButtonStyles, FillsFollowPressedAndEnabledInBothAppearances) {
    struct Case {
        OnboardingButton::Style style;
        bool pressed;
        bool enabled;
        OnboardingColor fill;
        double fillOpacity;  // of the fill colour itself
        const char* what;
    };
    using Style = OnboardingButton::Style;
    const std::vector<Case> cases = {
        {Style::primary, false, true, OnboardingColor::primary, 1.0, "primary"},
        {Style::primary, true, true, OnboardingColor::primaryPressed, 1.0, "primary pressed"},
        // Disabled keeps its blue, at 40 %.
        {Style::primary, false, false, OnboardingColor::primary, 0.4, "primary disabled"},
        {Style::secondary, false, true, OnboardingColor::primary, 0.08, "secondary"},
        {Style::secondary, true, true, OnboardingColor::primary, 0.14, "secondary pressed"},
        {Style::secondary, false, false, OnboardingColor::primary, 0.08 * 0.4,
         "secondary disabled"},
    };
    for (auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
        ui::Appearance::shared().setOverride(scheme);
        for (const Case& c : cases) {
            OnboardingButton button(QStringLiteral("Next"), c.style);
            button.setEnabled(c.enabled);
            button.setDown(c.pressed);
            const QColor expected =
                over(OnboardingTheme::color(c.fill, scheme), c.fillOpacity, Qt::white);
            expectNear(fillOf(button), expected,
                       std::string(c.what) + (scheme == ui::ColorScheme::dark ? " dark" : ""));
        }
    }
    ui::Appearance::shared().setOverride(ui::ColorScheme::light);
}

TEST(OnboardingButtonStyles, PaddingAndHeightPerStyle) {
    OnboardingButton primary(QStringLiteral("Done"), OnboardingButton::Style::primary);
    OnboardingButton secondary(QStringLiteral("Done"), OnboardingButton::Style::secondary);
    EXPECT_EQ(primary.sizeHint().height(), 40);
    EXPECT_EQ(secondary.sizeHint().height(), 40);
    // 22 on each side against 18.
    EXPECT_EQ(primary.sizeHint().width() - secondary.sizeHint().width(), 8);
}

TEST(OnboardingSymbols, EverySymbolTheSlidesUseIsDrawn) {
    for (const char* name : {"wand.and.stars", "person.crop.circle", "checkmark.seal",
                             "checkmark.circle.fill", "arrow.up.right", "character.cursor.ibeam"}) {
        EXPECT_TRUE(hasOnboardingSymbol(name)) << name;
        const QImage image = onboardingSymbol(name, 28, Qt::red).toImage();
        int inked = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                inked += image.pixelColor(x, y).alpha() > 128;
            }
        }
        EXPECT_GT(inked, 20) << name;
    }
    EXPECT_FALSE(hasOnboardingSymbol("no.such.symbol"));
    EXPECT_TRUE(onboardingBrandLogo(QSize(72, 72)).has_value());
}

}  // namespace
}  // namespace mivo
