#include "app/accessibility_settings.hpp"

#include <array>

namespace mivo {

namespace {

struct DesktopSettings {
    std::string_view desktop;
    std::string_view program;
    std::string_view page;
};

constexpr std::array known{
    DesktopSettings{"GNOME", "gnome-control-center", "universal-access"},
    DesktopSettings{"Unity", "gnome-control-center", "universal-access"},
    DesktopSettings{"KDE", "systemsettings", "kcm_access"},
};

}  // namespace

std::optional<std::vector<std::string>> accessibilitySettingsCommand(
    std::string_view currentDesktop, const std::function<bool(std::string_view)>& isInstalled) {
    while (!currentDesktop.empty()) {
        const auto colon = currentDesktop.find(':');
        const auto name = currentDesktop.substr(0, colon);
        for (const auto& entry : known) {
            if (entry.desktop == name && isInstalled(entry.program)) {
                return std::vector<std::string>{std::string(entry.program),
                                                std::string(entry.page)};
            }
        }
        if (colon == std::string_view::npos) {
            break;
        }
        currentDesktop.remove_prefix(colon + 1);
    }
    return std::nullopt;
}

}  // namespace mivo
