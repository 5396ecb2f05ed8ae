// The rewrite shortcut in the settings window on a real X server: a stored
// shortcut that another program holds is shown as not working, with a hint
// to record another; one recorded with the real keyboard puts it right; a
// key press without Ctrl, Alt or Super is refused with a line the user can
// read, not only a beep.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QTest>

#include "app/account_tone_wiring.hpp"
#include "desktop_session.hpp"
#include "platform/linux/qt/qt_scheduler.hpp"
#include "platform/linux/qt/qt_screens.hpp"
#include "platform/linux/x11/x11_hot_keys.hpp"
#include "platform/sim/captured_log.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "platform/sim/recorded_alerts.hpp"
#include "settings/idle_updates.hpp"
#include "settings/mivo_settings_store.hpp"
#include "settings/settings_cards.hpp"
#include "settings/settings_window_controller.hpp"
#include "settings/shortcut_recorder.hpp"
#include "tone/tone_hot_key.hpp"
#include "x_windows.hpp"

// Last: Xlib's macros clash with GoogleTest and Qt.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace mivo {
namespace {

using desktop_test::DesktopSession;
using desktop_test::IdleUpdates;
using desktop_test::screenshot;
using desktop_test::spinFor;
using desktop_test::waitUntil;
using linux_desktop::QtScheduler;
using linux_desktop::X11HotKeys;

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};

class ShortcutDesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (DesktopSession::instance() == nullptr)
            GTEST_SKIP() << DesktopSession::unavailableReason();
        other_.reset(XOpenDisplay(nullptr));
        ASSERT_NE(other_, nullptr);
        hotKeys_ = std::make_unique<X11HotKeys>(DesktopSession::instance()->desktop().x11());
        hotKey_ = std::make_unique<ToneHotKey>(*hotKeys_, scheduler_, log_);
        // The root's wiring of the hotkey, with Settings shown as Mivo shows it.
        wiring_ = std::make_unique<AccountToneWiring>(
            store_, alerts_, log_, AccountToneWiring::Account{},
            AccountToneWiring::Rewrite{
                .configureShortcut = [this](uint32_t k,
                                            uint32_t m) { return hotKey_->configure(k, m); },
                .start = [this] { return hotKey_->start(); },
                .stop = [this] { hotKey_->stop(); },
                .trigger = [] {},
            },
            AccountToneWiring::Views{
                .settings = {},
                .onboarding = {},
                .tray = {},
                .trayShortcut = [](const std::string&) {},
                .settingsShortcutActive =
                    [this](bool active) { controller_.model().setToneHotKeyActive(active); },
                .openSettings = {},
                .onboardingSigningIn = {},
            });
        store_.onToneHotKeyChanged = [this](const HotKeyConfig& h) {
            wiring_->handleToneHotKeyChanged(h);
        };
    }

    void TearDown() override {
        if (wiring_)
            wiring_->stopRewriteEngine();
        if (other_) {
            XUngrabKey(other_.get(), AnyKey, AnyModifier, DefaultRootWindow(other_.get()));
            XSync(other_.get(), False);
        }
        controller_.window().close();
        spinFor(0.1);
    }

    // Another program holds Shift+Super+J on the root window.
    void holdShiftSuperJ() {
        Display* d = other_.get();
        XGrabKey(d, XKeysymToKeycode(d, XK_j), ShiftMask | Mod4Mask, DefaultRootWindow(d), True,
                 GrabModeAsync, GrabModeAsync);
        XSync(d, False);
    }

    void press(std::initializer_list<KeySym> modifiers, KeySym key) {
        desktop_test::pressCombination(other_.get(), modifiers, key);
    }

    // A click in the middle of a widget, with the real pointer.
    void click(QWidget& widget) {
        const QPoint at = widget.mapToGlobal(widget.rect().center());
        const Point native = linux_desktop::logicalToNative(
            Point{static_cast<double>(at.x()), static_cast<double>(at.y())},
            linux_desktop::scaledScreens());
        Display* d = other_.get();
        XTestFakeMotionEvent(d, -1, static_cast<int>(native.x), static_cast<int>(native.y),
                             CurrentTime);
        XSync(d, False);
        spinFor(0.1);
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
        XSync(d, False);
    }

    QLabel* message() {
        return controller_.window().findChild<QLabel*>(QStringLiteral("shortcutMessage"));
    }
    ShortcutRecorder* recorder() {
        return controller_.window().findChild<ShortcutRecorder*>(
            QStringLiteral("shortcutRecorder"));
    }
    bool says(const char* text) {
        QLabel* label = message();
        return label != nullptr && label->isVisible() && label->text() == QString(text);
    }

    sim::CapturedLog log_;
    QtScheduler scheduler_;
    sim::MemoryUserDefaults defaults_;
    MivoSettingsStore store_{defaults_, scheduler_};
    IdleUpdates updates_;
    sim::RecordedAlerts alerts_;
    SettingsWindowController controller_{store_, updates_, defaults_, AppVersion{"0.1.0", "1"},
                                         alerts_};
    std::unique_ptr<Display, DisplayCloser> other_;
    std::unique_ptr<X11HotKeys> hotKeys_;
    std::unique_ptr<ToneHotKey> hotKey_;
    std::unique_ptr<AccountToneWiring> wiring_;
};

TEST_F(ShortcutDesktopTest, AStoredShortcutAnotherProgramHoldsIsShownNotActive) {
    holdShiftSuperJ();
    wiring_->applyStoredHotKey();
    wiring_->startRewriteEngine();
    ASSERT_EQ(alerts_.shown.size(), 1u);
    EXPECT_EQ(alerts_.shown[0].request.title, "Shortcut Unavailable");

    controller_.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&controller_.window(), 15000));
    ASSERT_NE(message(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return says(GeneralCard::notActiveMessage); }, 5))
        << "the taken shortcut is shown as if it worked";
    spinFor(0.3);
    screenshot("settings-shortcut-not-active.png");

    // The user records a free one with the keyboard: it works, and says so.
    ASSERT_NE(recorder(), nullptr);
    click(*recorder());
    ASSERT_TRUE(waitUntil([&] { return recorder()->isRecording(); }, 5));
    press({XK_Super_L, XK_Shift_L}, XK_k);
    ASSERT_TRUE(waitUntil([&] { return store_.toneHotKey().keyCode == 40; }, 5));
    EXPECT_TRUE(waitUntil([&] { return !message()->isVisible(); }, 5));
    EXPECT_TRUE(controller_.model().toneHotKeyActive());
}

TEST_F(ShortcutDesktopTest, AKeyWithoutCtrlAltOrSuperIsRefusedWithALineToRead) {
    wiring_->applyStoredHotKey();
    wiring_->startRewriteEngine();
    controller_.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&controller_.window(), 15000));
    ASSERT_NE(recorder(), nullptr);
    const HotKeyConfig before = store_.toneHotKey();
    click(*recorder());
    ASSERT_TRUE(waitUntil([&] { return recorder()->isRecording(); }, 5));
    press({XK_Shift_L}, XK_a);
    ASSERT_TRUE(waitUntil([&] { return !recorder()->isRecording(); }, 5));
    EXPECT_EQ(store_.toneHotKey(), before);
    EXPECT_TRUE(waitUntil([&] { return says(GeneralCard::refusedKeyMessage); }, 5))
        << "the refusal was only a beep";
    spinFor(0.3);
    screenshot("settings-shortcut-refused.png");
}

}  // namespace
}  // namespace mivo
