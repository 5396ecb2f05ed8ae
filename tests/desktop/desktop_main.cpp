// The main of every desktop test process: one suite against one real
// session (bus, window manager), started on first use and stopped after the
// last test. The suites that show widgets get a QApplication.
//
// --appearance=NAME draws our views in that appearance unless the
// environment already chooses one, so that pictures compare the same on
// every machine.
//
// MIVO_DESKTOP_RETRY_ONLY, when set, names the rows to run (full names,
// ':' between them) in place of the suite's filter: scripts/test.sh tries
// again only the rows of a suite that failed, not the minutes of its rows
// that passed.

#include <gtest/gtest.h>

#ifdef MIVO_DESKTOP_WIDGETS
#include <QApplication>
using DesktopTestApplication = QApplication;
#else
#include <QGuiApplication>
using DesktopTestApplication = QGuiApplication;
#endif

#include <cstdlib>
#include <memory>
#include <string_view>

#include "desktop_session.hpp"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (const char* only = std::getenv("MIVO_DESKTOP_RETRY_ONLY"); only != nullptr && *only != '\0')
        GTEST_FLAG_SET(filter, only);
    constexpr std::string_view kAppearance = "--appearance=";
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with(kAppearance))
            setenv("MIVO_APPEARANCE", argument.substr(kAppearance.size()).data(), 0);
    }
    // Screens, clipboard and our X connection must all be the X server's.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    std::unique_ptr<DesktopTestApplication> app;
    if (std::getenv("DISPLAY") != nullptr)
        app = std::make_unique<DesktopTestApplication>(argc, argv);
    const int result = RUN_ALL_TESTS();
    mivo::desktop_test::DesktopSession::shutDown();
    return result;
}
