// Writing attributes: focus, the selected range, the selected text and the
// whole value, and which of them an object takes.

#include <string>

#include "platform/ax_names.hpp"
#include "platform/linux/atspi/atspi_accessibility.hpp"
#include "platform/linux/atspi/atspi_accessibility_target.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/gobject_ptr.hpp"
#include "shared/text.hpp"

namespace mivo::linux_desktop {

AXError AtspiAccessibility::setAttributeValue(const AXElement& element, std::string_view attribute,
                                              const AXValue& value) {
    auto target = resolve(element);
    if (!target)
        return target.error();
    AtspiAccessible* accessible = target->accessible;
    if (accessible == nullptr)
        return AXError::attributeUnsupported;
    if (attribute == kAXFocusedAttribute) {
        const auto focus = value.asBool();
        if (!focus)
            return AXError::illegalArgument;
        if (!*focus)
            return AXError::success;
        GObjectPtr<AtspiComponent> component(atspi_accessible_get_component_iface(accessible));
        if (component == nullptr)
            return AXError::attributeUnsupported;
        GErrorSlot error;
        const gboolean ok = atspi_component_grab_focus(component.get(), error.out());
        if (error.failed())
            return errorForFailure(error.message());
        return ok ? AXError::success : AXError::cannotComplete;
    }
    if (!isTextAttribute(attribute) || attribute == kAXNumberOfCharactersAttribute)
        return AXError::attributeUnsupported;
    if (textExposure(target->live.role) != TextExposure::full)
        return AXError::attributeUnsupported;
    GObjectPtr<AtspiText> iface(atspi_accessible_get_text_iface(accessible));
    if (iface == nullptr)
        return AXError::attributeUnsupported;
    const ToolkitText text{iface.get(), toolkitOf(accessible), accessible};
    // A write works on the text as it is now, and what was read before it
    // is stale after it.
    forgetTexts();
    auto current = cachedText(accessible, text);
    forgetTexts();
    if (!current)
        return current.error();
    if (attribute == kAXSelectedTextRangeAttribute) {
        const auto range = value.asRange();
        if (!range)
            return AXError::illegalArgument;
        const auto toolkitRange = toToolkitRange(text.toolkit, *current, *range);
        if (!toolkitRange)
            return AXError::illegalArgument;
        const AXError result = selectRange(text, *toolkitRange);
        if (result == AXError::success)
            ourSelections_[identityOf(accessible)] = OurSelection{*toolkitRange, *current};
        return result;
    }
    const auto newText = value.asString();
    if (!newText)
        return AXError::illegalArgument;
    GObjectPtr<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(accessible));
    if (editable == nullptr || !target->live.has(ATSPI_STATE_EDITABLE) ||
        !editableTextWorks(text.toolkit))
        return AXError::attributeUnsupported;
    if (attribute == kAXValueAttribute)
        return replaceAll(text, editable.get(), *current, *newText);
    auto selection = readSelection(text, *current, ourSelection(accessible));
    if (!selection)
        return selection.error();
    // An embedded object in the selection would be deleted with no way to
    // put it back.
    const Utf16Range selected = fromToolkitRange(text.toolkit, *current, *selection);
    const auto from = text::utf16ToByteOffset(*current, selected.location);
    const auto to = text::utf16ToByteOffset(*current, selected.end());
    if (!from || !to || holdsEmbeddedObjects(std::string_view(*current).substr(*from, *to - *from)))
        return AXError::cannotComplete;
    return replaceRange(text, editable.get(), *selection, *newText);
}

std::expected<bool, AXError> AtspiAccessibility::isAttributeSettable(const AXElement& element,
                                                                     std::string_view attribute) {
    auto target = resolve(element);
    if (!target)
        return std::unexpected(target.error());
    AtspiAccessible* accessible = target->accessible;
    if (accessible == nullptr)
        return false;
    const LiveObject& live = target->live;
    if (attribute == kAXFocusedAttribute)
        return live.has(ATSPI_STATE_FOCUSABLE);
    if (textExposure(live.role) != TextExposure::full)
        return false;
    if (attribute == kAXSelectedTextRangeAttribute) {
        GObjectPtr<AtspiText> text(atspi_accessible_get_text_iface(accessible));
        return text != nullptr &&
               (live.has(ATSPI_STATE_EDITABLE) || live.has(ATSPI_STATE_SELECTABLE_TEXT));
    }
    if (attribute == kAXValueAttribute || attribute == kAXSelectedTextAttribute) {
        GObjectPtr<AtspiEditableText> editable(
            atspi_accessible_get_editable_text_iface(accessible));
        const Toolkit toolkit = toolkitOf(accessible);
        const bool writes =
            attribute == kAXValueAttribute ? writesWholeValue(toolkit) : editableTextWorks(toolkit);
        return editable != nullptr && live.has(ATSPI_STATE_EDITABLE) && writes;
    }
    return false;
}

}  // namespace mivo::linux_desktop
