// Finding the focused field: through the active window of each application
// for the system-wide element, or of one application; inside a document of
// embedded objects, the paragraph holding the caret.

#include <string>

#include "platform/ax_names.hpp"
#include "platform/linux/atspi/atspi_accessibility.hpp"
#include "platform/linux/atspi/atspi_documents.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/gobject_ptr.hpp"

namespace mivo::linux_desktop {

AXResult AtspiAccessibility::systemWideAttribute(std::string_view attribute) {
    if (attribute == kAXRoleAttribute)
        return AXValue(std::string(kAXSystemWideRole));
    if (attribute != kAXFocusedUIElementAttribute)
        return std::unexpected(AXError::attributeUnsupported);
    // The focused object of the application whose window is active.
    GObjectPtr<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (desktop == nullptr)
        return std::unexpected(AXError::cannotComplete);
    for (auto& app : childrenOf(desktop.get())) {
        const auto appPid = processIdOf(app.get());
        if (!appPid || *appPid == ownPid_ || isQuiet(app.get()))
            continue;
        const uint64_t noRepliesBefore = noReplyFailures();
        GObjectPtr<AtspiAccessible> window(activeWindowOf(app.get(), activeWindowTitle_));
        noteAnswers(app.get());
        // It stopped answering: a walk of its window would cost a time-out
        // a call.
        if (window == nullptr || noReplyFailures() != noRepliesBefore)
            continue;
        if (AtspiAccessible* focused = findFocused(window.get()))
            return AXValue(fieldFor(focused));
    }
    return std::unexpected(AXError::noValue);
}

AXResult AtspiAccessibility::focusedWindow(AtspiAccessible* application) {
    if (AtspiAccessible* window = activeWindowOf(application, activeWindowTitle_))
        return AXValue(makeElement(window));
    return std::unexpected(AXError::noValue);
}

AXResult AtspiAccessibility::focusedElement(AtspiAccessible* application) {
    GObjectPtr<AtspiAccessible> window(activeWindowOf(application, activeWindowTitle_));
    if (window == nullptr)
        return std::unexpected(AXError::noValue);
    if (AtspiAccessible* focused = findFocused(window.get()))
        return AXValue(fieldFor(focused));
    return std::unexpected(AXError::noValue);
}

AXElement AtspiAccessibility::fieldFor(AtspiAccessible* focused) {
    GObjectPtr<AtspiAccessible> owned(focused);
    FieldInside inside = fieldInside(focused);
    if (!inside.objectsOnly && !inside.textBesideBlocks)
        return makeElement(owned.release());
    const std::string identity = identityOf(focused);
    // Moving the caret into another paragraph, or into the document's own
    // text, is then a focus change; so is the caret's first move into a
    // paragraph of a document focused with no caret in any (a browser's
    // rich-text field focused by a script or by the keyboard).
    events_->followInside(identity);
    // The caret at the end of the document's own text right before a
    // block is named by that block's offset too, and Firefox names the
    // block as holding it (a signature after its "-- "): the caret last
    // moved in the document itself says it is in its own text.
    if (inside.field != nullptr && inside.textBesideBlocks &&
        events_->lastCaretSource() == identity)
        return makeElement(owned.release());
    if (inside.field != nullptr)
        return makeElement(inside.field.release());
    if (inside.textBesideBlocks)
        return makeElement(owned.release());
    if (notCheckableLogged_.size() > 256)
        notCheckableLogged_.clear();
    if (notCheckableLogged_.insert(identity).second)
        log_.write(
            "[Mivo] observe: the focused document's own text is only embedded objects and "
            "no paragraph inside holds the caret; its text is not checked");
    return makeElement(owned.release());
}

}  // namespace mivo::linux_desktop
