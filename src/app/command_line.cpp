#include "app/command_line.hpp"

namespace mivo {

CommandLine parseCommandLine(std::span<const std::string_view> arguments) {
    CommandLine result;
    for (const std::string_view argument : arguments) {
        CommandLine::Action asked = CommandLine::Action::refuse;
        if (argument == "--version")
            asked = CommandLine::Action::showVersion;
        else if (argument == "--help" || argument == "-h")
            asked = CommandLine::Action::showUsage;
        if (asked == CommandLine::Action::refuse) {
            // One refusal for anything unknown, wherever it stands: a
            // mistyped option must not start the tray application.
            const bool option = argument.starts_with('-') && argument.size() > 1;
            return CommandLine{
                .action = CommandLine::Action::refuse,
                .problem = (option ? "unknown option '" : "unexpected argument '") +
                           std::string(argument) + "'",
            };
        }
        // The first of --version and --help is the one answered.
        if (result.action == CommandLine::Action::run)
            result.action = asked;
    }
    return result;
}

int exitStatusOf(CommandLine::Action action) {
    switch (action) {
        case CommandLine::Action::run:
        case CommandLine::Action::showVersion:
        case CommandLine::Action::showUsage:
            return 0;
        case CommandLine::Action::refuse:
            return 2;
    }
    return 2;
}

std::string versionLine(const AppVersion& version) {
    // The about card's dash stands for a build number nobody gave; a line
    // that scripts read leaves it out rather than print a placeholder.
    std::string line = "Mivo " + version.marketing;
    if (version.build != AppVersion::unknown)
        line += " (" + version.build + ")";
    return line + "\n";
}

std::string usageText() {
    return "Usage: mivo [--help | --version]\n"
           "\n"
           "Mivo, a writing assistant for Japanese, runs in the system tray until you\n"
           "choose Quit Mivo; starting it again while it runs opens its settings window.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "      --version  show the version and exit\n"
           "\n"
           "It needs an X11 display (Xorg, or XWayland on a Wayland session) and the\n"
           "accessibility bus.\n"
           "\n"
           "The rewrite and sign-in service's address is read from MIVO_API_URL once, at\n"
           "start: an https address, or plain http only to a loopback address written as\n"
           "a number, such as http://127.0.0.1:8080 or http://[::1]:8080 (not localhost,\n"
           "which may lead elsewhere). Without it, signing in and rewriting are off; the\n"
           "checks on this machine work either way. MIVO_UPDATE_FEED_URL, the update\n"
           "feed's address, follows the same rule.\n";
}

std::string refusalText(const CommandLine& commandLine) {
    return "mivo: " + commandLine.problem + "\nTry 'mivo --help' for what it takes.\n";
}

std::string noDisplayText(const std::optional<std::string>& display, bool waylandSession) {
    std::string text = "Mivo needs an X11 display (Xorg, or XWayland on a Wayland session)";
    text += display ? ", and the display \"" + *display + "\" cannot be opened.\n"
                    : ", and DISPLAY is not set.\n";
    if (waylandSession) {
        text +=
            "This Wayland session offers no X11 display: install XWayland (Debian: "
            "sudo apt install xwayland) and log in again; GNOME and KDE Plasma then start it "
            "and set DISPLAY for the applications of the session.\n";
    } else {
        text +=
            "Start Mivo from a desktop session: on Xorg, or on Wayland with XWayland "
            "(Debian: sudo apt install xwayland).\n";
    }
    return text;
}

}  // namespace mivo
