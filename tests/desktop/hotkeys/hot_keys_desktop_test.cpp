// The rewrite shortcut on a real X server: key presses posted through XTest
// from another client, lock keys switched on through XKB, and a second
// client that holds a combination first.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "desktop_session.hpp"
#include "platform/linux/qt/qt_scheduler.hpp"
#include "platform/linux/x11/x11_connection.hpp"
#include "platform/linux/x11/x11_hot_keys.hpp"
#include "platform/sim/captured_log.hpp"
#include "shared/hotkey_config.hpp"
#include "tone/tone_hot_key.hpp"
#include "x_windows.hpp"

// Xlib after Qt: its macros clash with Qt's headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace mivo::linux_desktop {
namespace {

constexpr uint32_t kK = 40;
constexpr uint32_t kCmdShift = HotKeyConfig::commandMask | HotKeyConfig::shiftMask;

using desktop_test::waitUntil;

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

class HotKeysDesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "no X display";
        x11 = X11Connection::open(log);
        other.reset(XOpenDisplay(nullptr));
        ASSERT_NE(x11, nullptr);
        ASSERT_NE(other, nullptr);
        hotKeys = std::make_unique<X11HotKeys>(*x11);
        hotKey = std::make_unique<ToneHotKey>(*hotKeys, scheduler, log);
        hotKey->onPressed = [this] { ++presses; };
    }

    void TearDown() override {
        if (other)
            lockModifiers(LockMask | Mod2Mask, false);
    }

    // The user presses the modifiers, then the key, and lets go in reverse.
    void press(std::initializer_list<KeySym> modifiers, KeySym key) {
        desktop_test::pressCombination(other.get(), modifiers, key);
    }

    void pressSuperShift(KeySym key) { press({XK_Super_L, XK_Shift_L}, key); }

    void lockModifiers(unsigned int mask, bool on) {
        XkbLockModifiers(other.get(), XkbUseCoreKbd, mask, on ? mask : 0);
        XSync(other.get(), False);
    }

    // Another client grabs the combination on the root window; answers
    // whether the server gave it.
    bool otherClientGrabs(KeySym key, unsigned int modifiers) {
        Display* d = other.get();
        static bool refused;
        refused = false;
        const auto previous = XSetErrorHandler([](Display*, XErrorEvent* e) {
            refused = refused || e->error_code == BadAccess;
            return 0;
        });
        XGrabKey(d, XKeysymToKeycode(d, key), modifiers, DefaultRootWindow(d), True, GrabModeAsync,
                 GrabModeAsync);
        XSync(d, False);
        XSetErrorHandler(previous);
        return !refused;
    }

    sim::CapturedLog log;
    QtScheduler scheduler;
    std::unique_ptr<X11Connection> x11;
    DisplayPtr other;
    std::unique_ptr<X11HotKeys> hotKeys;
    std::unique_ptr<ToneHotKey> hotKey;
    int presses = 0;
};

TEST_F(HotKeysDesktopTest, SuperShiftJArrivesOncePerPress) {
    ASSERT_TRUE(hotKey->start());
    // The log names the grab in X's numbers: this keyboard's keycode of J.
    const std::string registered = "[Mivo][Tone] Registered system hotkey (keycode=" +
                                   std::to_string(XKeysymToKeycode(other.get(), XK_j)) +
                                   " modifiers=" + std::to_string(ShiftMask | Mod4Mask) + ")";
    EXPECT_EQ(log.count(registered), 1u) << registered;
    pressSuperShift(XK_j);
    ASSERT_TRUE(waitUntil([&] { return presses >= 1; }));
    pressSuperShift(XK_j);
    ASSERT_TRUE(waitUntil([&] { return presses >= 2; }));
    // Other combinations of the key are not the shortcut; the one after
    // them is, and the count shows nothing came in between.
    press({XK_Super_L}, XK_j);
    press({XK_Shift_L}, XK_j);
    pressSuperShift(XK_j);
    ASSERT_TRUE(waitUntil([&] { return presses >= 3; }));
    EXPECT_EQ(presses, 3);
}

TEST_F(HotKeysDesktopTest, CapsLockAndNumLockDoNotStopTheShortcut) {
    ASSERT_TRUE(hotKey->start());
    int expected = 0;
    for (unsigned int locks : {static_cast<unsigned int>(LockMask), Mod2Mask | 0u,
                               static_cast<unsigned int>(LockMask | Mod2Mask)}) {
        SCOPED_TRACE(locks);
        lockModifiers(locks, true);
        pressSuperShift(XK_j);
        ++expected;
        EXPECT_TRUE(waitUntil([&] { return presses >= expected; }));
        lockModifiers(locks, false);
    }
    EXPECT_EQ(presses, expected);
}

TEST_F(HotKeysDesktopTest, ACombinationAnotherClientHoldsIsRefusedAndAnotherOneThenWorks) {
    ASSERT_TRUE(otherClientGrabs(XK_j, Mod4Mask | ShiftMask));
    EXPECT_FALSE(hotKey->start());
    EXPECT_TRUE(log.contains("[Mivo][Tone] XGrabKey failed: BadAccess"));
    // None of the lock variants stays behind with us: the other client can
    // take them all.
    EXPECT_TRUE(otherClientGrabs(XK_j, Mod4Mask | ShiftMask | LockMask));

    EXPECT_TRUE(hotKey->configure(kK, kCmdShift));
    pressSuperShift(XK_k);
    EXPECT_TRUE(waitUntil([&] { return presses == 1; }));
}

TEST_F(HotKeysDesktopTest, StoppingGivesTheCombinationBack) {
    ASSERT_TRUE(hotKey->start());
    EXPECT_FALSE(otherClientGrabs(XK_j, Mod4Mask | ShiftMask | Mod2Mask));
    hotKey->stop();
    XSync(x11->display(), False);
    EXPECT_TRUE(otherClientGrabs(XK_j, Mod4Mask | ShiftMask | Mod2Mask));
}

}  // namespace
}  // namespace mivo::linux_desktop
