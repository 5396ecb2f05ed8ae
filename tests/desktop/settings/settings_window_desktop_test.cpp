// The settings window on a real X server under a real window manager: the
// frame the user left it at is where it opens after Mivo was closed and
// started again.

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "desktop_session.hpp"
#include "platform/json_file_user_defaults.hpp"
#include "platform/sim/captured_log.hpp"
#include "platform/sim/recorded_alerts.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "settings/idle_updates.hpp"
#include "settings/mivo_settings_store.hpp"
#include "settings/settings_window_controller.hpp"

namespace mivo {
namespace {

using desktop_test::DesktopSession;
using desktop_test::IdleUpdates;
using desktop_test::waitUntil;

// One run of Mivo as far as the settings window goes: the defaults read
// from their file, the store, the window.
struct MivoRun {
    explicit MivoRun(const std::filesystem::path& file)
        : defaults(file, log),
          store(defaults, clock),
          controller(store, updates, defaults, AppVersion{"0.1.0", "1"}, alerts) {}

    sim::CapturedLog log;
    JsonFileUserDefaults defaults;
    sim::VirtualClock clock;
    MivoSettingsStore store;
    IdleUpdates updates;
    sim::RecordedAlerts alerts;
    SettingsWindowController controller;
};

bool shownAt(QWidget& window, const QRect& frame) {
    return window.isVisible() && window.geometry() == frame;
}

TEST(SettingsWindowDesktop, FrameSurvivesClosingAndReopeningMivo) {
    if (DesktopSession::instance() == nullptr) {
        GTEST_SKIP() << DesktopSession::unavailableReason();
    }
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const std::filesystem::path file = home.filePath("Mivo/defaults.json").toStdString();

    QRect placed;
    {
        MivoRun first(file);
        SettingsWindow& window = first.controller.window();
        first.controller.present();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 15000));
        // The user drags and resizes it; the window manager has the last word
        // on where it lands, so the test keeps what the window reports.
        const QRect wanted(140, 120, 900, 690);
        window.setGeometry(wanted);
        ASSERT_TRUE(waitUntil([&] { return window.geometry().size() == wanted.size(); }, 5));
        waitUntil([&] { return window.geometry() == wanted; }, 2);
        placed = window.geometry();
        window.close();
        ASSERT_TRUE(waitUntil([&] { return !window.isVisible(); }, 5));
        EXPECT_EQ(first.defaults.string(SettingsWindowController::frameKey),
                  SettingsWindowController::formatFrame(placed));
    }
    // Mivo quits; the next run reads the file afresh.
    MivoRun second(file);
    SettingsWindow& window = second.controller.window();
    second.controller.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 15000));
    EXPECT_TRUE(waitUntil([&] { return shownAt(window, placed); }, 5))
        << "opened at " << SettingsWindowController::formatFrame(window.geometry()) << ", left at "
        << SettingsWindowController::formatFrame(placed);
}

TEST(SettingsWindowDesktop, FirstOpeningIsCentredAndClosingKeepsMivoRunning) {
    if (DesktopSession::instance() == nullptr) {
        GTEST_SKIP() << DesktopSession::unavailableReason();
    }
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    MivoRun run(std::filesystem::path(home.filePath("defaults.json").toStdString()));
    SettingsWindow& window = run.controller.window();
    bool quit = false;
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&] { quit = true; });
    run.controller.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 15000));
    const QRect available = window.screen()->availableGeometry();
    // Centred on the client area; the window manager's frame may shift it a
    // little.
    EXPECT_LE((window.geometry().center() - available.center()).manhattanLength(), 40);
    window.close();
    desktop_test::spinFor(0.2);
    EXPECT_FALSE(quit);
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace mivo
