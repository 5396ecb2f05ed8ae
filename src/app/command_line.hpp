#pragma once

// What `mivo` is asked to do on its command line, decided before any window
// system or setting is touched: show its version or a short usage and end,
// refuse an option it does not know, or run. Also what it says when there is
// no X display to run on.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "settings/app_version.hpp"

namespace mivo {

struct CommandLine {
    enum class Action { run, showVersion, showUsage, refuse };
    Action action = Action::run;
    // For `refuse`: what was wrong, for the user ("unknown option '--verbose'").
    std::string problem;
};

// The arguments after the program's name.
CommandLine parseCommandLine(std::span<const std::string_view> arguments);

// The exit status for each action that ends at once: 0 for the version and
// the usage, 2 for a refused command line (the usual status of a usage
// error).
int exitStatusOf(CommandLine::Action action);

// "Mivo 0.1.0 (57)", from the same texts the about card shows; "Mivo 0.1.0"
// without a build.
std::string versionLine(const AppVersion& version);

std::string usageText();

// What a refused command line writes to standard error.
std::string refusalText(const CommandLine& commandLine);

// Why Mivo cannot start without an X display and how to get one. `display`
// is $DISPLAY (nothing when unset or empty); `waylandSession` whether
// WAYLAND_DISPLAY names a Wayland compositor.
std::string noDisplayText(const std::optional<std::string>& display, bool waylandSession);

}  // namespace mivo
