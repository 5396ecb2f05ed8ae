// Mivo's entry: a Qt application without a main window that lives in the
// tray until the user quits it.

#include <QApplication>
#include <cstdlib>

#include "app/composition_root.hpp"
#include "app/qt_platform_choice.hpp"

int main(int argc, char** argv) {
    // Before QApplication: Qt chooses its platform when it starts.
    if (auto platform = mivo::qtPlatformOverrideForThisSession()) {
        setenv("QT_QPA_PLATFORM", platform->c_str(), 1);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mivo"));
    // No display name: Qt would append " — Mivo" to every window title
    // ("Settings — Mivo"), and in a narrow alert the window manager then
    // cuts the title itself.
    QApplication::setDesktopFileName(QStringLiteral("mivo"));
    // Closing the settings or onboarding window never ends Mivo.
    QApplication::setQuitOnLastWindowClosed(false);
    return mivo::runMivo(app);
}
