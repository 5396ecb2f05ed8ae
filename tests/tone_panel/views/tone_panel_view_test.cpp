#include <QTest>

#include "panel_harness.hpp"
#include "shared/resource_bundle.hpp"
#include "tone_panel/tone_controls.hpp"
#include "tone_panel/tone_theme.hpp"
#include "ui/bundle_symbols.hpp"

namespace mivo::testing {
namespace {

using Calls = std::vector<std::string>;

// The card's own background, away from every control.
QColor cardBackground(const QImage& image, const TonePanelView& view) {
    const QRect card = view.cardRect();
    return pixelAt(image, card.left() + 4, card.center().y());
}

std::size_t commandButtons(const PanelHarness& h) {
    std::size_t n = 0;
    for (QWidget* w : h.visible("")) {
        n += w->objectName().startsWith("commandButton.") ? 1 : 0;
    }
    return n;
}

class PanelStates : public BothSchemes {};

// The header's logo and the mark the tray, settings and onboarding draw are
// one drawing: their shapes agree pixel for pixel, give or take the edges.
TEST(TonePanelLogo, TheHeaderShowsTheSameMarkAsTheRestOfMivo) {
    const QImage header(QString::fromStdString(
        (sourceResourcesFolder() / "Mivo_Tone.bundle" / "mivo-logo.png").string()));
    ASSERT_FALSE(header.isNull());
    const auto mark = ui::brandLogo(header.size());
    ASSERT_TRUE(mark.has_value());
    int inked = 0;
    int differing = 0;
    for (int y = 0; y < header.height(); ++y) {
        for (int x = 0; x < header.width(); ++x) {
            const bool a = header.pixelColor(x, y).alpha() > 127;
            const bool b = mark->pixelColor(x, y).alpha() > 127;
            inked += a ? 1 : 0;
            differing += a != b ? 1 : 0;
        }
    }
    EXPECT_GT(inked, header.width() * header.height() / 10);
    EXPECT_LT(differing, inked / 20) << "the header's logo is another mark";
}

TEST_P(PanelStates, SignedOutOffersSignInAndNotNow) {
    PanelHarness h;
    h.box.setState(TonePanelState::signedOut());
    TonePanelView& view = h.make();
    const QImage image = h.save("signed-out", scheme());

    EXPECT_EQ(view.width(), 420);
    EXPECT_EQ(view.cardRect().width(), 400);
    EXPECT_TRUE(sameColour(cardBackground(image, view), ToneTheme::panelBackground()));
    EXPECT_EQ(h.text("title"), "Mivo Rewrite");
    EXPECT_NE(h.find("logo"), nullptr);
    EXPECT_EQ(h.text("signedOutTitle"), "Sign in to use AI rewrite");
    auto* subtitle = h.one<QLabel>("signedOutSubtitle");
    ASSERT_NE(subtitle, nullptr);
    EXPECT_EQ(subtitle->text(), "Improve, change tone, and translate your text.");
    EXPECT_GE(subtitle->height(), subtitle->heightForWidth(subtitle->width()));  // never cut
    auto* google = h.one<QAbstractButton>("googleSignIn");
    ASSERT_NE(google, nullptr);
    EXPECT_EQ(google->toolTip(), "Sign in with Google");
    EXPECT_GE(google->height(), 44);
    EXPECT_EQ(google->width(), TonePanelView::contentWidth);

    h.click("googleSignIn");
    h.click("notNowButton");
    h.click("closeButton");
    EXPECT_EQ(h.calls, (Calls{"sign in", "close", "close"}));
}

// Where nothing answers at the service's address, the panel says so, whole,
// before the user asks for a sign-in that would meet the same fault.
TEST_P(PanelStates, SignedOutSaysFirstWhyTheServiceCannotBeReached) {
    PanelHarness h;
    const std::string fault =
        "The server at http://127.0.0.2:8080 could not be reached (Connection refused). The "
        "stand-in web service (scripts/run.sh) listens on 127.0.0.1 only: write "
        "http://127.0.0.1:8080 in MIVO_API_URL.";
    h.box.setState(TonePanelState::signedOut(fault));
    TonePanelView& view = h.make();
    h.save("signed-out-unreachable", scheme());
    EXPECT_EQ(h.text("signedOutTitle"), "The rewrite service cannot be used");
    auto* reason = h.find<QWidget>("signedOutReason");
    ASSERT_NE(reason, nullptr);
    auto* words = reason->findChild<QLabel*>("messageText");
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(words->text().toStdString(), fault);
    EXPECT_GE(words->height(), words->heightForWidth(words->width()));  // never cut
    EXPECT_LE(view.cardRect().bottom(), view.height());
    h.click("googleSignIn");
    EXPECT_EQ(h.calls, (Calls{"sign in"}));
}

TEST_P(PanelStates, PickingImproveHasOneCommandThatStartsImprove) {
    PanelHarness h;
    TonePanelView& view = h.make();
    const QImage image = h.save("picking-improve", scheme());

    EXPECT_EQ(h.text("sourceCaption"), "Selected");
    // The caption and the inactive tabs are muted, yet read at 4.5:1.
    for (const char* muted : {"sourceCaption", "tab.tone", "tab.translate"}) {
        EXPECT_GE(drawnContrast(image, deviceRectIn(image, *h.one(muted), view)), 4.5) << muted;
    }
    EXPECT_EQ(commandButtons(h), 1u);
    auto* improve = h.one<QAbstractButton>("commandButton.improve");
    ASSERT_NE(improve, nullptr);
    EXPECT_EQ(improve->toolTip(), "Improve writing");
    // The three tabs share the column equally.
    for (const char* tab : {"tab.improve", "tab.tone", "tab.translate"}) {
        auto* t = h.one<RewriteActionTab>(tab);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->width(), 124) << tab;
        EXPECT_GE(t->height(), 38) << tab;
        EXPECT_TRUE(t->isEnabled());
    }
    EXPECT_TRUE(h.one<RewriteActionTab>("tab.improve")->isActive());

