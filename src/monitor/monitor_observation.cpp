// Which element the monitor follows, and the observers that tell it of
// focus, window and value changes.

#include <algorithm>
#include <string>

#include "field/pasteboard_guard.hpp"
#include "monitor/accessibility_monitor.hpp"
#include "platform/ax_reads.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

// A key-down changes the field only after the application handled it.
constexpr double kKeystrokeReReadSeconds = 0.25;
// The caret-window read takes at most this many UTF-16 units before the caret.
constexpr int64_t kCaretWindowUnits = 400;

bool isInvalidElement(const AXResult& r) {
    return !r && r.error() == AXError::invalidUIElement;
}

}  // namespace

void AccessibilityMonitor::setupFocusObserver(Pid pid) {
    if (pid == observedFocusPid_)
        return;
    tearDownFocusObserver();
    Accessibility& ax = ports_.accessibility;
    const AXElement app = ax.applicationElement(pid);
    auto observer = ax.createObserver(
        pid, guarded([this](const AXElement&, std::string_view) { handleFocusChanged(); }));
    if (!observer || *observer == nullptr) {
        log("focusObserver: atspi_event_listener_register failed for pid=" + std::to_string(pid));
        return;
    }
    // A browser shows its window before its application is on the
    // accessibility bus: nothing of it can be listened to yet. Taken as
    // watched, none of its focus changes would ever be heard; the focus poll
    // asks again every second instead.
    const AXError focus = (*observer)->addNotification(app, kAXFocusedUIElementChangedNotification);
    const AXError window = (*observer)->addNotification(app, kAXFocusedWindowChangedNotification);
    if (focus != AXError::success || window != AXError::success) {
        log("focusObserver: pid=" + std::to_string(pid) +
            " has no application on the accessibility bus yet");
        return;
    }
    focusObserver_ = std::move(*observer);
    focusObservedApp_ = app;
    observedFocusPid_ = pid;
    log("focusObserver: watching pid=" + std::to_string(pid));
}

void AccessibilityMonitor::handleFocusChanged() {
    if (!isMonitoring())
        return;
    // Asked now, an application waiting for our paste would answer nothing:
    // the change is looked at once the paste is in. While a write holds
    // every input device no move is the user's (an application waking from
    // a stop reports the focus our activation gave it): the field written
    // stays followed until the hold ends, and the change is looked at then.
    if (pasteInFlight() || ports_.input.inputHold().holding()) {
        scheduleStep(PasteboardGuard::kFetchPollInterval, [this] { handleFocusChanged(); });
        return;
    }
    // One focus change arrives as several notifications (the element's
    // focus, the window's activation): the field is attached and read once.
    // The search for the focused field is a walk through the application's
    // tree: the element it finds is the one attached.
    const auto focused = searchFocusedField();
    if (isFollowingFocusedField(focused)) {
        notifyFieldMayHaveMoved();
        return;
    }
    // The caret went into another line of the same document: the focused
    // element, in the user's eyes, did not change.
    if (follow_.caretMovedWithinDocument(focused)) {
        if (follow_.isWritingIntoFollowed()) {
            log("observe: the caret went into another block while a correction is written — "
                "staying with the block written");
            return;
        }
        follow_.followWithinDocument(*focused);
        return;
    }
    notifyCorrectionContextChanged();
    if (isMonitoring())
        observeFocusedElement(focused);
}

std::optional<AXElement> AccessibilityMonitor::searchFocusedField() {
    return AXTextExtractor::focusedTextElement(ports_.accessibility, ports_.workspace);
}

bool AccessibilityMonitor::isFollowingFocusedField(const std::optional<AXElement>& focused) {
    // A return to the field after its boxes went (Alt+Tab back, or from
    // Mivo's own window) finds it focused as before: it is the same field,
    // but nothing of it is shown any more.
    return observedElement_ && axObserver_ && focused == observedElement_ &&
           !contextChangedSinceAttach_;
}

