#include "platform/linux/atspi_accessibility.hpp"

#include <unistd.h>

#include <utility>
#include <vector>

#include "platform/ax_names.hpp"
#include "platform/linux/atspi_element.hpp"
#include "platform/linux/gobject_ptr.hpp"
#include "shared/text.hpp"

namespace mivo::linux_desktop {
namespace {

// Bounds of the walk for the focused object when the application offers no
// Collection interface to ask it in one request.
constexpr int kFocusWalkMaxDepth = 40;
constexpr int kFocusWalkMaxNodes = 4000;

template <typename T>
struct GFreeDeleter {
    void operator()(T* p) const { g_free(p); }
};

std::vector<GObjectPtr<AtspiAccessible>> childrenOf(AtspiAccessible* accessible,
                                                    AXError* failure = nullptr) {
    std::vector<GObjectPtr<AtspiAccessible>> out;
    GErrorSlot countError;
    const gint count = atspi_accessible_get_child_count(accessible, countError.out());
    if (countError.failed()) {
        if (failure != nullptr)
            *failure = errorForFailure(countError.message());
        return out;
    }
    for (gint i = 0; i < count; ++i) {
        GErrorSlot error;
        GObjectPtr<AtspiAccessible> child(
            atspi_accessible_get_child_at_index(accessible, i, error.out()));
        // A child that went away between the count and the request is
        // simply not listed.
        if (!error.failed() && child != nullptr)
            out.push_back(std::move(child));
    }
    return out;
}

bool isOfInterest(const LiveObject& object) {
    return object.has(ATSPI_STATE_SHOWING) && !object.has(ATSPI_STATE_MANAGES_DESCENDANTS);
}

AtspiAccessible* findFocusedByWalk(AtspiAccessible* root, int depth, int& budget) {
    if (depth > kFocusWalkMaxDepth)
        return nullptr;
    for (auto& child : childrenOf(root)) {
        if (--budget < 0)
            return nullptr;
        const auto live = inspect(child.get());
        if (!live)
            continue;
        if (live->has(ATSPI_STATE_FOCUSED))
            return child.release();
        if (!isOfInterest(*live))
            continue;
        if (AtspiAccessible* found = findFocusedByWalk(child.get(), depth + 1, budget))
            return found;
    }
    return nullptr;
}

// The focused object below `window`, with one reference for the caller.
AtspiAccessible* findFocused(AtspiAccessible* window) {
    GObjectPtr<AtspiCollection> collection(atspi_accessible_get_collection_iface(window));
    if (collection != nullptr) {
        GObjectPtr<AtspiStateSet> states(atspi_state_set_new(nullptr));
        atspi_state_set_add(states.get(), ATSPI_STATE_FOCUSED);
        GObjectPtr<AtspiMatchRule> rule(atspi_match_rule_new(
            states.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, nullptr,
            ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, FALSE));
        GErrorSlot error;
        GArrayPtr matches(atspi_collection_get_matches(collection.get(), rule.get(),
                                                       ATSPI_Collection_SORT_ORDER_CANONICAL, 1,
                                                       TRUE, error.out()));
        if (!error.failed() && matches != nullptr) {
            AtspiAccessible* found = nullptr;
            for (guint i = 0; i < matches->len; ++i) {
                auto* m = g_array_index(matches.get(), AtspiAccessible*, i);
                if (found == nullptr)
                    found = m;
                else
                    g_object_unref(m);
            }
            return found;
        }
    }
    int budget = kFocusWalkMaxNodes;
    return findFocusedByWalk(window, 0, budget);
}

// The application's window that has the keyboard, with one reference.
AtspiAccessible* activeWindowOf(AtspiAccessible* application) {
    for (auto& child : childrenOf(application)) {
        const auto live = inspect(child.get());
        if (live && live->has(ATSPI_STATE_ACTIVE))
            return child.release();
    }
    return nullptr;
}

bool isTextAttribute(std::string_view attribute) {
    return attribute == kAXValueAttribute || attribute == kAXSelectedTextAttribute ||
           attribute == kAXSelectedTextRangeAttribute ||
           attribute == kAXNumberOfCharactersAttribute;
}

}  // namespace

struct AtspiAccessibility::Target {
    AtspiAccessible* accessible = nullptr;  // null: the system-wide element
    LiveObject live;
};

AtspiAccessibility::AtspiAccessibility(Scheduler& scheduler, Log& log,
                                       std::function<Point()> primaryOrigin)
    : bus_(log),
      primaryOrigin_(std::move(primaryOrigin)),
      events_(std::make_unique<AtspiEventHub>(scheduler)),
      ownPid_(static_cast<Pid>(getpid())) {}

AtspiAccessibility::~AtspiAccessibility() = default;

bool AtspiAccessibility::isProcessTrusted() {
    return bus_.isUsable();
}

bool AtspiAccessibility::isProcessTrustedWithPrompt() {
    return bus_.enable();
}

AXElement AtspiAccessibility::systemWideElement() {
    return systemWideElementHandle();
}

AXElement AtspiAccessibility::applicationElement(Pid pid) {
    // Never our own process: a request to ourselves would wait on the loop
    // that has to answer it.
    if (!bus_.isConnected() || pid == ownPid_ || pid <= 0)
        return missingElementHandle("pid:" + std::to_string(pid));
    GObjectPtr<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (desktop == nullptr)
        return missingElementHandle("pid:" + std::to_string(pid));
    for (auto& app : childrenOf(desktop.get())) {
        const auto appPid = processIdOf(app.get());
        if (appPid && *appPid == pid)
            return makeElement(app.release());
    }
    return missingElementHandle("pid:" + std::to_string(pid));
}

std::expected<AtspiAccessibility::Target, AXError> AtspiAccessibility::resolve(
    const AXElement& element) {
    if (!bus_.isConnected())
        return std::unexpected(AXError::apiDisabled);
    const AtspiElementRef* ref = atspiRef(element);
    if (ref == nullptr)
        return std::unexpected(AXError::illegalArgument);
    if (ref->isSystemWide())
        return Target{};
    AtspiAccessible* accessible = ref->accessible();
    if (accessible == nullptr)
        return std::unexpected(AXError::invalidUIElement);
    // The process comes from the bus daemon, never from the object, so it
    // is safe to ask before we know the object is not ours. The process of
    // an application that quit is unknown; the object then reads as gone.
    const auto pid = processIdOf(accessible);
    if (pid && *pid == ownPid_)
        return std::unexpected(AXError::cannotComplete);
    auto live = inspect(accessible);
    if (!live)
        return std::unexpected(live.error());
    if (!pid)
        return std::unexpected(pid.error());
    return Target{accessible, std::move(*live)};
}

AXResult AtspiAccessibility::copyAttributeValue(const AXElement& element,
                                                std::string_view attribute) {
    auto target = resolve(element);
    if (!target)
        return std::unexpected(target.error());
    if (target->accessible == nullptr)
        return systemWideAttribute(attribute);
    AtspiAccessible* accessible = target->accessible;
    const LiveObject& live = target->live;

    if (attribute == kAXRoleAttribute)
        return AXValue(axRole(live.role, live.has(ATSPI_STATE_MULTI_LINE)));
    if (attribute == kAXSubroleAttribute) {
        if (auto subrole = axSubrole(live.role))
            return AXValue(*subrole);
        return std::unexpected(AXError::attributeUnsupported);
    }
    if (attribute == kAXTitleAttribute) {
        GErrorSlot error;
        auto name = takeString(atspi_accessible_get_name(accessible, error.out()));
        if (error.failed())
            return std::unexpected(errorForFailure(error.message()));
        if (!name)
            return std::unexpected(AXError::noValue);
        return AXValue(*name);
    }
    if (attribute == kAXChildrenAttribute) {
        AXError failure = AXError::success;
        auto children = childrenOf(accessible, &failure);
        if (failure != AXError::success)
            return std::unexpected(failure);
        std::vector<AXElement> out;
        out.reserve(children.size());
        for (auto& child : children)
            out.push_back(makeElement(child.release()));
        return AXValue(std::move(out));
    }
    if (attribute == kAXFocusedAttribute)
        return AXValue(live.has(ATSPI_STATE_FOCUSED));
    if (attribute == kAXEditableAttribute)
        return AXValue(live.has(ATSPI_STATE_EDITABLE));
    if (attribute == kAXPositionAttribute || attribute == kAXSizeAttribute) {
        GObjectPtr<AtspiComponent> component(atspi_accessible_get_component_iface(accessible));
        if (component == nullptr)
            return std::unexpected(AXError::attributeUnsupported);
        GErrorSlot error;
        std::unique_ptr<AtspiRect, GFreeDeleter<AtspiRect>> r(
            atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, error.out()));
        if (error.failed())
            return std::unexpected(errorForFailure(error.message()));
        if (r == nullptr || r->width < 0 || r->height < 0)
            return std::unexpected(AXError::noValue);
        const Rect frame = toInterfaceCoordinates(
            Rect{static_cast<double>(r->x), static_cast<double>(r->y),
                 static_cast<double>(r->width), static_cast<double>(r->height)});
        if (attribute == kAXPositionAttribute)
            return AXValue(Point{frame.x, frame.y});
        return AXValue(Size{frame.width, frame.height});
    }
    if (attribute == kAXFocusedUIElementAttribute || attribute == kAXFocusedWindowAttribute) {
        if (live.role != ATSPI_ROLE_APPLICATION)
            return std::unexpected(AXError::attributeUnsupported);
        return attribute == kAXFocusedWindowAttribute ? focusedWindow(accessible)
                                                      : focusedElement(accessible);
    }
    if (isTextAttribute(attribute))
        return textAttribute(accessible, attribute);
    return std::unexpected(AXError::attributeUnsupported);
}

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
        if (!appPid || *appPid == ownPid_)
            continue;
        GObjectPtr<AtspiAccessible> window(activeWindowOf(app.get()));
        if (window == nullptr)
            continue;
        if (AtspiAccessible* focused = findFocused(window.get()))
            return AXValue(makeElement(focused));
    }
    return std::unexpected(AXError::noValue);
}

