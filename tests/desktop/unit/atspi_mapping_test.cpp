// How AT-SPI's vocabulary maps to the interface's: roles, events, failures
// and offsets. No accessibility bus is needed.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/ax_names.hpp"
#include "platform/linux/atspi_element.hpp"
#include "platform/linux/atspi_events.hpp"
#include "platform/linux/atspi_text.hpp"

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

TEST(AtspiFailures, GoneObjectsAndApplicationsAreInvalidElements) {
    struct Row {
        std::string_view message;
        AXError expected;
    };
    const std::vector<Row> rows = {
        {"Unknown object '/org/a11y/atspi/accessible/12'", AXError::invalidUIElement},
        {"The name :1.42 was not provided by any .service files", AXError::invalidUIElement},
        {"Did not receive a reply. Possible causes include: the remote application did not "
         "send a reply",
         AXError::cannotComplete},
        {"", AXError::cannotComplete},
    };
    for (const auto& row : rows)
        EXPECT_EQ(errorForFailure(row.message), row.expected) << row.message;
}

// "a𠮷b😀c": 5 code points, 7 UTF-16 units.
const std::string kMixed = "a\U00020BB7b\U0001F600c";

TEST(AtspiOffsets, Utf16RangesBecomeCodePointRangesAndBack) {
    struct Row {
        Utf16Range utf16;
        CodePointRange codePoints;
    };
    const std::vector<Row> rows = {
        {{0, 0}, {0, 0}}, {{0, 1}, {0, 1}}, {{1, 2}, {1, 2}}, {{3, 3}, {2, 4}},
        {{0, 7}, {0, 5}}, {{7, 0}, {5, 5}}, {{6, 1}, {4, 5}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(codePointRange(kMixed, row.utf16), row.codePoints) << toString(row.utf16);
        EXPECT_EQ(utf16Range(kMixed, row.codePoints), row.utf16) << toString(row.utf16);
    }
}

TEST(AtspiOffsets, RangesThroughASurrogatePairOrPastTheEndAreRefusedOthersClamped) {
    for (Utf16Range r : {Utf16Range{2, 0}, Utf16Range{1, 1}, Utf16Range{0, 5}, Utf16Range{6, 2},
                         Utf16Range{-1, 1}, Utf16Range{0, -1}})
        EXPECT_EQ(codePointRange(kMixed, r), std::nullopt) << toString(r);
    // An application may report a selection backwards or past a text that
    // has shrunk since.
    EXPECT_EQ(utf16Range(kMixed, {4, 2}), (Utf16Range{3, 3}));
    EXPECT_EQ(utf16Range(kMixed, {3, 99}), (Utf16Range{4, 3}));
    EXPECT_EQ(utf16Range("", {0, 3}), (Utf16Range{0, 0}));
}

}  // namespace
}  // namespace mivo::linux_desktop
