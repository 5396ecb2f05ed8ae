#include "app/qt_platform_choice.hpp"

namespace mivo {

std::optional<std::string> qtPlatformOverride(const std::optional<std::string>& waylandDisplay,
                                              const std::optional<std::string>& qpaPlatform) {
    if (!waylandDisplay) {
        return std::nullopt;
    }
    // Qt picks Wayland by itself on such a session, and a desktop may ask
    // for it ("wayland;xcb"); another platform (offscreen, xcb) was chosen
    // on purpose and stays.
    if (!qpaPlatform || qpaPlatform->starts_with("wayland")) {
        return std::string("xcb");
    }
    return std::nullopt;
}

}  // namespace mivo
