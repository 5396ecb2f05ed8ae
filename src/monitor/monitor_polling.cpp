// The two polls: the text poll catches edits that sent no notification and
// kept the character count, the focus poll catches focus, window and
// application changes that sent none.

#include <string>
#include <utility>

#include "monitor/accessibility_monitor.hpp"
#include "platform/ax_reads.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

constexpr double kTextPollSeconds = 0.3;
constexpr double kFocusPollSeconds = 1.0;
constexpr int64_t kLoggedPrefixCharacters = 40;

const char* yesNo(bool b) {
    return b ? "YES" : "NO";
}
const char* trueFalse(bool b) {
    return b ? "true" : "false";
}

}  // namespace

void AccessibilityMonitor::startTextPoll() {
    textPollTimer_ =
        ports_.scheduler.repeating(kTextPollSeconds, guarded([this] { textPollTick(); }));
    log("textPoll: started (300ms interval)");
}

void AccessibilityMonitor::startFocusPoll() {
    focusPollLines_.forget();
    focusPollTimer_ =
        ports_.scheduler.repeating(kFocusPollSeconds, guarded([this] { focusPollTick(); }));
    log("focusPoll: started (1s interval)");
}

void AccessibilityMonitor::textPollTick() {
    if (!isMonitoring() || !observedElement_ || pasteInFlight())
        return;
    const AXElement element = *observedElement_;
    // A field that turned into a password field is dropped unread.
    if (isSecureField(element)) {
        observeFocusedElement();
        return;
    }
    // The field's notifications are about to be read as one burst, which
    // accounts for what they told: reading the field now would only read
    // it twice.
    if (axObserver_ && burst_.element == element)
        return;
    // An idle field is not read whole; the kept text knows when it is due.
    Accessibility& ax = ports_.accessibility;
    if (!followed_.tickReadsWhole(
            axObserver_ != nullptr, [&] { return ax.textLengthMark(element); },
            [&] { return ax.textChangeMark(element); }))
        return;
    const auto read = readFieldText(element);
    if (!read) {
        log("textPoll: element gone, re-attaching");
        observeFocusedElement();
        return;
    }
    followed_.keepWhole(read);
    if (read->text.empty() || read->text == lastPolledValue_.text)
        return;
    logUserText("textPoll: value changed " +
                std::to_string(text::characterCount(lastPolledValue_.text)) + "->" +
                std::to_string(text::characterCount(read->text)) + " chars: \"" +
                text::characterPrefix(read->text, kLoggedPrefixCharacters) + "\"");
    lastPolledValue_ = *read;
    scheduleAnalysis(*read);
}

void AccessibilityMonitor::focusPollTick() {
    focusPollLines_.beginPoll();
    focusPollStep();
    focusPollLines_.endPoll();
}

void AccessibilityMonitor::focusPollStep() {
    // While a write holds every input device, the user moves no focus:
    // what the poll reads of the field's application then is the silence
    // of an application stopped or busy, not a move, and re-attaching on it
    // would take the write's field from under its end. The first tick after
    // the hold sees any move made meanwhile.
    if (!isMonitoring() || pasteInFlight() || ports_.input.inputHold().holding())
        return;
    Accessibility& ax = ports_.accessibility;
    const auto front = ports_.workspace.frontmostApplication();
    const Pid frontPid = front ? front->pid : 0;
    bool stale = true;
    bool focusLeft = false;
    if (observedElement_) {
        const AXResult focused = ax.copyAttributeValue(*observedElement_, kAXFocusedAttribute);
        stale = !focused && focused.error() == AXError::invalidUIElement;
        const auto held = focused ? focused->asBool() : std::nullopt;
        focusLeft = observedHeldFocus_ && held == false;
    }
    log("focusPoll: frontPid=" + std::to_string(frontPid) +
        " | focusPid=" + std::to_string(observedFocusPid_) +
        " element=" + yesNo(observedElement_.has_value()) + " stale=" + trueFalse(stale));

    if (frontPid == ownPid_ && !stale) {
        // Mivo's own window: nothing of it can be observed, and the user
        // comes back to the field afterwards.
        return;
    }
    const auto signature = focusedWindowSignature();
    const bool windowChanged =
        lastFocusedWindowSignature_.has_value() && signature != lastFocusedWindowSignature_;
    const bool frontChanged = frontPid > 0 && frontPid != observedFocusPid_;
    if (!stale && !windowChanged && !frontChanged && !focusLeft) {
        lastFocusedWindowSignature_ = signature;
        return;
    }
    if ((windowChanged || focusLeft) && !stale && !frontChanged &&
        AXTextExtractor::focusedTextElement(ax, ports_.workspace) == observedElement_) {
        // Only the window's title changed (an editor marking unsaved changes
        // or counting words as the user types): the same field, the same
        // text, so the pending analysis and the corrections shown still hold.
        // Or the field says it lost the focus and yet the search still finds
        // it (a button took the focus, and the window's only field is this
        // one): asked once, not on every tick.
        if (windowChanged)
            log("focusPoll: window changed around the same element — staying attached");
        observedHeldFocus_ = observedHeldFocus_ && !focusLeft;
        lastFocusedWindowSignature_ = signature;
        return;
    }
    if (focusLeft && !stale && !windowChanged && !frontChanged)
        log("focusPoll: the field followed lost the focus unannounced");
    log(std::string("focusPoll: re-attaching (frontChanged=") + trueFalse(frontChanged) +
        " stale=" + trueFalse(stale) + " windowChanged=" + trueFalse(windowChanged) + ")");
    notifyCorrectionContextChanged();
    if (!isMonitoring())
        return;
    lastFocusedWindowSignature_ = signature;
    if (frontChanged)
        setupFocusObserver(frontPid);
    observeFocusedElement({}, true);
}

std::optional<std::string> AccessibilityMonitor::focusedWindowSignature() {
    const auto front = ports_.workspace.frontmostApplication();
    if (!front)
        return std::nullopt;
    Accessibility& ax = ports_.accessibility;
    const std::string pid = std::to_string(front->pid);
    const auto window =
        readElement(ax, ax.applicationElement(front->pid), kAXFocusedWindowAttribute);
    if (!window)
        return pid + "|no-focused-window";
    return pid + "|" + readString(ax, *window, kAXRoleAttribute).value_or("") + "|" +
           readString(ax, *window, kAXTitleAttribute).value_or("");
}

}  // namespace mivo
