// Reading attributes: roles, names, children, states, frames and the text
// with its selection, each text read once per turn of the loop.

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/ax_names.hpp"
#include "platform/linux/atspi/atspi_accessibility.hpp"
#include "platform/linux/atspi/atspi_accessibility_target.hpp"
#include "platform/linux/atspi/atspi_documents.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/gobject_ptr.hpp"
#include "shared/text.hpp"

namespace mivo::linux_desktop {

bool isTextAttribute(std::string_view attribute) {
    return attribute == kAXValueAttribute || attribute == kAXSelectedTextAttribute ||
           attribute == kAXSelectedTextRangeAttribute ||
           attribute == kAXNumberOfCharactersAttribute;
}

namespace {

// The attributes that follow from the role alone.
bool isRoleNameAttribute(std::string_view attribute) {
    return attribute == kAXSubroleAttribute || attribute == kAXRoleDescriptionAttribute;
}

AXResult roleNameAttribute(AtspiRole role, std::string_view attribute) {
    if (attribute == kAXRoleDescriptionAttribute) {
        if (auto name = takeString(atspi_role_get_name(role)))
            return AXValue(*name);
        return std::unexpected(AXError::noValue);
    }
    if (auto subrole = axSubrole(role))
        return AXValue(*subrole);
    return std::unexpected(AXError::attributeUnsupported);
}

}  // namespace

AXResult AtspiAccessibility::roleOnlyAttribute(const AXElement& element,
                                               std::string_view attribute) {
    std::expected<Pid, AXError> pid;
    const auto reached = reachable(element, pid);
    if (!reached)
        return std::unexpected(reached.error());
    if (*reached == nullptr)
        return systemWideAttribute(attribute);
    AtspiAccessible* accessible = *reached;
    GErrorSlot error;
    const AtspiRole role = atspi_accessible_get_role(accessible, error.out());
    noteAnswers(accessible);
    if (error.failed())
        return std::unexpected(errorForFailure(error.message()));
    if (!pid)
        return std::unexpected(pid.error());
    return roleNameAttribute(role, attribute);
}

AXResult AtspiAccessibility::frameAttribute(AtspiAccessible* accessible,
                                            std::string_view attribute) {
    GObjectPtr<AtspiComponent> component(atspi_accessible_get_component_iface(accessible));
    if (component == nullptr)
        return std::unexpected(AXError::attributeUnsupported);
    const Toolkit toolkit = toolkitOf(accessible);
    const bool screen = answersScreenCoordinates(toolkit);
    GErrorSlot error;
    std::unique_ptr<AtspiRect, GFree> r(atspi_component_get_extents(
        component.get(), screen ? ATSPI_COORD_TYPE_SCREEN : ATSPI_COORD_TYPE_WINDOW, error.out()));
    if (error.failed())
        return std::unexpected(errorForFailure(error.message()));
    if (r == nullptr || r->width < 0 || r->height < 0)
        return std::unexpected(AXError::noValue);
    const auto shift =
        mayAnswerStalePositions(toolkit) ? hostedContentShift(accessible) : std::nullopt;
    auto onScreen = toScreen(accessible, toolkit,
                             Rect{static_cast<double>(r->x), static_cast<double>(r->y),
                                  static_cast<double>(r->width), static_cast<double>(r->height)},
                             shift);
    if (!onScreen)
        return std::unexpected(AXError::noValue);
    const Rect frame = toInterfaceCoordinates(*onScreen);
    if (attribute == kAXPositionAttribute)
        return AXValue(Point{frame.x, frame.y});
    return AXValue(Size{frame.width, frame.height});
}

AXResult AtspiAccessibility::childrenAttribute(AtspiAccessible* accessible,
                                               const LiveObject& live) {
    AXError failure = AXError::success;
    auto children = childrenOf(accessible, &failure);
    if (failure != AXError::success)
        return std::unexpected(failure);
    if (live.role == ATSPI_ROLE_APPLICATION)
        wakeChromiumFrames(accessible, children);
    std::vector<AXElement> out;
    out.reserve(children.size());
    for (auto& child : children)
        out.push_back(makeElement(child.release()));
    return AXValue(std::move(out));
}

AXResult AtspiAccessibility::copyAttributeValue(const AXElement& element,
                                                std::string_view attribute) {
    // Whether a field is a password field is asked before every read of
    // it: the role answers that, without the states.
    if (isRoleNameAttribute(attribute))
        return roleOnlyAttribute(element, attribute);
    auto target = resolve(element);
    if (!target)
        return std::unexpected(target.error());
    if (target->accessible == nullptr)
        return systemWideAttribute(attribute);
    AtspiAccessible* accessible = target->accessible;
    const LiveObject& live = target->live;

    if (attribute == kAXRoleAttribute)
        return AXValue(axRole(live.role, live.has(ATSPI_STATE_MULTI_LINE)));
    if (attribute == kAXTitleAttribute) {
        GErrorSlot error;
        auto name = takeString(atspi_accessible_get_name(accessible, error.out()));
        if (error.failed())
            return std::unexpected(errorForFailure(error.message()));
        if (!name)
            return std::unexpected(AXError::noValue);
        return AXValue(*name);
    }
    if (attribute == kAXChildrenAttribute)
        return childrenAttribute(accessible, live);
    if (attribute == kAXParentAttribute) {
        // The desktop above an application is no element of it.
        if (live.role == ATSPI_ROLE_APPLICATION)
            return std::unexpected(AXError::noValue);
        GErrorSlot error;
        AtspiAccessible* parent = atspi_accessible_get_parent(accessible, error.out());
        if (error.failed())
            return std::unexpected(errorForFailure(error.message()));
        if (parent == nullptr)
            return std::unexpected(AXError::noValue);
        return AXValue(makeElement(parent));
    }
    if (attribute == kAXFlowsFromAttribute) {
        GObjectPtr<AtspiAccessible> from = flowsFrom(accessible);
        if (from == nullptr)
            return std::unexpected(AXError::noValue);
        return AXValue(makeElement(from.release()));
    }
    if (attribute == kAXFocusedAttribute)
        return AXValue(live.has(ATSPI_STATE_FOCUSED));
    if (attribute == kAXEditableAttribute)
        return AXValue(live.has(ATSPI_STATE_EDITABLE) &&
                       textExposure(live.role) != TextExposure::none);
    if (attribute == kAXPositionAttribute || attribute == kAXSizeAttribute)
        return frameAttribute(accessible, attribute);
    if (attribute == kAXFocusedUIElementAttribute || attribute == kAXFocusedWindowAttribute) {
        if (live.role != ATSPI_ROLE_APPLICATION)
            return std::unexpected(AXError::attributeUnsupported);
        return attribute == kAXFocusedWindowAttribute ? focusedWindow(accessible)
                                                      : focusedElement(accessible);
    }
    if (isTextAttribute(attribute))
        return textAttribute(accessible, live, attribute);
    return std::unexpected(AXError::attributeUnsupported);
}

AXResult AtspiAccessibility::textAttribute(AtspiAccessible* accessible, const LiveObject& live,
                                           std::string_view attribute) {
    const TextExposure exposure = textExposure(live.role);
    if (exposure == TextExposure::none)
        return std::unexpected(AXError::attributeUnsupported);
    GObjectPtr<AtspiText> iface(atspi_accessible_get_text_iface(accessible));
    if (iface == nullptr)
        return std::unexpected(AXError::attributeUnsupported);
    const ToolkitText text{iface.get(), toolkitOf(accessible), accessible};
    if (exposure == TextExposure::lengthOnly && attribute != kAXNumberOfCharactersAttribute &&
        attribute != kAXSelectedTextRangeAttribute)
        return std::unexpected(AXError::attributeUnsupported);
    if (exposure == TextExposure::lengthOnly) {
        // A password's length and caret, never its text: counted in the
        // toolkit's units, which for a secret are as good as any.
        GErrorSlot countError;
        const gint count = atspi_text_get_character_count(text.text, countError.out());
        if (countError.failed())
            return std::unexpected(errorForFailure(countError.message()));
        if (attribute == kAXNumberOfCharactersAttribute)
            return AXValue(static_cast<int64_t>(std::max(count, 0)));
        // A password's report is taken as it comes: its text is never read.
        auto selection = readSelection(text, {});
        if (!selection)
            return std::unexpected(selection.error());
        return AXValue(Utf16Range{selection->start, selection->end - selection->start});
    }
    auto value = cachedText(accessible, text);
    if (!value)
        return std::unexpected(value.error());
    if (attribute == kAXValueAttribute)
        return AXValue(*value);
    if (attribute == kAXNumberOfCharactersAttribute)
        return AXValue(text::utf16Length(*value));
    auto selection = readSelection(text, *value, ourSelection(accessible));
    if (!selection)
        return std::unexpected(selection.error());
    const Utf16Range range = fromToolkitRange(text.toolkit, *value, *selection);
    if (attribute == kAXSelectedTextRangeAttribute)
        return AXValue(range);
    // AXSelectedText: the selected part of the text just read.
    const auto from = text::utf16ToByteOffset(*value, range.location);
    const auto to = text::utf16ToByteOffset(*value, range.end());
    if (!from || !to)
        return AXValue(std::string());
    return AXValue(value->substr(*from, *to - *from));
}

GObjectPtr<AtspiText> AtspiAccessibility::textInterfaceOf(const AXElement& element) {
    auto target = resolve(element);
    if (!target || target->accessible == nullptr ||
        textExposure(target->live.role) == TextExposure::none)
        return nullptr;
    return GObjectPtr<AtspiText>(atspi_accessible_get_text_iface(target->accessible));
}

std::optional<std::string> AtspiAccessibility::textChangeMark(const AXElement& element) {
    const auto iface = textInterfaceOf(element);
    if (iface == nullptr)
        return std::nullopt;
    GErrorSlot countError;
    const gint count = atspi_text_get_character_count(iface.get(), countError.out());
    if (countError.failed())
        return std::nullopt;
    GErrorSlot caretError;
    const gint caret = atspi_text_get_caret_offset(iface.get(), caretError.out());
    if (caretError.failed())
        return std::nullopt;
    return std::to_string(count) + ":" + std::to_string(caret);
}

std::optional<int64_t> AtspiAccessibility::textLengthMark(const AXElement& element) {
    const auto iface = textInterfaceOf(element);
    if (iface == nullptr)
        return std::nullopt;
    GErrorSlot error;
    const gint count = atspi_text_get_character_count(iface.get(), error.out());
    if (error.failed())
        return std::nullopt;
    return count;
}

std::expected<std::string, AXError> AtspiAccessibility::cachedText(AtspiAccessible* accessible,
                                                                   const ToolkitText& text) {
    const std::string identity = identityOf(accessible);
    if (const auto it = texts_.find(identity); it != texts_.end())
        return it->second;
    ++remoteTextReads_;
    auto value = readText(text);
    if (!value)
        return value;
    // Roles and states come from libatspi's cache even from a hung
    // application; a text read is the application's own answer.
    unanswering_.noteAnswered(busNameOf(accessible));
    texts_[identity] = *value;
    forgetOnNextTurn();
    return value;
}

std::optional<OurSelection> AtspiAccessibility::ourSelection(AtspiAccessible* accessible) const {
    const auto it = ourSelections_.find(identityOf(accessible));
    if (it == ourSelections_.end())
        return std::nullopt;
    return it->second;
}

}  // namespace mivo::linux_desktop
