#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>
#include <map>

#include "onboarding/animated_demo.hpp"
#include "onboarding/onboarding_carousel.hpp"
#include "onboarding/onboarding_controls.hpp"
#include "onboarding/onboarding_slides.hpp"
#include "onboarding/onboarding_store.hpp"
#include "onboarding/onboarding_theme.hpp"
#include "onboarding/onboarding_window_controller.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "ui_artifacts.hpp"

namespace mivo {
namespace {

using testing::deviceRectIn;
using testing::drawnContrast;
using testing::pixelAt;
using testing::renderArtifact;

const char* schemeName(ui::ColorScheme scheme);

class OnboardingWindowTest : public ::testing::Test {
  protected:
    void TearDown() override { ui::Appearance::shared().setOverride(ui::ColorScheme::light); }

    template <typename T = QAbstractButton>
    T* find(const char* name) {
        return controller.window().findChild<T*>(QString::fromLatin1(name));
    }
    QAbstractButton* forward() { return find("forwardButton"); }
    // Ends the running cross-fade and dot animations at once and lays out
    // what changed, as the event loop would.
    void settle() {
        for (auto* animation : controller.carousel().findChildren<QVariantAnimation*>()) {
            if (animation->state() == QAbstractAnimation::Running) {
                animation->setCurrentTime(animation->duration());
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
    void goTo(int index) {
        while (controller.model().index() < index) {
            controller.model().next();
        }
        while (controller.model().index() > index) {
            controller.model().back();
        }
        settle();
    }

    sim::MemoryUserDefaults defaults;
    OnboardingStore store{defaults, 1};
    sim::VirtualClock clock;
    OnboardingWindowController controller{store, clock};
};

TEST_F(OnboardingWindowTest, WindowIsFixedClosableAndTitled) {
    auto& window = controller.window();
    EXPECT_EQ(window.windowTitle(), "Welcome to Mivo");
    EXPECT_EQ(window.size(), QSize(720, 560));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    const auto flags = window.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(window.isVisible());  // the root shows it
}

TEST_F(OnboardingWindowTest, FitsTheScreensAvailableAreaLessTheFrame) {
    auto& window = controller.window();
    struct Row {
        QRect available;
        QMargins frame;
        QSize size;
        QPoint at;
    };
    const std::vector<Row> rows{
        // Room enough: 720 × 560, centred with its frame (the position is
        // the frame's).
        {{0, 0, 1280, 1000}, {1, 21, 1, 1}, {720, 560}, {279, 209}},
        // 1600 × 1000 at scale 2: 800 × 500 of Qt's pixels.
        {{0, 0, 800, 500}, {1, 21, 1, 1}, {720, 478}, {39, 0}},
        // 1280 × 1024 at scale 2, a panel at the top: narrower and lower.
        {{0, 24, 640, 488}, {4, 32, 4, 4}, {632, 452}, {0, 24}},
    };
    for (const Row& row : rows) {
        window.fitTo(row.available, row.frame);
        EXPECT_EQ(window.size(), row.size);
        EXPECT_EQ(window.minimumSize(), window.maximumSize());
        EXPECT_EQ(window.pos(), row.at);
    }
}

TEST_F(OnboardingWindowTest, InALowWindowTheSlidesScrollAndTheButtonsStayInView) {
    auto& window = controller.window();
    window.fitTo(QRect(0, 0, 640, 488), QMargins(4, 32, 4, 4));
    window.show();
    auto* scroll = find<QScrollArea>("slideScroll");
    ASSERT_NE(scroll, nullptr);
    const char* names[] = {"welcome", "how-it-works", "sign-in", "ready"};
    int scrolling = 0;
    for (auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
        ui::Appearance::shared().setOverride(scheme);
        for (int index = 0; index < 4; ++index) {
            goTo(index);
            QCoreApplication::processEvents();
            const QImage image =
                renderArtifact(controller.carousel(), std::string("onboarding-low-") +
                                                          names[index] + "-" + schemeName(scheme));
            // Inside the scroll area the slides keep their own colours.
            if (auto* title =
                    controller.carousel().currentSlide()->findChild<QLabel*>("slideTitle")) {
                const qreal ratio = image.devicePixelRatio();
                const QRect at(title->mapTo(&controller.carousel(), QPoint(0, 0)) * ratio,
                               title->size() * ratio);
                EXPECT_GE(drawnContrast(image, at), 4.5) << names[index];
            }
            const QRect inside = window.rect();
            for (const char* name :
                 {index == 0 ? "getStartedButton" : "forwardButton", "backButton"}) {
                if (index == 0 && std::string(name) == "backButton")
                    continue;
                auto* button = find(name);
                ASSERT_TRUE(button->isVisible()) << names[index] << " " << name;
                const QRect at(button->mapTo(&window, QPoint(0, 0)), button->size());
                EXPECT_TRUE(inside.contains(at)) << names[index] << " " << name;
                EXPECT_EQ(button->visibleRegion().boundingRect(), button->rect())
                    << names[index] << " " << name;
                // "Back" and "Skip for now" are the accent on its own pale
                // fill: still readable.
                if (std::string(name) == "backButton" || button->text() == "Skip for now") {
                    EXPECT_GE(
                        drawnContrast(image, deviceRectIn(image, *button, controller.carousel())),
                        4.5)
                        << names[index] << " " << name << " " << schemeName(scheme);
                }
            }
            if (scroll->verticalScrollBar()->maximum() > 0)
                ++scrolling;
        }
    }
    // The tallest slides do not fit 452 and scroll rather than cut.
    EXPECT_GT(scrolling, 0);
}

TEST_F(OnboardingWindowTest, AMinimisedWindowComesStraightBack) {
    auto& window = controller.window();
    controller.showCentered();
    window.setWindowState(window.windowState() | Qt::WindowMinimized);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(controller.hasFired()) << "coming back is no closing";
}

TEST_F(OnboardingWindowTest, EachWayOfClosingCompletesExactlyOnce) {
    enum class Way { done, closeButton, closeWindowCommand };
    for (Way way : {Way::done, Way::closeButton, Way::closeWindowCommand}) {
        sim::MemoryUserDefaults freshDefaults;
        OnboardingStore freshStore{freshDefaults, 1};
        OnboardingWindowController fresh(freshStore, clock);
        int finishes = 0;
        fresh.onFinish = [&] { ++finishes; };
        fresh.showCentered();
        ASSERT_TRUE(fresh.window().isVisible());
        if (way == Way::done) {
            for (int i = 0; i < 3; ++i) {
                fresh.model().next();
            }
            auto* done = fresh.window().findChild<QAbstractButton*>("forwardButton");
            ASSERT_EQ(done->text(), "Done");
            done->click();
        } else {
            // The title bar's close button and the application's Close
            // Window (Ctrl+W) both close the window.
            fresh.window().close();
        }
        EXPECT_FALSE(fresh.window().isVisible());
        EXPECT_EQ(finishes, 1) << static_cast<int>(way);
        EXPECT_TRUE(freshStore.hasCompleted());
        EXPECT_EQ(freshDefaults.object(OnboardingStore::schemaVersionKey),
                  DefaultsValue(std::int64_t{1}));
        // A second close, or Done again, records nothing more.
        fresh.window().show();
        fresh.window().close();
        fresh.model().next();
        EXPECT_EQ(finishes, 1);
        EXPECT_TRUE(fresh.hasFired());
    }
}

TEST_F(OnboardingWindowTest, FooterFollowsTheSlideAndTheAccount) {
    struct Case {
        int index;
        bool signedIn;
        const char* forward;
        OnboardingButton::Style style;
        const char* slide;
    };
    const std::vector<Case> cases = {
        {1, false, "Next", OnboardingButton::Style::primary, "howItWorksSlide"},
        {2, false, "Skip for now", OnboardingButton::Style::secondary, "signInSlide"},
        {2, true, "Next", OnboardingButton::Style::primary, "signInSlide"},
        {3, false, "Done", OnboardingButton::Style::primary, "readySlide"},
    };
    controller.showCentered();
    EXPECT_EQ(controller.carousel().currentSlide()->objectName(), "welcomeSlide");
    EXPECT_FALSE(controller.carousel().footer()->isVisible());
    for (const Case& c : cases) {
        controller.model().setSignedIn(c.signedIn);
        goTo(c.index);
        EXPECT_EQ(controller.carousel().currentSlide()->objectName(), c.slide);
        EXPECT_TRUE(controller.carousel().footer()->isVisible());
        EXPECT_TRUE(find("backButton")->isEnabled());
        auto* button = static_cast<OnboardingButton*>(forward());
        EXPECT_EQ(button->text(), c.forward) << c.index;
        EXPECT_EQ(button->style(), c.style) << c.index;
        EXPECT_EQ(find<PageDots>("pageDots")->index(), c.index);
    }
    find("backButton")->click();
    EXPECT_EQ(controller.model().index(), 2);
    goTo(1);
    find("backButton")->click();
    settle();
    EXPECT_FALSE(controller.carousel().footer()->isVisible());
}

TEST_F(OnboardingWindowTest, WelcomeGetStartedMovesOnWithACrossFade) {
    controller.showCentered();
    find("getStartedButton")->click();
    EXPECT_EQ(controller.model().index(), 1);
    auto* fade = controller.carousel().transition();
    EXPECT_EQ(fade->state(), QAbstractAnimation::Running);
    EXPECT_EQ(fade->duration(), 220);
    settle();
    EXPECT_EQ(fade->state(), QAbstractAnimation::Stopped);
}

TEST_F(OnboardingWindowTest, SignInButtonIgnoresPressesWhileSigningInAndSwapsWhenSignedIn) {
    int requests = 0;
    controller.model().onSignIn = [&] {
        ++requests;
        // The account service reports that a sign-in is under way.
        controller.model().setSigningIn(true);
    };
    controller.showCentered();
    goTo(2);
    auto* button = find("continueWithGoogleButton");
    auto* signedIn = find<QWidget>("signedInLabel");
    EXPECT_TRUE(button->isVisible());
    EXPECT_FALSE(signedIn->isVisible());
    button->click();
    button->click();
    EXPECT_EQ(requests, 1);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->text(), "Signing in… finish in your browser");
    // A failed or cancelled sign-in gives the button back.
    controller.model().setSigningIn(false);
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), "Continue with Google");
    button->click();
    EXPECT_EQ(requests, 2);
    controller.model().setSigningIn(false);
    controller.model().setSignedIn(true);
    EXPECT_FALSE(button->isVisible());
    EXPECT_TRUE(signedIn->isVisible());
    EXPECT_EQ(controller.model().index(), 2);  // still on the slide
    EXPECT_EQ(forward()->text(), "Next");
}

TEST_F(OnboardingWindowTest, SigningInTextIsReadableInLightAndDark) {
    controller.model().onSignIn = [&] { controller.model().setSigningIn(true); };
    controller.showCentered();
    goTo(2);
    auto* button = find("continueWithGoogleButton");
    button->click();
    ASSERT_EQ(button->text(), "Signing in… finish in your browser");
    for (auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
        ui::Appearance::shared().setOverride(scheme);
        settle();
        const QImage image = renderArtifact(
            controller.carousel(), std::string("onboarding-sign-in-waiting-") +
                                       (scheme == ui::ColorScheme::dark ? "dark" : "light"));
        const qreal ratio = image.devicePixelRatio();
        const QRect inButton(button->mapTo(&controller.carousel(), QPoint(0, 0)) * ratio,
                             button->size() * ratio);
        EXPECT_GE(drawnContrast(image, inButton), 4.5)
            << (scheme == ui::ColorScheme::dark ? "dark" : "light");
    }
    // Still resting: a second press starts nothing.
    EXPECT_FALSE(button->isEnabled());
}

TEST_F(OnboardingWindowTest, TryItNowKeepsTheWindowOpenAndTheBadgeShowsTheShortcut) {
    int opened = 0;
    controller.model().onTryItNow = [&] { ++opened; };
    controller.showCentered();
    goTo(3);
    find("tryItNowButton")->click();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(controller.window().isVisible());
    EXPECT_FALSE(controller.hasFired());
    auto* badge = find<ShortcutBadge>("shortcutBadge");
    EXPECT_EQ(badge->keys(), "Shift+Super+J");
    controller.model().setRewriteShortcutDisplay("Alt+Super+K");
    EXPECT_EQ(badge->keys(), "Alt+Super+K");
    // The ready slide names the Linux place where Mivo lives.
    QStringList texts;
    for (const QLabel* label : controller.window().findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("Find Mivo in the system tray"));
    EXPECT_TRUE(texts.contains(
        "Mivo lives in the system tray of your panel — click the Mivo icon any time."));
    EXPECT_FALSE(texts.join('\n').contains("menu bar"));

    // A desktop without a tray: the slide names where Mivo is reached.
    controller.model().setHasTray(false);
    texts.clear();
    for (const QLabel* label : controller.window().findChildren<QLabel*>())
        texts << label->text();
    EXPECT_FALSE(texts.join('\n').contains("system tray of your panel"));
    EXPECT_TRUE(texts.contains("Find Mivo in its Settings window"));
    EXPECT_TRUE(
        texts.contains("This desktop shows no system tray, so Mivo opens its Settings "
                       "window when you finish here; starting Mivo again brings it back."));
}

TEST_F(OnboardingWindowTest, DemonstrationRunsOnlyOnItsSlideAndRestartsOnReturn) {
    controller.showCentered();
    AnimatedDemo& demo = controller.carousel().howItWorksSlide().demo();
    EXPECT_FALSE(demo.player().isRunning());
    goTo(1);
    EXPECT_TRUE(demo.player().isRunning());
    clock.advance(3.0);
    EXPECT_EQ(demo.player().phase(), DemoPlayer::Phase::tooltip);
    goTo(2);
    EXPECT_FALSE(demo.player().isRunning());
    clock.advance(5.0);
    EXPECT_EQ(demo.player().phase(), DemoPlayer::Phase::tooltip);
    goTo(1);
    EXPECT_EQ(demo.player().phase(), DemoPlayer::Phase::typing);
    clock.advance(1.6);
    EXPECT_EQ(demo.player().phase(), DemoPlayer::Phase::underline);
    controller.window().close();
    EXPECT_FALSE(demo.player().isRunning());
}

TEST_F(OnboardingWindowTest, PhaseChangesFadeOverAThirdOfASecondAndTheCaretBlinks) {
    controller.showCentered();
    goTo(1);
    AnimatedDemo& demo = controller.carousel().howItWorksSlide().demo();
    EXPECT_DOUBLE_EQ(demo.transitionProgress(), 1.0);  // the first phase is shown at once
    EXPECT_DOUBLE_EQ(demo.caretOpacity(), 1.0);
    clock.advance(0.55);
    EXPECT_NEAR(demo.caretOpacity(), 0.0, 1e-6);  // faded out
    clock.advance(0.55);
    EXPECT_NEAR(demo.caretOpacity(), 1.0, 1e-6);  // and back
    clock.advance(0.5);                           // 1.6: underline
    EXPECT_DOUBLE_EQ(demo.transitionProgress(), 0.0);
    clock.advance(0.175);
    EXPECT_NEAR(demo.transitionProgress(), 0.5, 0.02);
    EXPECT_GT(demo.caretOpacity(), 0.0);  // still fading out
    clock.advance(0.2);
    EXPECT_DOUBLE_EQ(demo.transitionProgress(), 1.0);
    EXPECT_DOUBLE_EQ(demo.caretOpacity(), 0.0);
    EXPECT_LT(demo.squiggleRect().width(), 80);
    EXPECT_GT(demo.squiggleRect().width(), 20);
}

// MARK: - What it looks like

const char* schemeName(ui::ColorScheme scheme) {
    return scheme == ui::ColorScheme::dark ? "dark" : "light";
}

TEST_F(OnboardingWindowTest, EverySlideRendersInLightAndDark) {
    controller.showCentered();
    controller.model().onSignIn = [] {};
    const char* names[] = {"welcome", "how-it-works", "sign-in", "ready"};
    for (auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
        ui::Appearance::shared().setOverride(scheme);
        for (int index = 0; index < 4; ++index) {
            goTo(index);
            const QImage image =
                renderArtifact(controller.carousel(), std::string("onboarding-") + names[index] +
                                                          "-" + schemeName(scheme));
            // The window's own background in the corner, whatever the slide.
            EXPECT_EQ(pixelAt(image, 2, 2).rgb(),
                      OnboardingTheme::color(OnboardingColor::background, scheme).rgb())
                << names[index];
            if (index == 0) {
                auto* start = find("getStartedButton");
                const QPoint inButton = start->mapTo(&controller.carousel(), QPoint(4, 20));
                EXPECT_EQ(pixelAt(image, inButton.x(), inButton.y()).rgb(),
                          OnboardingTheme::color(OnboardingColor::primary, scheme).rgb());
            }
        }
        goTo(2);
        controller.model().setSigningIn(true);
        settle();
        renderArtifact(controller.carousel(),
                       std::string("onboarding-sign-in-signing-in-") + schemeName(scheme));
        controller.model().setSigningIn(false);
        controller.model().setSignedIn(true);
        settle();
        renderArtifact(controller.carousel(),
                       std::string("onboarding-sign-in-signed-in-") + schemeName(scheme));
        controller.model().setSignedIn(false);
    }
}

TEST_F(OnboardingWindowTest, DemonstrationPhasesRenderInLightAndDark) {
    struct Shot {
        double at;  // seconds after the slide appears; each phase settled
        const char* name;
    };
    const std::vector<Shot> shots = {
        {0.2, "typing"},        {2.2, "underline"},     {3.5, "tooltip"},
        {5.0, "applied"},       {6.7, "selected"},      {8.0, "tone-polite"},
        {9.5, "tone-business"}, {11.0, "tone-applied"}, {2.75, "tooltip-entering"},
    };
    controller.showCentered();
    for (auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
        ui::Appearance::shared().setOverride(scheme);
        for (const Shot& shot : shots) {
            goTo(0);
            goTo(1);  // restarts the demonstration
            AnimatedDemo& demo = controller.carousel().howItWorksSlide().demo();
            clock.advance(shot.at);
            const QImage image = renderArtifact(
                demo, std::string("onboarding-demo-") + shot.name + "-" + schemeName(scheme));
            const QRect card = demo.cardRect();
            EXPECT_EQ(pixelAt(image, card.left() + 8, card.bottom() - 8).rgb(),
                      OnboardingTheme::color(OnboardingColor::surface, scheme).rgb())
                << shot.name;
        }
    }
}

}  // namespace
}  // namespace mivo