AXResult AtspiAccessibility::focusedWindow(AtspiAccessible* application) {
    if (AtspiAccessible* window = activeWindowOf(application))
        return AXValue(makeElement(window));
    return std::unexpected(AXError::noValue);
}

AXResult AtspiAccessibility::focusedElement(AtspiAccessible* application) {
    GObjectPtr<AtspiAccessible> window(activeWindowOf(application));
    if (window == nullptr)
        return std::unexpected(AXError::noValue);
    if (AtspiAccessible* focused = findFocused(window.get()))
        return AXValue(makeElement(focused));
    return std::unexpected(AXError::noValue);
}

AXResult AtspiAccessibility::textAttribute(AtspiAccessible* accessible,
                                           std::string_view attribute) {
    GObjectPtr<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (text == nullptr)
        return std::unexpected(AXError::attributeUnsupported);
    auto value = readText(text.get());
    if (!value)
        return std::unexpected(value.error());
    if (attribute == kAXValueAttribute)
        return AXValue(*value);
    if (attribute == kAXNumberOfCharactersAttribute)
        return AXValue(text::utf16Length(*value));
    auto selection = readSelection(text.get());
    if (!selection)
        return std::unexpected(selection.error());
    const Utf16Range range = utf16Range(*value, *selection);
    if (attribute == kAXSelectedTextRangeAttribute)
        return AXValue(range);
    // AXSelectedText: the selected part of the text just read.
    const auto from = text::utf16ToByteOffset(*value, range.location);
    const auto to = text::utf16ToByteOffset(*value, range.end());
    if (!from || !to)
        return AXValue(std::string());
    return AXValue(value->substr(*from, *to - *from));
}

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
    GObjectPtr<AtspiText> text(atspi_accessible_get_text_iface(target->accessible));
    if (text == nullptr)
        return std::unexpected(AXError::parameterizedAttributeUnsupported);
    const auto range = parameter.asRange();
    if (!range)
        return std::unexpected(AXError::illegalArgument);
    auto value = readText(text.get());
    if (!value)
        return std::unexpected(value.error());
    const auto codePoints = codePointRange(*value, *range);
    if (!codePoints)
        return std::unexpected(AXError::illegalArgument);
    if (attribute == kAXStringForRangeParameterizedAttribute) {
        const auto from = *text::utf16ToByteOffset(*value, range->location);
        const auto to = *text::utf16ToByteOffset(*value, range->end());
        return AXValue(value->substr(from, to - from));
    }
    const auto count = static_cast<int64_t>(text::toCodePoints(*value).size());
    auto bounds = rangeExtents(text.get(), *codePoints, count);
    if (!bounds)
        return std::unexpected(bounds.error());
    // The zero rectangle stays zero: it is the interface's "no answer".
    return AXValue(bounds->isZero() ? *bounds : toInterfaceCoordinates(*bounds));
}

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
    GObjectPtr<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (text == nullptr)
        return AXError::attributeUnsupported;
    if (attribute == kAXSelectedTextRangeAttribute) {
        const auto range = value.asRange();
        if (!range)
            return AXError::illegalArgument;
        auto current = readText(text.get());
        if (!current)
            return current.error();
        const auto codePoints = codePointRange(*current, *range);
        if (!codePoints)
            return AXError::illegalArgument;
        return selectRange(text.get(), *codePoints);
    }
    const auto newText = value.asString();
    if (!newText)
        return AXError::illegalArgument;
    GObjectPtr<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(accessible));
    if (editable == nullptr || !target->live.has(ATSPI_STATE_EDITABLE))
        return AXError::attributeUnsupported;
    if (attribute == kAXValueAttribute)
        return replaceAll(editable.get(), *newText);
    auto selection = readSelection(text.get());
    if (!selection)
        return selection.error();
    return replaceRange(text.get(), editable.get(), *selection, *newText);
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
    if (attribute == kAXSelectedTextRangeAttribute) {
        GObjectPtr<AtspiText> text(atspi_accessible_get_text_iface(accessible));
        return text != nullptr &&
               (live.has(ATSPI_STATE_EDITABLE) || live.has(ATSPI_STATE_SELECTABLE_TEXT));
    }
    if (attribute == kAXValueAttribute || attribute == kAXSelectedTextAttribute) {
        GObjectPtr<AtspiEditableText> editable(
            atspi_accessible_get_editable_text_iface(accessible));
        return editable != nullptr && live.has(ATSPI_STATE_EDITABLE);
    }
    return false;
}