void AccessibilityMonitor::tearDownFocusObserver() {
    if (focusObserver_ && focusObservedApp_) {
        focusObserver_->removeNotification(*focusObservedApp_,
                                           kAXFocusedUIElementChangedNotification);
        focusObserver_->removeNotification(*focusObservedApp_, kAXFocusedWindowChangedNotification);
    }
    focusObserver_.reset();
    focusObservedApp_.reset();
    observedFocusPid_ = 0;
}

void AccessibilityMonitor::observeFocusedElement(
    const std::optional<std::optional<AXElement>>& searched, bool late) {
    // Mivo's own window in front holds no field of another application:
    // the one followed stays.
    if (observedElement_ && isOwnProcessInFront())
        return;
    tearDownValueObserver();
    if (!isMonitoring())
        return;
    contextChangedSinceAttach_ = false;
    lastFocusedWindowSignature_ = focusedWindowSignature();

    Accessibility& ax = ports_.accessibility;
    const auto element = searched ? *searched : searchFocusedField();
    if (!element) {
        refusedSecureField_.reset();
        log("observe: no text-editing element found in frontmost app");
        return;
    }
    // A password field is never followed: nothing of it is read, polled or
    // logged. Every keystroke in it asks again; it is said once per focus.
    if (isSecureField(*element)) {
        if (refusedSecureField_ != element)
            log("observe: secure text field — not observed");
        refusedSecureField_ = *element;
        return;
    }
    refusedSecureField_.reset();
    const std::string role = readString(ax, *element, kAXRoleAttribute).value_or("unknown");
    const auto pid = ax.pid(*element);
    if (!pid || *pid < 1) {
        log("observe: could not get pid for element");
        return;
    }

    observedElement_ = *element;
    observedPid_ = *pid;
    // A paragraph of a document followed for its caret has no focus of its
    // own, and is never taken to have lost it.
    observedHeldFocus_ = readBool(ax, *element, kAXFocusedAttribute).value_or(false);
    const auto read = extractTextForAnalysis(*element);
    lastPolledValue_ = read.value_or(FieldText{});
    followed_.keepWhole(read);
    follow_.noteAttached(*element, read, late);
    hasCharCountChanged(*element);  // the baseline for the next changes
    // The log names the role as the accessibility bus does ("entry").
    log("observe: ATTACHED to role=" +
        readString(ax, *element, kAXRoleDescriptionAttribute).value_or(role) +
        " pid=" + std::to_string(*pid));
    // What the field holds is checked as it stands, changed or not: the
    // caret moved into a paragraph written before (or its neighbour above
    // was deleted), the attach took its boxes away, and no edit of it may
    // ever come to bring them back.
    // A block of the document left before its check ran is checked once
    // the pause has passed, as it reads now: the document's own text holds
    // an object more for each line made meanwhile, which the text kept for
    // its check did not.
    follow_.takePendingCheck(*element).cancel();
    if (read && !read->text.empty())
        scheduleAnalysis(*read);

    auto observer =
        ax.createObserver(*pid, guarded([this](const AXElement& notified, std::string_view) {
            noteFieldNotification(notified);
        }));
    if (!observer || *observer == nullptr) {
        const AXError err = observer ? AXError::failure : observer.error();
        log("observe: atspi_event_listener_register for text events failed err=" +
            std::to_string(code(err)));
        return;
    }
    (*observer)->addNotification(*element, kAXValueChangedNotification);
    (*observer)->addNotification(*element, kAXSelectedTextChangedNotification);
    (*observer)->setTextChangeHandler(
        guarded([this](const AXElement& changed, const AXTextChange& change) {
            noteTextChange(changed, change);
        }));
    axObserver_ = std::move(*observer);
    log("observe: object:text-changed + object:text-selection-changed registered");
}

