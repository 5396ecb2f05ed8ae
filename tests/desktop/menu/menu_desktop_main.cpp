// The application menu's desktop tests: a widgets application on the X
// server, against one real session (bus, openbox) started on first use.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <memory>

#include "desktop_session.hpp"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    std::unique_ptr<QApplication> app;
    if (std::getenv("DISPLAY") != nullptr)
        app = std::make_unique<QApplication>(argc, argv);
    const int result = RUN_ALL_TESTS();
    mivo::desktop_test::DesktopSession::shutDown();
    return result;
}
