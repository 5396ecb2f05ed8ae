#include "platform/linux/atspi_accessibility.hpp"

#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/ax_names.hpp"
#include "platform/linux/atspi_documents.hpp"
#include "platform/linux/atspi_element.hpp"
#include "platform/linux/atspi_flat_boxes.hpp"
#include "platform/linux/gobject_ptr.hpp"
#include "shared/text.hpp"

namespace mivo::linux_desktop {
namespace {

template <typename T>
struct GFreeDeleter {
    void operator()(T* p) const { g_free(p); }
};

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
    : scheduler_(scheduler),
      log_(log),
      bus_(log),
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
    if (isQuiet(accessible))
        return std::unexpected(AXError::cannotComplete);
    // The process comes from the bus daemon, never from the object, so it
    // is safe to ask before we know the object is not ours. The process of
    // an application that quit is unknown; the object then reads as gone.
    const auto pid = processIdOf(accessible);
    if (pid && *pid == ownPid_)
        return std::unexpected(AXError::cannotComplete);
    auto live = inspect(accessible);
    noteAnswers(accessible);
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
    if (attribute == kAXRoleDescriptionAttribute) {
        if (auto name = takeString(atspi_role_get_name(live.role)))
            return AXValue(*name);
        return std::unexpected(AXError::noValue);
    }
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
        if (live.role == ATSPI_ROLE_APPLICATION)
            wakeChromiumFrames(accessible, children);
        std::vector<AXElement> out;
        out.reserve(children.size());
        for (auto& child : children)
            out.push_back(makeElement(child.release()));
        return AXValue(std::move(out));
    }
    if (attribute == kAXFocusedAttribute)
        return AXValue(live.has(ATSPI_STATE_FOCUSED));
    if (attribute == kAXEditableAttribute)
        return AXValue(live.has(ATSPI_STATE_EDITABLE) &&
                       textExposure(live.role) != TextExposure::none);
    if (attribute == kAXPositionAttribute || attribute == kAXSizeAttribute) {
        GObjectPtr<AtspiComponent> component(atspi_accessible_get_component_iface(accessible));
        if (component == nullptr)
            return std::unexpected(AXError::attributeUnsupported);
        const Toolkit toolkit = toolkitOf(accessible);
        const bool screen = answersScreenCoordinates(toolkit);
        GErrorSlot error;
        std::unique_ptr<AtspiRect, GFreeDeleter<AtspiRect>> r(atspi_component_get_extents(
            component.get(), screen ? ATSPI_COORD_TYPE_SCREEN : ATSPI_COORD_TYPE_WINDOW,
            error.out()));
        if (error.failed())
            return std::unexpected(errorForFailure(error.message()));
        if (r == nullptr || r->width < 0 || r->height < 0)
            return std::unexpected(AXError::noValue);
        auto onScreen =
            toScreen(accessible, toolkit,
                     Rect{static_cast<double>(r->x), static_cast<double>(r->y),
                          static_cast<double>(r->width), static_cast<double>(r->height)});
        if (!onScreen)
            return std::unexpected(AXError::noValue);
        const Rect frame = toInterfaceCoordinates(*onScreen);
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
        return textAttribute(accessible, live, attribute);
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
        if (!appPid || *appPid == ownPid_ || isQuiet(app.get()))
            continue;
        GObjectPtr<AtspiAccessible> window(activeWindowOf(app.get(), activeWindowTitle_));
        noteAnswers(app.get());
        if (window == nullptr)
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
    if (!inside.objectsOnly)
        return makeElement(owned.release());
    const std::string identity = identityOf(focused);
    if (inside.field != nullptr) {
        // Moving the caret into another paragraph is then a focus change.
        events_->followInside(identity);
        return makeElement(inside.field.release());
    }
    if (notCheckableLogged_.size() > 256)
        notCheckableLogged_.clear();
    if (notCheckableLogged_.insert(identity).second)
        log_.write(
            "[Mivo] observe: the focused document's own text is only embedded objects and "
            "no paragraph inside holds the caret; its text is not checked");
    return makeElement(owned.release());
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
    const auto onScreen = toScreen(target->accessible, text.toolkit, *bounds);
    if (!onScreen || isStale(text, *toolkitRange, *onScreen))
        return AXValue(Rect{});
    return AXValue(toInterfaceCoordinates(*onScreen));
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
            ourSelections_[identityOf(accessible)] = *toolkitRange;
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

WriteRouteTrust AtspiAccessibility::writeRouteTrust(const AXElement& element) {
    auto target = resolve(element);
    if (!target || target->accessible == nullptr)
        return writeRouteTrustOf(Toolkit::other);
    return writeRouteTrustOf(toolkitOf(target->accessible));
}

std::optional<std::string> AtspiAccessibility::textChangeMark(const AXElement& element) {
    auto target = resolve(element);
    if (!target || target->accessible == nullptr ||
        textExposure(target->live.role) == TextExposure::none)
        return std::nullopt;
    GObjectPtr<AtspiText> iface(atspi_accessible_get_text_iface(target->accessible));
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
    if (!forgetScheduled_) {
        forgetScheduled_ = true;
        scheduler_.after(0, [this, alive = std::weak_ptr<int>(alive_)] {
            if (alive.expired())
                return;
            forgetScheduled_ = false;
            forgetTexts();
        });
    }
    return value;
}

std::optional<ToolkitRange> AtspiAccessibility::ourSelection(AtspiAccessible* accessible) const {
    const auto it = ourSelections_.find(identityOf(accessible));
    if (it == ourSelections_.end())
        return std::nullopt;
    return it->second;
}

bool AtspiAccessibility::isQuiet(AtspiAccessible* accessible) {
    const auto now = UnansweringApplications::Clock::now();
    // A call of the previous request that ran into its time-out marks that
    // request's application.
    if (noReplyFailures() != noRepliesBefore_ && !lastApplication_.empty())
        unanswering_.noteNoReply(lastApplication_, now);
    noRepliesBefore_ = noReplyFailures();
    lastApplication_ = busNameOf(accessible);
    return unanswering_.isQuiet(lastApplication_, now);
}

void AtspiAccessibility::noteAnswers(AtspiAccessible* accessible) {
    const auto now = UnansweringApplications::Clock::now();
    if (noReplyFailures() != noRepliesBefore_) {
        unanswering_.noteNoReply(busNameOf(accessible), now);
        noRepliesBefore_ = noReplyFailures();
    }
}

std::optional<Rect> AtspiAccessibility::toScreen(AtspiAccessible* accessible, Toolkit toolkit,
                                                 Rect r) {
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

bool AtspiAccessibility::isStale(const ToolkitText& text, ToolkitRange range,
                                 const Rect& onScreen) {
    if (!mayAnswerStalePositions(text.toolkit) || !windowFrame_)
        return false;
    const auto pid = processIdOf(text.accessible);
    const auto window = pid ? windowFrame_(*pid) : std::nullopt;
    if (!window)
        return false;
    const auto offset = answeredWindowOffset(text, range.start);
    return offset && looksStale(onScreen, *offset, *window);
}

Rect AtspiAccessibility::toInterfaceCoordinates(Rect r) const {
    const Point origin = primaryOrigin_ ? primaryOrigin_() : Point{};
    r.x -= origin.x;
    r.y -= origin.y;
    return r;
}

}  // namespace mivo::linux_desktop
