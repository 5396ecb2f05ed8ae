// The main of test executables whose code answers on the Qt event loop (the
// real HTTP transport): a core application without a display, then GoogleTest.

#include <gmock/gmock.h>

#include <QCoreApplication>
#include <csignal>

int main(int argc, char** argv) {
    // A stub that hangs up must fail a test, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
