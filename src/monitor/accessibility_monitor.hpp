#pragma once

// Follows the focused text field of whatever application is in front and
// turns its text changes into completed-sentence candidates; offers the
// screen rectangles of the field's text and writes corrections back into it.
// What the writing needs of the monitor's state is the replacement ladder's
// alone: the monitor is its host privately.
//
// Everything runs on the main loop. Every delay goes through the Scheduler,
// and every delayed step checks a run token first, so that a step outliving
// a stop() or the monitor itself does nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "field/ax_text_extractor.hpp"
#include "monitor/document_follow.hpp"
#include "monitor/followed_text.hpp"
#include "monitor/pending_steps.hpp"
#include "monitor/repeated_poll_lines.hpp"
#include "monitor/replacement_host.hpp"
#include "monitor/sentence_completion_detector.hpp"
#include "monitor/text_buffer_store.hpp"
#include "platform/desktop.hpp"
#include "shared/records.hpp"

namespace mivo {

class ReplacementLadder;

struct MonitorState {
    enum class Kind { error, idle, permissionRequired, monitoring, paused };
    Kind kind = Kind::idle;
    std::string errorMessage;  // only for `error`

    bool operator==(const MonitorState&) const = default;
};

class AccessibilityMonitor final : private ReplacementHost {
  public:
    // The ports must outlive the monitor.
    explicit AccessibilityMonitor(Desktop desktop);
    ~AccessibilityMonitor();
    AccessibilityMonitor(const AccessibilityMonitor&) = delete;
    AccessibilityMonitor& operator=(const AccessibilityMonitor&) = delete;

    // --- Set by the composition root before the first start() -----------
    std::function<void(const CompletedSentenceCandidate&)> onSentenceCompleted;
    // Called with the field's text after a verified replacement.
    std::function<void(const std::string&)> onReplacementCompleted;
    // Nothing of an applied correction could be written (a modifier stayed
    // down, the field refused every way); the user should learn where they
    // look what the field holds now.
    std::function<void(UnwrittenField)> onReplacementFailed;
    // The application, focused element or window changed: the corrections
    // shown no longer apply.
    std::function<void()> onCorrectionContextChanged;
    // The field's text changed but was not checked (too long, not Japanese,
    // no sentence): the corrections shown belong to a text no longer there.
    // `block` names the block of a document whose text it was (0: the
    // field followed as a whole), as the candidates do.
    std::function<void(uint64_t block)> onCheckSkipped;
    // The followed field's caret moved without an edit, or its window came
    // back to the front: where its text stands may have changed (a click
    // into a page that answered stale positions, a scroll by keys).
    std::function<void()> onFieldMayHaveMoved;

    // Mivo's own process (this one unless told otherwise). Its windows in
    // front (a correction panel, the settings) are not another application:
    // the followed field and its pending sentence stay.
    void setOwnProcessId(Pid pid) { ownPid_ = pid; }

    // --- Lifecycle --------------------------------------------------------
    bool isPermissionGranted();
    // Installs the activation observer, the key-down monitor, the focus and
    // value observers and both polls. Called while installed, it stops
    // first, so nothing is ever installed twice.
    void start();
    // Removes everything start() installed and drops every pending step.
    void stop();
    void pause();
    void resume();

    const MonitorState& state() const { return state_; }
    std::optional<Rect> currentCaretRect() const { return currentCaretRect_; }
    const TextBufferStore& bufferStore() const { return bufferStore_; }
    // Times of the last (at most 20) scheduled analyses.
    const std::vector<TimePoint>& recentChangeTimestamps() const { return recentChangeTimestamps_; }

