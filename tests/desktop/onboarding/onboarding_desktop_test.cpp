// The onboarding window on a real X server under openbox, at scale 1 and
// with Qt scaled by 2 (where 720 × 560 of Qt's pixels are taller and wider
// than the screen): the window, its title bar and the buttons of every
// slide lie on the screen.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QProcess>
#include <cmath>
#include <string>

#include "desktop_test_support.hpp"
#include "onboarding/onboarding_store.hpp"
#include "onboarding/onboarding_window_controller.hpp"
#include "platform/linux/qt/qt_screens.hpp"
#include "platform/linux/x11/x11_properties.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "x_windows.hpp"

// Xlib after Qt: its macros clash with Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace mivo::desktop_test {
namespace {

class OnboardingDesktopTest : public DesktopTest {
  protected:
    Display* display() { return session_->desktop().x11().display(); }

    // A widget's rectangle on the root window in X pixels.
    static QRect onX11(const QWidget& widget) {
        const QPoint topLeft = widget.mapToGlobal(QPoint(0, 0));
        const Rect native = linux_desktop::logicalToNative(
            Rect{static_cast<double>(topLeft.x()), static_cast<double>(topLeft.y()),
                 static_cast<double>(widget.width()), static_cast<double>(widget.height())},
            linux_desktop::scaledScreens());
        return QRect(static_cast<int>(std::lround(native.x)),
                     static_cast<int>(std::lround(native.y)),
                     static_cast<int>(std::lround(native.width)),
                     static_cast<int>(std::lround(native.height)));
    }
};

TEST_F(OnboardingDesktopTest, TheWindowAndTheButtonsOfEverySlideLieOnTheScreen) {
    const double scale = qApp->devicePixelRatio();
    if (const char* factor = std::getenv("QT_SCALE_FACTOR")) {
        ASSERT_EQ(scale, std::atof(factor));
    }
    sim::MemoryUserDefaults defaults;
    OnboardingStore store{defaults, 1};
    sim::VirtualClock clock;
    OnboardingWindowController controller{store, clock};
    OnboardingWindow& window = controller.window();
    controller.showCentered();
    const unsigned long id = window.winId();
    ASSERT_TRUE(waitUntil([&] { return window.isActiveWindow(); }, 10))
        << "the onboarding window did not come up";
    spinFor(0.3);

    const Rect primary = linux_desktop::primaryScreenFrame();
    const QRect screen(0, 0, static_cast<int>(primary.width), static_cast<int>(primary.height));
    const QRect framed = framedGeometry(display(), id);
    EXPECT_TRUE(screen.contains(framed))
        << "the window with its title bar leaves the screen: " << framed.x() << "," << framed.y()
        << " " << framed.width() << "x" << framed.height();

    const char* buttons[][2] = {
        {"getStartedButton", nullptr},
        {"backButton", "forwardButton"},
        {"backButton", "forwardButton"},
        {"backButton", "forwardButton"},
    };
    for (int index = 0; index < 4; ++index) {
        SCOPED_TRACE(index);
        while (controller.model().index() < index)
            controller.model().next();
        spinFor(0.4);  // the cross-fade
        screenshot("onboarding-slide-" + std::to_string(index) + "-scale-" +
                   std::to_string(static_cast<int>(std::lround(scale * 10))) + ".png");
        const QRect inside = QRect(onX11(window));
        for (const char* name : buttons[index]) {
            if (name == nullptr)
                continue;
            SCOPED_TRACE(name);
            auto* button = window.findChild<QAbstractButton*>(QString::fromLatin1(name));
            ASSERT_NE(button, nullptr);
            ASSERT_TRUE(button->isVisible());
            const QRect shown = onX11(*button);
            EXPECT_TRUE(screen.contains(shown)) << "the button leaves the screen";
            EXPECT_TRUE(inside.contains(shown)) << "the button is cut by the window's edge";
            // Not scrolled out of the slide's view either.
            EXPECT_FALSE(button->visibleRegion().isEmpty());
            EXPECT_EQ(button->visibleRegion().boundingRect(), button->rect());
        }
    }
    window.close();
}

}  // namespace
}  // namespace mivo::desktop_test
