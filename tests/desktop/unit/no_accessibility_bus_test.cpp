// Without a reachable accessibility bus the backend refuses every call
// cleanly and says once why.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/ax_names.hpp"
#include "platform/linux/atspi/atspi_accessibility.hpp"
#include "platform/sim/captured_log.hpp"
#include "platform/sim/virtual_clock.hpp"

namespace mivo::linux_desktop {
namespace {

TEST(NoAccessibilityBus, EveryCallIsRefusedAfterOneLogLine) {
    // A session bus that is not there; set before anything in this process
    // connects to one.
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/mivo-test-bus", 1);
    sim::VirtualClock clock;
    sim::CapturedLog log;
    AtspiAccessibility ax(clock, log, {});

    EXPECT_FALSE(ax.isProcessTrusted());
    EXPECT_FALSE(ax.isProcessTrustedWithPrompt());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0],
              "[Mivo] accessibility: not available: no session bus (DBUS_SESSION_BUS_ADDRESS); "
              "Mivo needs an X11 session with the accessibility bus (at-spi2-core)");

    const auto role = ax.copyAttributeValue(ax.applicationElement(4242), kAXRoleAttribute);
    ASSERT_FALSE(role.has_value());
    EXPECT_EQ(role.error(), AXError::apiDisabled);
    EXPECT_EQ(ax.setAttributeValue(ax.applicationElement(4242), kAXValueAttribute, AXValue("x")),
              AXError::apiDisabled);
    const auto observer = ax.createObserver(4242, [](const AXElement&, std::string_view) {});
    ASSERT_FALSE(observer.has_value());
    EXPECT_EQ(observer.error(), AXError::apiDisabled);
}

}  // namespace
}  // namespace mivo::linux_desktop