    h.click("commandButton.improve");
    EXPECT_EQ(h.calls, (Calls{"action improve"}));
}

TEST_P(PanelStates, PickingToneShowsTheChipsAndAChipChoosesItsRegister) {
    PanelHarness h;
    h.box.setSelectedAction(RewriteAction::tone);
    h.make();
    h.save("picking-tone", scheme());

    EXPECT_EQ(commandButtons(h), 0u);
    EXPECT_EQ(h.text("writingStyleCaption"), "Writing style");
    const char* chips[] = {"chip.casual", "chip.polite", "chip.formal_business"};
    for (int i = 0; i < 3; ++i) {
        auto* chip = h.one<RegisterChip>(chips[i]);
        ASSERT_NE(chip, nullptr);
        EXPECT_EQ(chip->geometry(), QRect(i * (118 + 8), 0, 118, 36)) << chips[i];
        EXPECT_EQ(chip->isActive(), i == 1) << chips[i];
    }
    h.click("chip.casual");
    EXPECT_EQ(h.calls, (Calls{"register casual selected casual"}));
    EXPECT_TRUE(h.one<RegisterChip>("chip.casual")->isActive());
}

TEST_P(PanelStates, PickingTranslateIsRefusedWithItsReason) {
    PanelHarness h;
    h.box.setSelectedAction(RewriteAction::translate);
    h.make();
    h.save("picking-translate", scheme());
    auto* translate = h.one<QAbstractButton>("commandButton.translate");
    ASSERT_NE(translate, nullptr);
    EXPECT_TRUE(translate->isEnabled());
    EXPECT_TRUE(h.visible("translateReason").empty());

    h.box.setTranslateUnavailableReason("This text is already Japanese.");
    PanelHarness::settle();
    h.save("picking-translate-refused", scheme());
    translate = h.one<QAbstractButton>("commandButton.translate");
    ASSERT_NE(translate, nullptr);
    EXPECT_FALSE(translate->isEnabled());
    EXPECT_EQ(h.text("translateReasonText"), "This text is already Japanese.");
    translate->click();
    EXPECT_TRUE(h.calls.empty());
}

TEST_P(PanelStates, ATabClickOnlyChangesTheHighlightedAction) {
    PanelHarness h;
    h.make();
    h.click("tab.translate");
    EXPECT_EQ(h.box.selectedAction(), RewriteAction::translate);
    EXPECT_TRUE(h.calls.empty());
    EXPECT_NE(h.one("commandButton.translate"), nullptr);
}

TEST_P(PanelStates, LoadingLocksTabsAndChipsAndSaysWhatRuns) {
    PanelHarness h;
    h.box.setSelectedAction(RewriteAction::tone);
    h.box.setSelectedRegister(Register::casual);
    h.box.setState(TonePanelState::loading(RewriteAction::tone, Register::formalBusiness, {}));
    h.make();
    h.save("loading-tone", scheme());

    EXPECT_EQ(h.text("loadingText"), "Rewriting as Formal Business...");
    EXPECT_EQ(h.visible("shimmer").size(), 2u);
    EXPECT_NE(h.one("spinner"), nullptr);
    for (const char* tab : {"tab.improve", "tab.tone", "tab.translate"}) {
        EXPECT_FALSE(h.one<QAbstractButton>(tab)->isEnabled()) << tab;
    }
    // The request's register, not the box's selection, is highlighted.
    EXPECT_TRUE(h.one<RegisterChip>("chip.formal_business")->isActive());
    EXPECT_FALSE(h.one<RegisterChip>("chip.casual")->isActive());
    h.one<QAbstractButton>("chip.polite")->click();
    h.one<QAbstractButton>("tab.improve")->click();
    EXPECT_TRUE(h.calls.empty());
    EXPECT_EQ(h.box.selectedRegister(), Register::casual);
    EXPECT_EQ(h.box.selectedAction(), RewriteAction::tone);

    h.box.setState(TonePanelState::loading(RewriteAction::tone, std::nullopt, {}));
    PanelHarness::settle();
    EXPECT_EQ(h.text("loadingText"), "Rewriting as selected tone...");
    EXPECT_TRUE(h.visible("registerChips").empty());

    h.box.setSelectedAction(RewriteAction::improve);
    h.box.setState(TonePanelState::loading(RewriteAction::improve, std::nullopt, {}));
    PanelHarness::settle();
    h.save("loading-improve", scheme());
    EXPECT_EQ(h.text("loadingText"), "Improving text...");
}

INSTANTIATE_TEST_SUITE_P(Schemes, PanelStates,
                         ::testing::Values(ui::ColorScheme::light, ui::ColorScheme::dark),
                         [](const auto& info) { return std::string(schemeName(info.param)); });

TEST(RewriteCommandButton, ALongTitleShrinksTo82PercentThenIsCut) {
    RewriteCommandButton shortTitle("Improve writing", "sparkles", false);
    shortTitle.resize(372, 54);
    EXPECT_DOUBLE_EQ(shortTitle.titleScale(), 1);
    RewriteCommandButton longTitle(QString(60, QChar('W')), "sparkles", false);
    longTitle.resize(372, 54);
    EXPECT_DOUBLE_EQ(longTitle.titleScale(), 0.82);
}

}  // namespace
}  // namespace mivo::testing