std::expected<Pid, AXError> AtspiAccessibility::pid(const AXElement& element) {
    if (!bus_.isConnected())
        return std::unexpected(AXError::apiDisabled);
    const AtspiElementRef* ref = atspiRef(element);
    if (ref == nullptr)
        return std::unexpected(AXError::illegalArgument);
    if (ref->isSystemWide())
        return std::unexpected(AXError::illegalArgument);
    if (ref->accessible() == nullptr)
        return std::unexpected(AXError::invalidUIElement);
    const auto pid = processIdOf(ref->accessible());
    if (pid)
        return pid;
    // A process that left the bus has no process identifier any more: its
    // objects are gone.
    if (auto live = inspect(ref->accessible()); !live)
        return std::unexpected(live.error());
    return pid;
}

std::expected<std::unique_ptr<AXObserver>, AXError> AtspiAccessibility::createObserver(
    Pid pid, AXNotificationHandler handler) {
    if (!bus_.isConnected())
        return std::unexpected(AXError::apiDisabled);
    if (pid <= 0 || pid == ownPid_)
        return std::unexpected(AXError::illegalArgument);
    if (!events_->start())
        return std::unexpected(AXError::failure);
    auto state = std::make_shared<AtspiEventHub::ObserverState>();
    state->pid = pid;
    state->handler = std::move(handler);
    events_->add(state);
    return makeAtspiObserver(std::move(state), *this);
}

Rect AtspiAccessibility::toInterfaceCoordinates(Rect r) const {
    const Point origin = primaryOrigin_ ? primaryOrigin_() : Point{};
    r.x -= origin.x;
    r.y -= origin.y;
    return r;
}

}  // namespace mivo::linux_desktop
