// Mivo's entry: a Qt application without a main window that lives in the
// tray until the user quits it.

#include <QApplication>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/composition_root.hpp"
#include "app/qt_platform_choice.hpp"

namespace {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

}  // namespace

int main(int argc, char** argv) {
    // Before QApplication: Qt chooses its platform when it starts.
    if (auto platform = mivo::qtPlatformOverride(environment("WAYLAND_DISPLAY"),
                                                 environment("QT_QPA_PLATFORM"))) {
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