void AccessibilityMonitor::tearDownValueObserver() {
    if (axObserver_ && observedElement_) {
        axObserver_->removeNotification(*observedElement_, kAXValueChangedNotification);
        axObserver_->removeNotification(*observedElement_, kAXSelectedTextChangedNotification);
    }
    axObserver_.reset();
    observedElement_.reset();
    observedPid_ = 0;
    observedHeldFocus_ = false;
    lastPolledValue_ = FieldText{};
    attemptedPartialRepairKeys_.clear();
    debounceWork_.cancel();
    debounceWork_ = Cancel();
    recentChangeTimestamps_.clear();
    lastAnalyzedText_.reset();
    lastAnalyzedElement_.reset();
    burst_.read.cancel();
    burst_ = FieldBurst{};
    lastBurstReadAt_.reset();
    followed_.forget();
    follow_.noteDetached();
}

bool AccessibilityMonitor::hasCharCountChanged(const AXElement& element) {
    // The length alone, never the text: most notifications change nothing
    // that needs reading.
    return followed_.noteLength(ports_.accessibility.textLengthMark(element));
}

bool AccessibilityMonitor::pasteInFlight() {
    return PasteboardGuard::pasteInFlight(ports_.pasteboard);
}

bool AccessibilityMonitor::isSecureField(const AXElement& element) {
    return readString(ports_.accessibility, element, kAXSubroleAttribute) ==
           kAXSecureTextFieldSubrole;
}

void AccessibilityMonitor::handleKeystrokeDetected() {
    if (!isMonitoring())
        return;
    if (!observedElement_)
        observeFocusedElement();
    if (!observedElement_)
        return;
    const TimePoint keyDownAt = ports_.scheduler.now();
    scheduleStep(kKeystrokeReReadSeconds, [this, keyDownAt, element = *observedElement_] {
        // A step of a field no longer followed would compare its text with
        // another field's.
        if (!isMonitoring() || observedElement_ != element || pasteInFlight())
            return;
        // The field told of this key's change and was read after it: the
        // read here would find what that read found.
        if (lastBurstReadAt_ && *lastBurstReadAt_ >= keyDownAt)
            return;
        if (!hasCharCountChanged(element))
            return;
        const auto read = extractTextForAnalysis(element);
        if (!read) {
            log("rawKeys→read: element gone, re-attaching");
            observeFocusedElement();
            return;
        }
        followed_.keepWhole(read);
        if (read->text.empty() || read->text == lastPolledValue_.text)
            return;
        log("rawKeys→read: value changed " +
            std::to_string(text::characterCount(lastPolledValue_.text)) + "->" +
            std::to_string(text::characterCount(read->text)) + " chars");
        lastPolledValue_ = *read;
        scheduleAnalysis(*read);
    });
}

std::optional<FieldText> AccessibilityMonitor::extractTextForAnalysis(const AXElement& element) {
    if (isSecureField(element))
        return std::nullopt;
    return readFieldText(element);
}

std::optional<FieldText> AccessibilityMonitor::readFieldText(const AXElement& element) {
    Accessibility& ax = ports_.accessibility;

    const AXResult value = ax.copyAttributeValue(element, kAXValueAttribute);
    if (isInvalidElement(value))
        return std::nullopt;
    if (auto s = value ? value->asString() : std::nullopt; s && !s->empty())
        return FieldText{std::move(*s), FieldText::Source::value, 0};

    const AXResult selection = ax.copyAttributeValue(element, kAXSelectedTextRangeAttribute);
    if (isInvalidElement(selection))
        return std::nullopt;
    if (const auto range = selection ? selection->asRange() : std::nullopt;
        range && range->location >= 1) {
        // Only what precedes the caret: the sentence just finished ends there.
        const int64_t length = std::min(range->location, kCaretWindowUnits);
        const Utf16Range window{range->location - length, length};
        const AXResult s = ax.copyParameterizedAttributeValue(
            element, kAXStringForRangeParameterizedAttribute, AXValue(window));
        if (auto t = s ? s->asString() : std::nullopt; t && !t->empty())
            return FieldText{std::move(*t), FieldText::Source::caretWindow, window.location};
    }

    std::string joined = AXTextExtractor::assembleTextFromChildren(ax, element, 0);
    if (!joined.empty())
        log("extractText: strategy 3 (label children) → " +
            std::to_string(text::characterCount(joined)) + " chars");
    return FieldText{std::move(joined), FieldText::Source::staticText, 0};
}

}  // namespace mivo
