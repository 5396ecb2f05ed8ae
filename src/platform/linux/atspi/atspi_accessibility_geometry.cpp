// Where text stands on screen: the bounds of a range, with flat boxes
// mended, stale answers refused, and window or root coordinates made the
// interface's.

#include <string>

#include "platform/ax_names.hpp"
#include "platform/linux/atspi/atspi_accessibility.hpp"
#include "platform/linux/atspi/atspi_accessibility_target.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/atspi_flat_boxes.hpp"
#include "platform/linux/atspi/gobject_ptr.hpp"
#include "shared/text.hpp"

namespace mivo::linux_desktop {

AXResult AtspiAccessibility::copyParameterizedAttributeValue(const AXElement& element,
                                                             std::string_view attribute,
                                                             const AXValue& parameter) {
    auto target = resolve(element);
    if (!target)
        return std::unexpected(target.error());
    if (target->accessible == nullptr)
        return std::unexpected(AXError::parameterizedAttributeUnsupported);
    if (attribute != kAXStringForRangeParameterizedAttribute &&
        attribute != kAXBoundsForRangeParameterizedAttribute)
        return std::unexpected(AXError::parameterizedAttributeUnsupported);
    if (textExposure(target->live.role) != TextExposure::full)
        return std::unexpected(AXError::parameterizedAttributeUnsupported);
    GObjectPtr<AtspiText> iface(atspi_accessible_get_text_iface(target->accessible));
    if (iface == nullptr)
        return std::unexpected(AXError::parameterizedAttributeUnsupported);
    const ToolkitText text{iface.get(), toolkitOf(target->accessible), target->accessible};
    const auto range = parameter.asRange();
    if (!range)
        return std::unexpected(AXError::illegalArgument);
    auto value = cachedText(target->accessible, text);
    if (!value)
        return std::unexpected(value.error());
    const auto toolkitRange = toToolkitRange(text.toolkit, *value, *range);
    if (!toolkitRange)
        return std::unexpected(AXError::illegalArgument);
    if (attribute == kAXStringForRangeParameterizedAttribute) {
        const auto from = *text::utf16ToByteOffset(*value, range->location);
        const auto to = *text::utf16ToByteOffset(*value, range->end());
        return AXValue(value->substr(from, to - from));
    }
    auto bounds = rangeExtents(text, *value, *toolkitRange);
    if (!bounds)
        return std::unexpected(bounds.error());
    if (!bounds->isZero() && bounds->height <= 0) {
        const auto mended = mendFlatBox(text, *value, *toolkitRange, *bounds);
        if (!mended) {
            noteUnusableExtents(target->accessible, text.toolkit);
            return AXValue(Rect{});
        }
        *bounds = *mended;
    }
    // The zero rectangle stays zero: it is the interface's "no answer".
    if (bounds->isZero())
        return AXValue(*bounds);
    const auto shift = mayAnswerStalePositions(text.toolkit)
                           ? hostedContentShift(target->accessible)
                           : std::nullopt;
    const auto onScreen = toScreen(target->accessible, text.toolkit, *bounds, shift);
    if (!onScreen || isStale(text, *toolkitRange, *onScreen, shift))
        return AXValue(Rect{});
    return AXValue(toInterfaceCoordinates(*onScreen));
}

std::optional<Rect> AtspiAccessibility::toScreen(AtspiAccessible* accessible, Toolkit toolkit,
                                                 Rect r, std::optional<Point> shift) {
    if (shift) {
        r.x += shift->x;
        r.y += shift->y;
    }
    if (answersScreenCoordinates(toolkit))
        return r;
    const auto pid = processIdOf(accessible);
    const auto origin =
        pid && windowOrigin_ ? windowOrigin_(*pid, windowSizeOf(accessible)) : std::nullopt;
    if (!origin)
        return std::nullopt;
    r.x += origin->x;
    r.y += origin->y;
    return r;
}

void AtspiAccessibility::noteUnusableExtents(AtspiAccessible* accessible, Toolkit toolkit) {
    const std::string application = busNameOf(accessible);
    if (unusableExtentsLogged_.size() > 256)
        unusableExtentsLogged_.clear();
    if (unusableExtentsLogged_.insert(application).second)
        log_.write("[Mivo] geometry: the " + std::string(toolkitLabel(toolkit)) +
                   " field answers character boxes without height and nothing to mend them "
                   "from; its mistakes are not highlighted");
}

bool AtspiAccessibility::isStale(const ToolkitText& text, ToolkitRange range, const Rect& onScreen,
                                 std::optional<Point> shift) {
    if (!mayAnswerStalePositions(text.toolkit) || !windowFrame_)
        return false;
    const auto pid = processIdOf(text.accessible);
    const auto window = pid ? windowFrame_(*pid) : std::nullopt;
    if (!window)
        return false;
    auto offset = answeredWindowOffset(text, range.start);
    if (!offset)
        return false;
    // Where the application's answer was moved to where its window's
    // content really is, the window is placed where it stands.
    if (shift) {
        offset->x += shift->x;
        offset->y += shift->y;
    }
    return looksStale(onScreen, *offset, *window);
}

Rect AtspiAccessibility::toInterfaceCoordinates(Rect r) const {
    const Point origin = primaryOrigin_ ? primaryOrigin_() : Point{};
    r.x -= origin.x;
    r.y -= origin.y;
    return r;
}

}  // namespace mivo::linux_desktop