    // --- Geometry ---------------------------------------------------------
    // Each asks of `block`, a block of the document followed as a
    // candidate named it, or of the observed field when it is 0.
    // The screen rectangle (global coordinates, at least 16 high) of a
    // range of Characters of the last text analysed, in the observed field;
    // nothing without an observed element or when nothing can measure it.
    std::optional<Rect> boundsForRange(int64_t start, int64_t length, uint64_t block = 0);
    // Whether the observed field is the one `analyzedText` was read from and
    // still reads as it did up to Character `end` of that text: nothing
    // before or in a range ending there was changed or moved. Reads only
    // that stretch where the field can answer a range.
    bool stillReadsAsAnalyzed(std::string_view analyzedText, int64_t end, uint64_t block = 0);
    // The part of the observed field on screen (global coordinates): its
    // frame cut to its scrolling ancestors', its document's and its
    // window's, and to the screen it is on; the zero rectangle when nothing
    // of it shows; nothing without a field or a frame to know it by.
    std::optional<Rect> visibleFieldFrame(uint64_t block = 0);

    // --- Writing corrections back (defined with the replacement ladder) ---
    // Into `block` of the document followed (0: the observed field): a
    // block the caret is not in is followed for the write, and the caret
    // goes back to where the user had it.
    void applyReplacement(const CorrectionIssue& issue, uint64_t block = 0);
    void applyReplacements(const std::vector<CorrectionIssue>& issues, uint64_t block = 0);
    // Apply is being pressed (by the mouse, a key or an accessibility
    // action): every input device is held from now on (a pointer once its
    // button is up), not only once the correction is asked for.
    // `applyPressCancelled` ends a hold that no correction followed.
    void holdKeysForApply();
    void applyPressCancelled();

    // --- What the monitor follows (read only) ------------------------------
    const std::optional<AXElement>& observedElement() const override { return observedElement_; }
    Pid observedPid() const override { return observedPid_; }
    Pid observedFocusPid() const override { return observedFocusPid_; }
    // The last text any change source saw; the text poll compares with it.
    const FieldText& lastPolledValue() const { return lastPolledValue_; }
    // The text that ranges given to boundsForRange count in: the last one
    // analysed, or one handed to onReplacementCompleted for checking.
    const std::optional<FieldText>& lastAnalyzedText() const override { return lastAnalyzedText_; }
    // The analysis-suppression window: while it is open, the text a
    // replacement is about to change is not analysed again.
    const std::optional<std::string>& pendingApplyOriginalText() const;
    const std::optional<TimePoint>& pendingApplyUntil() const { return pendingApplyUntil_; }

  private:
    // Tests stand in for a step the monitor takes on its own (a text it
    // checked, a delayed step) through the host the ladder sees.
    friend struct MonitorTestAccess;

    // --- What writing back needs of the monitor (ReplacementHost) ---------
    Desktop& desktop() override { return ports_; }
    void setLastPolledValue(FieldText text) override { lastPolledValue_ = std::move(text); }
    // The one way the field's text is read: the value, else up to 400
    // UTF-16 units before the caret, else the static-text children joined.
    // Nothing when the element is gone or is a password field.
    std::optional<FieldText> extractTextForAnalysis(const AXElement& element) override;
    void suppressAnalysisLoop(const std::string& text, double seconds) override;
    void closeAnalysisSuppression() override;
    // Whether `text` falls in the open suppression window; a window that has
    // ended or a text that differs closes it.
    bool shouldSuppressPendingApplyLoop(const std::string& text);
    void setLastAnalyzedText(FieldText text) override;
    // Emptied whenever the observed element changes.
    std::set<std::string>& attemptedPartialRepairKeys() override;
    void replacementCompleted(const std::string& text) override;
    void replacementFailed(UnwrittenField field) override;
    AXError placeCaret(const AXElement& element, Utf16Range caret) override;
    std::optional<CaretElsewhere> userCaretElsewhere() override;
    MonitorRunToken runToken() const override { return MonitorRunToken(run_, *run_); }
    Cancel scheduleStep(double seconds, std::function<void()> step,
                        std::function<void()> onDropped = {}) override;
    // Lines of the system log, after the monitor's tag.
    void log(std::string_view message) override;
    void logUserText(std::string_view message) override;

