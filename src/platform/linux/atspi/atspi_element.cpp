#include "platform/linux/atspi/atspi_element.hpp"

#include <array>
#include <utility>

#include "platform/ax_names.hpp"
#include "platform/linux/atspi/gobject_ptr.hpp"
#include "platform/linux/atspi/unanswering_applications.hpp"

namespace mivo::linux_desktop {
namespace {

constexpr std::string_view kRootPath = "/org/a11y/atspi/accessible/root";

}  // namespace

AtspiElementRef::AtspiElementRef(AtspiAccessible* accessible, std::string identity, bool systemWide)
    : AXElementRef(std::move(identity)),
      accessible_(accessible != nullptr ? shareGObject(accessible) : nullptr),
      systemWide_(systemWide) {}

std::string identityOf(AtspiAccessible* accessible) {
    const AtspiObject* object = ATSPI_OBJECT(accessible);
    const char* bus =
        object->app != nullptr && object->app->bus_name != nullptr ? object->app->bus_name : "";
    return std::string(bus) + ":" + (object->path != nullptr ? object->path : "");
}

std::string applicationIdentityOf(AtspiAccessible* accessible) {
    const AtspiObject* object = ATSPI_OBJECT(accessible);
    const char* bus =
        object->app != nullptr && object->app->bus_name != nullptr ? object->app->bus_name : "";
    return std::string(bus) + ":" + std::string(kRootPath);
}

AXElement makeElement(AtspiAccessible* accessible) {
    if (accessible == nullptr)
        return AXElement();
    std::string identity = identityOf(accessible);
    return AXElement(std::make_shared<AtspiElementRef>(accessible, std::move(identity)));
}

AXElement systemWideElementHandle() {
    return AXElement(std::make_shared<AtspiElementRef>(nullptr, "atspi:system-wide", true));
}

AXElement missingElementHandle(std::string_view why) {
    return AXElement(
        std::make_shared<AtspiElementRef>(nullptr, "atspi:missing:" + std::string(why)));
}

const AtspiElementRef* atspiRef(const AXElement& element) {
    return dynamic_cast<const AtspiElementRef*>(element.ref());
}

namespace {
uint64_t gNoReplyFailures = 0;
}  // namespace

uint64_t noReplyFailures() {
    return gNoReplyFailures;
}

std::string busNameOf(AtspiAccessible* accessible) {
    const AtspiObject* object = ATSPI_OBJECT(accessible);
    return object->app != nullptr && object->app->bus_name != nullptr ? object->app->bus_name : "";
}

AXError errorForFailure(std::string_view message) {
    if (isNoReply(message))
        ++gNoReplyFailures;
    // D-Bus names (and their messages) for an object path the application no
    // longer knows, and for an application that left the bus; and
    // libatspi's own words for an object or application it has seen go,
    // answered without asking the application (seen for a widget destroyed
    // while its application runs on).
    static constexpr std::array<std::string_view, 8> kGone = {
        "UnknownObject",      "Unknown object",
        "ServiceUnknown",     "NameHasNoOwner",
        "was not provided",   "Disconnected",
        "Process is defunct", "The application no longer exists",
    };
    for (auto fragment : kGone) {
        if (message.find(fragment) != std::string_view::npos)
            return AXError::invalidUIElement;
    }
    return AXError::cannotComplete;
}

std::expected<LiveObject, AXError> inspect(AtspiAccessible* accessible) {
    if (accessible == nullptr)
        return std::unexpected(AXError::invalidUIElement);
    GErrorSlot error;
    const AtspiRole role = atspi_accessible_get_role(accessible, error.out());
    if (error.failed())
        return std::unexpected(errorForFailure(error.message()));
    // The state set has no error of its own: libatspi answers a failed
    // request, like an object whose application quit, with "defunct".
    auto states = shareGObject(atspi_accessible_get_state_set(accessible));
    if (states == nullptr || atspi_state_set_contains(states.get(), ATSPI_STATE_DEFUNCT))
        return std::unexpected(AXError::invalidUIElement);
    return LiveObject{role, std::move(states)};
}

bool LiveObject::has(AtspiStateType state) const {
    return states != nullptr && atspi_state_set_contains(states.get(), state);
}

std::expected<int32_t, AXError> processIdOf(AtspiAccessible* accessible) {
    if (accessible == nullptr)
        return std::unexpected(AXError::invalidUIElement);
    GErrorSlot error;
    const guint pid = atspi_accessible_get_process_id(accessible, error.out());
    if (error.failed())
        return std::unexpected(errorForFailure(error.message()));
    if (pid == 0)
        return std::unexpected(AXError::cannotComplete);
    return static_cast<int32_t>(pid);
}

std::string axRole(AtspiRole role, bool multiLine) {
    switch (role) {
        case ATSPI_ROLE_APPLICATION:
            return std::string(kAXApplicationRole);
        case ATSPI_ROLE_FRAME:
        case ATSPI_ROLE_WINDOW:
        case ATSPI_ROLE_DIALOG:
        case ATSPI_ROLE_ALERT:
        case ATSPI_ROLE_FILE_CHOOSER:
            return std::string(kAXWindowRole);
        case ATSPI_ROLE_DOCUMENT_WEB:
        case ATSPI_ROLE_DOCUMENT_FRAME:
            return std::string(kAXWebAreaRole);
        case ATSPI_ROLE_SCROLL_PANE:
        case ATSPI_ROLE_VIEWPORT:
            return std::string(kAXScrollAreaRole);
        case ATSPI_ROLE_SPLIT_PANE:
            return std::string(kAXSplitterGroupRole);
        // GTK 3 gives a GtkTextView and a GtkEntry the same role "text" and
        // tells them apart only by the multi-line state.
        case ATSPI_ROLE_TEXT:
        case ATSPI_ROLE_DOCUMENT_TEXT:
            return std::string(multiLine ? kAXTextAreaRole : kAXTextFieldRole);
        case ATSPI_ROLE_ENTRY:
        case ATSPI_ROLE_PASSWORD_TEXT:
        case ATSPI_ROLE_SPIN_BUTTON:
            return std::string(kAXTextFieldRole);
        case ATSPI_ROLE_COMBO_BOX:
            return std::string(kAXComboBoxRole);
        case ATSPI_ROLE_LABEL:
        case ATSPI_ROLE_STATIC:
        case ATSPI_ROLE_CAPTION:
            return std::string(kAXStaticTextRole);
        default:
            return std::string(kAXGroupRole);
    }
}

std::optional<std::string> axSubrole(AtspiRole role) {
    if (role == ATSPI_ROLE_PASSWORD_TEXT)
        return std::string(kAXSecureTextFieldSubrole);
    return std::nullopt;
}

TextExposure textExposure(AtspiRole role) {
    if (role == ATSPI_ROLE_PASSWORD_TEXT)
        return TextExposure::lengthOnly;
    if (role == ATSPI_ROLE_TERMINAL)
        return TextExposure::none;
    return TextExposure::full;
}

}  // namespace mivo::linux_desktop
