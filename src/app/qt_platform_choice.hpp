#pragma once

// Mivo reads other applications and draws over them through X11, so on a
// Wayland session it runs under XWayland: Qt's xcb platform, whatever way it
// was started (the desktop entry, autostart, a terminal).

#include <optional>
#include <string>

namespace mivo {

// The QT_QPA_PLATFORM to set before Qt starts, given the session's
// WAYLAND_DISPLAY and the current QT_QPA_PLATFORM (each nothing when unset
// or empty); nothing to leave it as it is.
std::optional<std::string> qtPlatformOverride(const std::optional<std::string>& waylandDisplay,
                                              const std::optional<std::string>& qpaPlatform);
// The same, read from this process's environment.
std::optional<std::string> qtPlatformOverrideForThisSession();

}  // namespace mivo