    bool isMonitoring() const { return state_.kind == MonitorState::Kind::monitoring; }
    // Wraps a handler given to a port so that it does nothing once the
    // monitor is gone.
    template <typename F>
    auto guarded(F f) {
        return [life = std::weak_ptr<const uint64_t>(run_), f = std::move(f)](auto&&... args) {
            if (!life.expired())
                f(std::forward<decltype(args)>(args)...);
        };
    }

    // Lifecycle and observation.
    void setupAppActivationObserver();
    void setupEventTap();
    void tearDownEventTap(bool logged);
    void handleKeyDownMonitorEvent(KeyDownMonitorEvent event);
    void handleKeystrokeDetected();
    void setupFocusObserver(Pid pid);
    void tearDownFocusObserver();
    // Attaches the focused text element: `searched` when the search for it
    // was already made, else found here; `late` when the focus poll found
    // the focus moved unannounced.
    void observeFocusedElement(const std::optional<std::optional<AXElement>>& searched = {},
                               bool late = false);
    // The field followed is attached and is the focused one still.
    bool isFollowingFocusedField(const std::optional<AXElement>& focused);
    std::optional<AXElement> searchFocusedField();
    // A focus or window notification of the application followed.
    void handleFocusChanged();
    void tearDownValueObserver();
    void notifyCorrectionContextChanged();
    void notifyFieldMayHaveMoved();
    bool hasCharCountChanged(const AXElement& element);
    // extractTextForAnalysis of an element just found not to be a password
    // field.
    std::optional<FieldText> readFieldText(const AXElement& element);
    bool isSecureField(const AXElement& element);
    // Text of ours is on its way into an application, which may be waiting
    // for it and answer no call: the field is left alone until then, and a
    // change it made meanwhile is read afterwards.
    bool pasteInFlight();
    // Everything start() installed; `logged` is false only when the monitor
    // goes away.
    void tearDownAll(bool logged);

    // Polling.
    void startTextPoll();
    void startFocusPoll();
    void textPollTick();
    void focusPollTick();
    void focusPollStep();
    std::optional<std::string> focusedWindowSignature();

    // Field activity. A keystroke reaches the monitor as a key-down and two
    // or three notifications of the field within milliseconds: they are
    // gathered, and the field is read once, after them.
    void noteFieldNotification(const AXElement& element);
    void readFieldBurst();
    // The details of a change of the observed field's text, kept for the
    // burst's read.
    void noteTextChange(const AXElement& element, const AXTextChange& change);
    // The field's text after a burst whose length moved, as the kept text
    // answers it; where only a whole read will do, the field is read here
    // (an empty text when it is gone).
    FollowedChange textAfterBurst(const AXElement& element);

    // Analysis and caret.
    // A change of the field's text or selection; `changedAt` is when the
    // last notification of it arrived.
    void handleAXValueChanged(const AXElement& element, TimePoint changedAt);
    // The pending analysis runs 0.75 s after `changedAt` (now when not
    // given): after the change itself, however late it was read.
    // A `derived` text was not read from the field but worked out from its
    // change reports (or stands for a text not read at all): the analysis
    // reads the field and checks what it holds.
    // `characters` is the text's Character count when already known.
    void scheduleAnalysis(FieldText text, std::optional<TimePoint> changedAt = std::nullopt,
                          bool derived = false, std::optional<int64_t> characters = std::nullopt);
    // `element` is the field or block the text was read from: the observed
    // one, or a block of the document left with this check waiting.
    void analyzeText(const AXElement& element, const FieldText& text, bool derived = false);
    // Checks each line of `checked`, read from `element`, as a text of its
    // own when it is too long to be checked whole; false when it is not.
    bool checkLineByLine(const AXElement& element, const FieldText& checked);
    // The text a check goes on with: `given`, or what the field reads now
    // when it differs and may; nothing when the check is dropped.
    std::optional<FieldText> settledText(const AXElement& element, const FieldText& given,
                                         bool derived);
    // Whether `element` reads as `checked` did up to Character `end`.
    bool readsAsChecked(const AXElement& element, const FieldText& checked,
                        std::string_view analyzedText, int64_t end);
    void captureCaretRect(const AXElement& element);
    void captureElementFrame(const AXElement& element);

