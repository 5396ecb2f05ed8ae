// The main of every desktop test process that shows widgets (the overlay,
// the rewrite panel, settings and alerts, the menu, and the ones driving
// `mivo` itself): a QApplication on the X server, against one real session
// (bus, window manager) started on first use.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <memory>

#include "desktop_session.hpp"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Screens, clipboard and our X connection must all be the X server's.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
#ifdef MIVO_DESKTOP_TEST_APPEARANCE
    // Views whose pictures are compared are drawn in one appearance,
    // whatever the machine prefers (an explicit choice still wins).
    setenv("MIVO_APPEARANCE", MIVO_DESKTOP_TEST_APPEARANCE, 0);
#endif
    std::unique_ptr<QApplication> app;
    if (std::getenv("DISPLAY") != nullptr)
        app = std::make_unique<QApplication>(argc, argv);
    const int result = RUN_ALL_TESTS();
    mivo::desktop_test::DesktopSession::shutDown();
    return result;
}
