// Which Qt platform Mivo starts on: xcb (XWayland) on a Wayland session,
// unless another X11-free choice was made on purpose.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/qt_platform_choice.hpp"

namespace mivo {
namespace {

struct PlatformCase {
    const char* name;
    std::optional<std::string> waylandDisplay;
    std::optional<std::string> qpaPlatform;
    std::optional<std::string> chosen;
};

class QtPlatformChoice : public ::testing::TestWithParam<PlatformCase> {};

TEST_P(QtPlatformChoice, XcbOnWaylandSessions) {
    const PlatformCase& c = GetParam();
    EXPECT_EQ(qtPlatformOverride(c.waylandDisplay, c.qpaPlatform), c.chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, QtPlatformChoice,
    ::testing::Values(PlatformCase{"X11Session", std::nullopt, std::nullopt, std::nullopt},
                      PlatformCase{"X11SessionWithChoice", std::nullopt, "offscreen", std::nullopt},
                      PlatformCase{"WaylandSession", "wayland-0", std::nullopt, "xcb"},
                      PlatformCase{"WaylandAskedFor", "wayland-0", "wayland", "xcb"},
                      PlatformCase{"WaylandListFirst", "wayland-0", "wayland;xcb", "xcb"},
                      PlatformCase{"XcbAlready", "wayland-0", "xcb", std::nullopt},
                      PlatformCase{"OffscreenOnPurpose", "wayland-0", "offscreen", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mivo
