// The main of every view test executable: an offscreen QApplication, so views
// render without a display, then GoogleTest.

#include <gmock/gmock.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // No portal or desktop palette decides for a test: each test says which.
    setenv("MIVO_APPEARANCE", "light", 0);
    QApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
