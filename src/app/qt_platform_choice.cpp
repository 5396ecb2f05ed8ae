#include "app/qt_platform_choice.hpp"

#include <cstdlib>

namespace mivo {

namespace {

std::optional<std::string> nonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

}  // namespace

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

std::optional<std::string> qtPlatformOverrideForThisSession() {
    return qtPlatformOverride(nonEmptyVariable("WAYLAND_DISPLAY"),
                              nonEmptyVariable("QT_QPA_PLATFORM"));
}

}  // namespace mivo