    Desktop ports_;
    // The run counter: its life is the monitor's, its value changes on
    // every stop(); run tokens watch it.
    std::shared_ptr<uint64_t> run_ = std::make_shared<uint64_t>(0);

    MonitorState state_;
    std::optional<Rect> currentCaretRect_;

    SentenceCompletionDetector detector_;
    TextBufferStore bufferStore_;

    std::unique_ptr<AXObserver> axObserver_;
    std::optional<AXElement> observedElement_;
    Pid observedPid_ = 0;
    // The field followed said it had the focus when it was attached: once it
    // says it lost it, the focus moved, heard of or not.
    bool observedHeldFocus_ = false;
    // The corrections shown were dropped since the field was attached (the
    // user went to another window, or to one of Mivo's own): even the same
    // field, focused again, is attached and checked anew.
    bool contextChangedSinceAttach_ = false;
    // The password field last refused, while it keeps the focus.
    std::optional<AXElement> refusedSecureField_;
    std::unique_ptr<AXObserver> focusObserver_;
    std::optional<AXElement> focusObservedApp_;
    Pid observedFocusPid_ = 0;
    Pid ownPid_ = 0;
    bool isOwnProcessInFront();
    std::optional<std::string> lastFocusedWindowSignature_;
    Cancel textPollTimer_;
    FieldText lastPolledValue_;
    Cancel focusPollTimer_;
    RepeatedPollLines focusPollLines_;
    std::unique_ptr<KeyDownMonitor> eventTap_;
    Cancel debounceWork_;
    Cancel appActivationObserver_;
    std::vector<TimePoint> recentChangeTimestamps_;
    // The followed field's text as its reads and change reports made it,
    // and when the text poll reads it whole.
    FollowedText followed_;
    // When a notification last brought a changed length.
    TimePoint lastEditSeenAt_{};
    // The notifications gathered for one read: the element they named, when
    // the last one came, and the read waiting for the burst to settle.
    struct FieldBurst {
        std::optional<AXElement> element;
        TimePoint lastNotificationAt{};
        Cancel read;
    };
    FieldBurst burst_;
    // When the field was last read after its own notifications: a key-down
    // before then needs no read of its own.
    std::optional<TimePoint> lastBurstReadAt_;
    std::optional<std::string> pendingApplyOriginalText_;
    std::optional<TimePoint> pendingApplyUntil_;
    std::set<std::string> attemptedPartialRepairKeys_;
    // The text of the last analysis that fired: boundsForRange measures
    // ranges of it.
    std::optional<FieldText> lastAnalyzedText_;
    std::optional<AXElement> lastAnalyzedElement_;
    // What the document followed is made of, which block holds the caret
    // and which are checked: decided there, the monitor its host.
    class FollowHost;
    std::unique_ptr<FollowHost> followHost_;
    DocumentFollow follow_;
    // The ancestors that cut what the observed field shows, and the field
    // they were looked up for.
    std::optional<std::pair<AXElement, std::vector<AXElement>>> clippingAncestors_;

    // Writes corrections back; made on the first one.
    ReplacementLadder& replacementLadder();
    std::shared_ptr<ReplacementLadder> replacementLadder_;

    // Steps scheduled through scheduleStep that have not run yet.
    PendingSteps pendingSteps_;
    // Keys seen going down, typed straight on or sent on after a hold.
    uint64_t keyDownsSeen_ = 0;
};

}  // namespace mivo
