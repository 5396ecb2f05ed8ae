#pragma once

// The desktop's own accessibility settings, where one is known: what asking
// for the permission opens after switching the accessibility bus on.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

// The command for the desktop named by $XDG_CURRENT_DESKTOP (a colon list,
// "ubuntu:GNOME"), when its program is installed; nothing otherwise.
std::optional<std::vector<std::string>> accessibilitySettingsCommand(
    std::string_view currentDesktop, const std::function<bool(std::string_view)>& isInstalled);

}  // namespace mivo
