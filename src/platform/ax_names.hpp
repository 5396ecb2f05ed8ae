#pragma once

// Attribute, notification and role names of the accessibility interface, as
// the services ask for them. A backend maps each to its own toolkit.

#include <string_view>

namespace mivo {

// Attributes.
inline constexpr std::string_view kAXRoleAttribute = "AXRole";
inline constexpr std::string_view kAXSubroleAttribute = "AXSubrole";
// What the platform itself calls the role (AT-SPI's role name: "entry",
// "text", "combo box"), for log lines; the services decide by AXRole.
inline constexpr std::string_view kAXRoleDescriptionAttribute = "AXRoleDescription";
inline constexpr std::string_view kAXTitleAttribute = "AXTitle";
inline constexpr std::string_view kAXValueAttribute = "AXValue";
inline constexpr std::string_view kAXSelectedTextAttribute = "AXSelectedText";
inline constexpr std::string_view kAXSelectedTextRangeAttribute = "AXSelectedTextRange";
inline constexpr std::string_view kAXNumberOfCharactersAttribute = "AXNumberOfCharacters";
inline constexpr std::string_view kAXChildrenAttribute = "AXChildren";
inline constexpr std::string_view kAXParentAttribute = "AXParent";
inline constexpr std::string_view kAXFocusedAttribute = "AXFocused";
inline constexpr std::string_view kAXFocusedUIElementAttribute = "AXFocusedUIElement";
inline constexpr std::string_view kAXFocusedWindowAttribute = "AXFocusedWindow";
inline constexpr std::string_view kAXEditableAttribute = "AXEditable";
// The object whose text this one's continues: the part of a paragraph
// that runs onto the next page, exposed as an object of its own (Writer).
inline constexpr std::string_view kAXFlowsFromAttribute = "AXFlowsFrom";
inline constexpr std::string_view kAXPositionAttribute = "AXPosition";
inline constexpr std::string_view kAXSizeAttribute = "AXSize";
inline constexpr std::string_view kAXEnhancedUserInterfaceAttribute = "AXEnhancedUserInterface";
inline constexpr std::string_view kAXManualAccessibilityAttribute = "AXManualAccessibility";

// Parameterised attributes: a UTF-16 range in, a string or a rectangle out.
inline constexpr std::string_view kAXStringForRangeParameterizedAttribute = "AXStringForRange";
inline constexpr std::string_view kAXBoundsForRangeParameterizedAttribute = "AXBoundsForRange";

// Notifications.
inline constexpr std::string_view kAXValueChangedNotification = "AXValueChanged";
inline constexpr std::string_view kAXSelectedTextChangedNotification = "AXSelectedTextChanged";
inline constexpr std::string_view kAXFocusedUIElementChangedNotification =
    "AXFocusedUIElementChanged";
inline constexpr std::string_view kAXFocusedWindowChangedNotification = "AXFocusedWindowChanged";

// Roles and subroles.
inline constexpr std::string_view kAXApplicationRole = "AXApplication";
inline constexpr std::string_view kAXSystemWideRole = "AXSystemWide";
inline constexpr std::string_view kAXWindowRole = "AXWindow";
inline constexpr std::string_view kAXWebAreaRole = "AXWebArea";
inline constexpr std::string_view kAXScrollAreaRole = "AXScrollArea";
inline constexpr std::string_view kAXSplitterGroupRole = "AXSplitterGroup";
inline constexpr std::string_view kAXGroupRole = "AXGroup";
inline constexpr std::string_view kAXTextFieldRole = "AXTextField";
inline constexpr std::string_view kAXTextAreaRole = "AXTextArea";
inline constexpr std::string_view kAXComboBoxRole = "AXComboBox";
inline constexpr std::string_view kAXSearchFieldRole = "AXSearchField";
inline constexpr std::string_view kAXStaticTextRole = "AXStaticText";
inline constexpr std::string_view kAXSecureTextFieldSubrole = "AXSecureTextField";

}  // namespace mivo
