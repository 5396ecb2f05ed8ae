#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "fake_update_preferences.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "platform/sim/recorded_alerts.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "settings/mivo_settings_store.hpp"
#include "settings/settings_screen.hpp"
#include "settings/settings_window_controller.hpp"
#include "ui_artifacts.hpp"

namespace mivo {
namespace {

using Controller = SettingsWindowController;

class SettingsWindowTest : public ::testing::Test {
  protected:
    std::unique_ptr<Controller> makeController() {
        return std::make_unique<Controller>(store, updates, defaults, AppVersion{"0.1.0", "1"},
                                            alerts);
    }

    sim::MemoryUserDefaults defaults;
    sim::VirtualClock clock;
    MivoSettingsStore store{defaults, clock};
    testing::FakeUpdatePreferences updates;
    sim::RecordedAlerts alerts;
};

TEST_F(SettingsWindowTest, FirstPresentationCentresTheContentSizedWindow) {
    auto controller = makeController();
    EXPECT_FALSE(controller->window().isVisible());
    controller->present();
    SettingsWindow& window = controller->window();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Settings");
    EXPECT_EQ(window.size(), QSize(800, 640));
    // The minimum is the content's own size, not the frame's.
    EXPECT_EQ(window.minimumSize(), QSize(720, 560));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window.geometry().center() - available.center()).manhattanLength(), 2);
    EXPECT_FALSE(window.testAttribute(Qt::WA_QuitOnClose));
    mivo::testing::renderArtifact(window, "settings-window-general-light");
}

TEST_F(SettingsWindowTest, FrameIsSavedOnMoveResizeAndHideAndRestoredByANewWindow) {
    const QRect moved(40, 30, 900, 700);
    {
        auto controller = makeController();
        controller->present();
        controller->window().setGeometry(moved);
        EXPECT_EQ(defaults.string(Controller::frameKey), "40 30 900 700");
        controller->window().close();
        EXPECT_FALSE(controller->window().isVisible());
        EXPECT_EQ(defaults.string(Controller::frameKey), "40 30 900 700");
        // Closing only hid it: the same window and model come back.
        controller->model().editFeedbackText("half-written");
        controller->present();
        EXPECT_EQ(controller->window().geometry(), moved);
        EXPECT_EQ(controller->model().feedbackText(), "half-written");
    }
    auto reopened = makeController();
    reopened->present();
    EXPECT_EQ(reopened->window().geometry(), moved);
}

TEST_F(SettingsWindowTest, AVisibleWindowIsNeverMovedByPresent) {
    auto controller = makeController();
    controller->present();
    controller->window().setGeometry(QRect(10, 20, 760, 600));
    defaults.remove(Controller::frameKey);
    controller->present();
    EXPECT_EQ(controller->window().geometry(), QRect(10, 20, 760, 600));
}

TEST_F(SettingsWindowTest, UnusableSavedFramesAreIgnored) {
    for (const char* text : {"", "garbage", "1 2 3", "1 2 3 4 5", "0 0 -5 600", "0 0 800 0",
                             "99999999999 0 800 600", "50000 50000 800 600"}) {
        defaults.set(Controller::frameKey, std::string(text));
        auto controller = makeController();
        // The window keeps its content size and opens centred.
        EXPECT_EQ(controller->window().size(), QSize(800, 640)) << text;
        controller->present();
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_LE((controller->window().geometry().center() - available.center()).manhattanLength(),
                  2)
            << text;
    }
}

TEST(SettingsFrameText, RoundTripsAndRejectsMalformedText) {
    EXPECT_EQ(Controller::parseFrame("-20 15 800 640"), QRect(-20, 15, 800, 640));
    EXPECT_EQ(Controller::parseFrame(Controller::formatFrame(QRect(3, 4, 720, 560))),
              QRect(3, 4, 720, 560));
    EXPECT_EQ(Controller::parseFrame("1 2 3 x"), std::nullopt);
    EXPECT_EQ(Controller::parseFrame("1 2 3 4 extra"), std::nullopt);
}

TEST_F(SettingsWindowTest, ASmallSavedFrameGrowsToTheMinimum) {
    defaults.set(Controller::frameKey, std::string("10 10 300 200"));
    auto controller = makeController();
    controller->present();
    EXPECT_GE(controller->window().width(), 720);
    EXPECT_GE(controller->window().height(), 560);
}

}  // namespace
}  // namespace mivo
