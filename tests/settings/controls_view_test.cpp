#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include "settings/settings_buttons.hpp"
#include "settings/settings_controls.hpp"
#include "settings/settings_symbols.hpp"
#include "settings/settings_theme.hpp"
#include "settings/settings_toggle.hpp"
#include "ui_artifacts.hpp"

namespace mivo {
namespace {

using mivo::testing::pixelAt;
using mivo::testing::renderArtifact;
using Theme = MivoSettingsTheme;

// Colour distance, so probes tolerate antialiasing.
int distance(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

// `color` drawn at its alpha over `under`.
QColor over(const QColor& color, const QColor& under) {
    const double a = color.alphaF();
    return QColor::fromRgbF(static_cast<float>(color.redF() * a + under.redF() * (1 - a)),
                            static_cast<float>(color.greenF() * a + under.greenF() * (1 - a)),
                            static_cast<float>(color.blueF() * a + under.blueF() * (1 - a)));
}

class Scheme : public ::testing::TestWithParam<ui::ColorScheme> {
  protected:
    void SetUp() override { ui::Appearance::shared().setOverride(GetParam()); }
    void TearDown() override { ui::Appearance::shared().setOverride(ui::ColorScheme::light); }
    std::string suffix() const { return GetParam() == ui::ColorScheme::dark ? "dark" : "light"; }
};

TEST_P(Scheme, ColoursFollowTheAppearance) {
    // The dark pressed colour is lighter than primary, the light one darker.
    const QColor primary = Theme::primary();
    const QColor pressed = Theme::primaryPressed();
    if (GetParam() == ui::ColorScheme::dark) {
        EXPECT_GT(pressed.lightness(), primary.lightness());
        EXPECT_LT(Theme::surface().lightness(), 60);
    } else {
        EXPECT_LT(pressed.lightness(), primary.lightness());
        EXPECT_EQ(Theme::surface(), QColor(Qt::white));
    }
    EXPECT_NEAR(Theme::textPrimary().alphaF(), 0.92, 0.01);
    EXPECT_NEAR(Theme::withOpacity(Theme::borderSubtle(), 0.5).alphaF(),
                Theme::borderSubtle().alphaF() * 0.5, 0.01);
}

TEST_P(Scheme, ButtonStylesFillsAndDimming) {
    QWidget host;
    host.setAutoFillBackground(true);
    QPalette p = host.palette();
    p.setColor(QPalette::Window, Theme::surface());
    host.setPalette(p);
    host.resize(520, 60);
    auto* primary =
        new SettingsButton("Continue with Google", SettingsButton::Style::primary, &host);
    auto* secondary = new SettingsButton("Sign Out", SettingsButton::Style::secondary, &host);
    auto* destructive =
        new SettingsButton("Request Account Deletion", SettingsButton::Style::destructive, &host);
    auto* disabled = new SettingsButton("Check Now", SettingsButton::Style::primary, &host);
    disabled->setEnabled(false);
    int x = 8;
    for (SettingsButton* b : {primary, secondary, destructive, disabled}) {
        b->resize(b->sizeHint());
        b->move(x, 10);
        x += b->width() + 8;
    }
    host.resize(x, 60);
    EXPECT_EQ(primary->height(), 38);
    EXPECT_GT(primary->width(), 36);
    const QImage image = renderArtifact(host, "settings-buttons-" + suffix());
    const QColor surface = Theme::surface();
    // Probe a little inside the left edge, where no text is drawn.
    EXPECT_LT(distance(pixelAt(image, primary->x() + 4, 29), Theme::primary()), 12);
    EXPECT_LT(distance(pixelAt(image, secondary->x() + 4, 29),
                       over(Theme::withOpacity(Theme::primary(), 0.08), surface)),
              12);
    EXPECT_LT(distance(pixelAt(image, destructive->x() + 4, 29),
                       over(Theme::withOpacity(Theme::error(), 0.08), surface)),
              12);
    // A disabled primary button keeps its fill at half opacity.
    EXPECT_LT(distance(pixelAt(image, disabled->x() + 4, 29),
                       over(Theme::withOpacity(Theme::primary(), 0.5), surface)),
              12);
}

TEST_P(Scheme, ToggleFlipsOnClickAndFollowsChangesFromElsewhere) {
    MivoSettingsToggle toggle("Enable Mivo");
    toggle.resize(toggle.sizeHint());
    EXPECT_EQ(toggle.trackRect().size(), QSize(48, 28));
    EXPECT_EQ(toggle.accessibleName(), "Enable Mivo");
    QSignalSpy flips(&toggle, &MivoSettingsToggle::toggledByUser);

    QImage off = renderArtifact(toggle, "settings-toggle-off-" + suffix());
    // Off: the knob at the left end is white, the right end shows the track.
    EXPECT_EQ(pixelAt(off, 3 + 3 + 11, 17), QColor(Qt::white));
    EXPECT_GT(distance(pixelAt(off, 3 + 48 - 3 - 11, 17), QColor(Qt::white)), 10);

    QTest::mouseClick(&toggle, Qt::LeftButton);
    ASSERT_EQ(flips.count(), 1);
    EXPECT_TRUE(flips.takeFirst().at(0).toBool());
    EXPECT_TRUE(toggle.isOn());
    EXPECT_DOUBLE_EQ(toggle.knobProgress(), 1.0);  // not shown: no slide
    QImage on = renderArtifact(toggle, "settings-toggle-on-" + suffix());
    EXPECT_EQ(pixelAt(on, 3 + 48 - 3 - 11, 17), QColor(Qt::white));
    EXPECT_LT(distance(pixelAt(on, 3 + 6, 6), Theme::primary()), 40);

    // A change from elsewhere slides the knob and reports nothing.
    toggle.show();
    toggle.setOn(false);
    EXPECT_EQ(flips.count(), 0);
    EXPECT_GT(toggle.knobProgress(), 0.0);
    QTRY_COMPARE_WITH_TIMEOUT(toggle.knobProgress(), 0.0, 2000);
}

TEST_P(Scheme, PillCardAndTabLooks) {
    SettingsPill pill("Active", SettingsColor::primarySurface, SettingsColor::primaryPressed);
    pill.resize(pill.sizeHint());
    const QImage pillImage = renderArtifact(pill, "settings-pill-" + suffix());
    EXPECT_LT(distance(pixelAt(pillImage, pill.width() / 2, 2), Theme::primarySurface()), 6);
    // The capsule's corner is outside the shape.
    EXPECT_GT(distance(pixelAt(pillImage, 0, 0), Theme::primarySurface()), 6);

    QWidget sidebar;
    sidebar.resize(178, 2 * 42 + 10);
    SettingsTabButton selected(SettingsCategory::general, &sidebar);
    SettingsTabButton idle(SettingsCategory::privacy, &sidebar);
    selected.setGeometry(0, 0, 178, 42);
    idle.setGeometry(0, 52, 178, 42);
    selected.setSelected(true);
    EXPECT_TRUE(hasSettingsSymbol("power"));
    const QImage tabs = renderArtifact(sidebar, "settings-tabs-" + suffix());
    EXPECT_LT(distance(pixelAt(tabs, 170, 21), Theme::primarySurface()), 6);
    // The symbol is drawn in the selected colour.
    bool symbolSeen = false;
    for (int x = 12; x < 30 && !symbolSeen; ++x) {
        for (int y = 13; y < 29 && !symbolSeen; ++y) {
            symbolSeen = distance(pixelAt(tabs, x, y), Theme::primaryPressed()) < 60;
        }
    }
    EXPECT_TRUE(symbolSeen);
}

INSTANTIATE_TEST_SUITE_P(LightAndDark, Scheme,
                         ::testing::Values(ui::ColorScheme::light, ui::ColorScheme::dark),
                         [](const auto& info) {
                             return info.param == ui::ColorScheme::dark ? "dark" : "light";
                         });

TEST(SettingsTabButtonFocus, RingOnlyForKeyboardFocus) {
    QWidget window;
    window.resize(200, 60);
    SettingsTabButton tab(SettingsCategory::about, &window);
    tab.setGeometry(10, 10, 178, 42);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // The ring runs along the inside of the left edge, mid-height.
    auto ringShown = [&] {
        const QImage image = renderArtifact(tab, "settings-tab-focus");
        return distance(pixelAt(image, 1, 21), Theme::primary()) < 40;
    };
    tab.setFocus(Qt::ActiveWindowFocusReason);
    ASSERT_TRUE(tab.hasFocus());
    EXPECT_FALSE(ringShown());
    tab.clearFocus();
    tab.setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(ringShown());
    tab.clearFocus();
    EXPECT_FALSE(ringShown());
}

TEST(SettingsSymbols, EverySymbolTheWindowNamesIsInTheBundle) {
    for (SettingsCategory category : allSettingsCategories()) {
        EXPECT_TRUE(hasSettingsSymbol(symbolName(category))) << symbolName(category);
    }
    EXPECT_TRUE(hasSettingsSymbol("keyboard"));
    EXPECT_TRUE(hasSettingsSymbol("record.circle"));
    EXPECT_FALSE(hasSettingsSymbol("no.such.symbol"));
    EXPECT_TRUE(settingsSymbol("no.such.symbol", 16, Qt::black).isNull());
}

}  // namespace
}  // namespace mivo
