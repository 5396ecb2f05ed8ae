// The desktop tests run in one process against one real session, started on
// first use and stopped after the last test.

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <cstdlib>
#include <memory>

#include "desktop_session.hpp"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Screens, clipboard and our X connection must all be the X server's.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    std::unique_ptr<QGuiApplication> app;
    if (std::getenv("DISPLAY") != nullptr)
        app = std::make_unique<QGuiApplication>(argc, argv);
    const int result = RUN_ALL_TESTS();
    mivo::desktop_test::DesktopSession::shutDown();
    return result;
}
