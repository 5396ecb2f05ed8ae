// Mivo's entry: a Qt application without a main window that lives in the
// tray until the user quits it.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/build_version.hpp"
#include "app/command_line.hpp"
#include "app/composition_root.hpp"
#include "app/qt_platform_choice.hpp"
#include "platform/linux/x11/x11_connection.hpp"

namespace {

std::optional<std::string> nonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    return std::string(value);
}

// The display check's own log line would repeat what the user is told.
class QuietLog final : public mivo::Log {
  public:
    void write(std::string_view) override {}
};

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window system or setting is touched: `mivo
    // --version` works over ssh and in a build without a desktop.
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const mivo::CommandLine commandLine = mivo::parseCommandLine(arguments);
    switch (commandLine.action) {
        case mivo::CommandLine::Action::showVersion:
            std::fputs(mivo::versionLine(mivo::buildVersion()).c_str(), stdout);
            return mivo::exitStatusOf(commandLine.action);
        case mivo::CommandLine::Action::showUsage:
            std::fputs(mivo::usageText().c_str(), stdout);
            return mivo::exitStatusOf(commandLine.action);
        case mivo::CommandLine::Action::refuse:
            std::fputs(mivo::refusalText(commandLine).c_str(), stderr);
            return mivo::exitStatusOf(commandLine.action);
        case mivo::CommandLine::Action::run:
            break;
    }

    // Qt's xcb platform aborts the process when it finds no display: say
    // what is missing instead.
    QuietLog quiet;
    if (!mivo::linux_desktop::canOpenDisplay(quiet)) {
        std::fputs(mivo::noDisplayText(nonEmptyVariable("DISPLAY"),
                                       nonEmptyVariable("WAYLAND_DISPLAY").has_value())
                       .c_str(),
                   stderr);
        return 1;
    }

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
