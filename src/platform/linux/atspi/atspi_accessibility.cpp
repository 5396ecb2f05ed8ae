// The port's handles: the trust check, application elements, each handle
// checked before a call, process ids, observers, and the applications left
// alone after they stopped answering.

#include "platform/linux/atspi/atspi_accessibility.hpp"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "platform/linux/atspi/atspi_accessibility_target.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/atspi_text.hpp"
#include "platform/linux/atspi/call_time_bound.hpp"
#include "platform/linux/atspi/gobject_ptr.hpp"

namespace mivo::linux_desktop {

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

std::expected<AtspiAccessible*, AXError> AtspiAccessibility::reachable(
    const AXElement& element, std::expected<Pid, AXError>& pid) {
    if (!bus_.isConnected())
        return std::unexpected(AXError::apiDisabled);
    boundCallTime();
    const AtspiElementRef* ref = atspiRef(element);
    if (ref == nullptr)
        return std::unexpected(AXError::illegalArgument);
    if (ref->isSystemWide())
        return nullptr;
    AtspiAccessible* accessible = ref->accessible();
    if (accessible == nullptr)
        return std::unexpected(AXError::invalidUIElement);
    if (isQuiet(accessible))
        return std::unexpected(AXError::cannotComplete);
    // The process comes from the bus daemon, never from the object, so it
    // is safe to ask before we know the object is not ours. The process of
    // an application that quit is unknown; the object then reads as gone.
    pid = processOfThisTurn(accessible);
    if (pid && *pid == ownPid_)
        return std::unexpected(AXError::cannotComplete);
    return accessible;
}

std::expected<AtspiAccessibility::Target, AXError> AtspiAccessibility::resolve(
    const AXElement& element) {
    std::expected<Pid, AXError> pid;
    const auto accessible = reachable(element, pid);
    if (!accessible)
        return std::unexpected(accessible.error());
    if (*accessible == nullptr)
        return Target{};
    auto live = inspect(*accessible);
    noteAnswers(*accessible);
    if (!live)
        return std::unexpected(live.error());
    if (!pid)
        return std::unexpected(pid.error());
    return Target{*accessible, std::move(*live)};
}

std::expected<Pid, AXError> AtspiAccessibility::processOfThisTurn(AtspiAccessible* accessible) {
    const std::string bus = busNameOf(accessible);
    if (const auto it = processesThisTurn_.find(bus); it != processesThisTurn_.end())
        return it->second;
    const auto pid = processIdOf(accessible);
    if (pid && !bus.empty()) {
        processesThisTurn_.emplace(bus, *pid);
        forgetOnNextTurn();
    }
    return pid;
}

void AtspiAccessibility::forgetOnNextTurn() {
    if (forgetScheduled_)
        return;
    forgetScheduled_ = true;
    scheduler_.after(0, [this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.expired())
            return;
        forgetScheduled_ = false;
        forgetTexts();
        processesThisTurn_.clear();
    });
}

WriteRouteTrust AtspiAccessibility::writeRouteTrust(const AXElement& element) {
    auto target = resolve(element);
    if (!target || target->accessible == nullptr)
        return writeRouteTrustOf(Toolkit::other);
    return writeRouteTrustOf(toolkitOf(target->accessible));
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

bool AtspiAccessibility::owesAnswer(const AXElement& element) {
    const AtspiElementRef* ref = atspiRef(element);
    if (!bus_.isConnected() || ref == nullptr || ref->isSystemWide() ||
        ref->accessible() == nullptr)
        return false;
    // A time-out of the last request counts against its application.
    if (noReplyFailures() != noRepliesBefore_ && !lastApplication_.empty())
        unanswering_.noteNoReply(lastApplication_, UnansweringApplications::Clock::now());
    noRepliesBefore_ = noReplyFailures();
    return unanswering_.owesAnswer(busNameOf(ref->accessible()));
}

void AtspiAccessibility::requestCaret(const AXElement& element, int64_t utf16Offset) {
    const AtspiElementRef* ref = atspiRef(element);
    if (!bus_.isConnected() || ref == nullptr || ref->isSystemWide() ||
        ref->accessible() == nullptr)
        return;
    AtspiAccessible* accessible = ref->accessible();
    // Counted in the text our selection was made in: the application may
    // not answer a read now. Without a selection of ours there is nothing
    // to take back.
    const auto ours = ourSelection(accessible);
    if (!ours)
        return;
    const auto caret =
        toToolkitRange(toolkitOf(accessible), ours->value, Utf16Range{utf16Offset, 0});
    if (caret)
        requestCaretUnanswered(accessible, caret->start);
}

void AtspiAccessibility::limitCallsUntil(std::optional<TimePoint> deadline) {
    callsBy_ = deadline;
    boundCallTime();
}

void AtspiAccessibility::boundCallTime(bool owesAnswer) {
    int timeout = callTimeoutMs(callsBy_, scheduler_.now(), kCallTimeoutMs, owesAnswer);
    if (callsLimitedNow())
        timeout = kShortestCallMs;
    if (timeout != callTimeoutMs_) {
        callTimeoutMs_ = timeout;
        atspi_set_timeout(timeout, kStartupCallTimeoutMs);
    }
}

bool AtspiAccessibility::isQuiet(AtspiAccessible* accessible) {
    const auto now = UnansweringApplications::Clock::now();
    // A call of the previous request that ran into its time-out marks that
    // request's application.
    if (noReplyFailures() != noRepliesBefore_ && !lastApplication_.empty())
        unanswering_.noteNoReply(lastApplication_, now, callsBy_.has_value());
    noRepliesBefore_ = noReplyFailures();
    lastApplication_ = busNameOf(accessible);
    // Every call into an application passes here, also those of a walk
    // that do not resolve an element: each gets the time left before the
    // bound as it stands now, not as it stood at the walk's first call.
    // While the bound holds, one that let a call time out is probed for
    // its answer rather than left alone.
    const bool probing = callsBy_.has_value();
    boundCallTime(probing && unanswering_.owesAnswer(lastApplication_));
    return unanswering_.isQuiet(lastApplication_, now, probing);
}

void AtspiAccessibility::noteAnswers(AtspiAccessible* accessible) {
    const auto now = UnansweringApplications::Clock::now();
    if (noReplyFailures() != noRepliesBefore_) {
        unanswering_.noteNoReply(busNameOf(accessible), now);
        noRepliesBefore_ = noReplyFailures();
    }
}

}  // namespace mivo::linux_desktop
