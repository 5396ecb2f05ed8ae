// How AT-SPI's vocabulary maps to the interface's: roles, events, failures
// and offsets. No accessibility bus is needed.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/ax_names.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/atspi_events.hpp"

namespace mivo::linux_desktop {
namespace {

TEST(AtspiRoles, MapToTheRolesTheElementSearchKnows) {
    struct Row {
        AtspiRole role;
        bool multiLine;
        std::string_view expected;
    };
    const std::vector<Row> rows = {
        {ATSPI_ROLE_DIALOG, false, kAXWindowRole},
        // GtkEntry and GtkTextView share "text"; the multi-line state decides.
        {ATSPI_ROLE_TEXT, false, kAXTextFieldRole},
        {ATSPI_ROLE_TEXT, true, kAXTextAreaRole},
        {ATSPI_ROLE_ENTRY, false, kAXTextFieldRole},
        {ATSPI_ROLE_PASSWORD_TEXT, false, kAXTextFieldRole},
        // Roles the element search has no name for are plain groups.
        {ATSPI_ROLE_PUSH_BUTTON, false, kAXGroupRole},
    };
    for (const auto& row : rows)
        EXPECT_EQ(axRole(row.role, row.multiLine), row.expected) << row.role;
    // Only password fields have the secure subrole.
    EXPECT_EQ(axSubrole(ATSPI_ROLE_PASSWORD_TEXT), std::string(kAXSecureTextFieldSubrole));
    EXPECT_EQ(axSubrole(ATSPI_ROLE_ENTRY), std::nullopt);
}

TEST(AtspiEvents, StandForTheInterfacesNotifications) {
    struct Row {
        std::string_view type;
        int detail1;
        std::optional<std::string_view> expected;
    };
    const std::vector<Row> rows = {
        {"object:text-changed:delete", 3, kAXValueChangedNotification},
        {"object:text-caret-moved", 4, kAXSelectedTextChangedNotification},
        {"object:state-changed:focused", 1, kAXFocusedUIElementChangedNotification},
        {"object:state-changed:focused", 0, std::nullopt},  // the object that lost it
        {"window:activate", 0, kAXFocusedWindowChangedNotification},
        {"object:state-changed:active", 1, kAXFocusedWindowChangedNotification},
        {"object:state-changed:active", 0, std::nullopt},
        {"window:deactivate", 0, std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(notificationForEvent(row.type, row.detail1), row.expected) << row.type;
}

TEST(AtspiEvents, TextChangesCarryWhatChangedInTheToolkitsUnit) {
    using Kind = AXTextChange::Kind;
    using Unit = AXTextChange::Unit;
    struct Row {
        Toolkit toolkit;
        std::string_view type;
        int detail1;
        int detail2;
        std::optional<std::string> text;
        std::optional<AXTextChange> expected;
    };
    const std::vector<Row> rows = {
        {Toolkit::gtk, "object:text-changed:insert", 5, 1, "😀",
         AXTextChange{Kind::inserted, Unit::codePoint, 5, 1, "😀"}},
        // Gecko counts UTF-16 and pads a character outside the BMP.
        {Toolkit::gecko, "object:text-changed:insert", 5, 3, "😀\uFEFF",
         AXTextChange{Kind::inserted, Unit::utf16, 5, 2, "😀"}},
        // Chromium's deletion length is negative; the text says it.
        {Toolkit::chromium, "object:text-changed:delete", 2, -2, "晴れ",
         AXTextChange{Kind::removed, Unit::codePoint, 2, 2, "晴れ"}},
        {Toolkit::qt, "object:text-changed:delete:system", 0, 4, std::nullopt,
         AXTextChange{Kind::removed, Unit::utf16, 0, 4, ""}},
        // An insertion without its text, and GTK 4's wrong offsets: no details.
        {Toolkit::gtk, "object:text-changed:insert", 0, 3, std::nullopt, std::nullopt},
        {Toolkit::gtk4, "object:text-changed:insert", 0, 1, "a", std::nullopt},
        {Toolkit::gtk, "object:text-caret-moved", 3, 0, std::nullopt, std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(textChangeForEvent(row.toolkit, row.type, row.detail1, row.detail2, row.text),
                  row.expected)
            << row.type << " " << row.detail1;
}

TEST(AtspiFailures, GoneObjectsAndApplicationsAreInvalidElements) {
    struct Row {
        std::string_view message;
        AXError expected;
    };
    const std::vector<Row> rows = {
        {"Unknown object '/org/a11y/atspi/accessible/12'", AXError::invalidUIElement},
        {"The name :1.42 was not provided by any .service files", AXError::invalidUIElement},
        // libatspi's own, for an object whose removal it has seen.
        {"Process is defunct", AXError::invalidUIElement},
        {"The application no longer exists", AXError::invalidUIElement},
        {"Did not receive a reply. Possible causes include: the remote application did not "
         "send a reply",
         AXError::cannotComplete},
        {"", AXError::cannotComplete},
    };
    for (const auto& row : rows)
        EXPECT_EQ(errorForFailure(row.message), row.expected) << row.message;
}

TEST(AtspiTextExposure, PasswordsShowOnlyTheirLengthAndTerminalsNothing) {
    EXPECT_EQ(textExposure(ATSPI_ROLE_TEXT), TextExposure::full);
    EXPECT_EQ(textExposure(ATSPI_ROLE_ENTRY), TextExposure::full);
    EXPECT_EQ(textExposure(ATSPI_ROLE_PASSWORD_TEXT), TextExposure::lengthOnly);
    EXPECT_EQ(textExposure(ATSPI_ROLE_TERMINAL), TextExposure::none);
}

}  // namespace
}  // namespace mivo::linux_desktop
