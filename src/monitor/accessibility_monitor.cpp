// The monitor's lifecycle, its scheduled steps and log, and the ways into
// the replacement ladder and the document follow it hosts.

#include "monitor/accessibility_monitor.hpp"

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "monitor/replacement_ladder.hpp"

namespace mivo {
namespace {

constexpr std::string_view kLogTag = "[Mivo] ";
// After an activation the new application's focus settles before it is read.
constexpr double kActivationFollowUpSeconds = 0.05;

}  // namespace

// The monitor as the host of its document follow: what the follow reads and
// asks of the field followed, answered by the monitor's own members.
class AccessibilityMonitor::FollowHost final : public DocumentFollowHost {
  public:
    explicit FollowHost(AccessibilityMonitor& monitor) : m_(monitor) {}

    Accessibility& accessibility() override { return m_.ports_.accessibility; }
    bool isMonitoring() const override { return m_.isMonitoring(); }
    const std::optional<AXElement>& followedField() const override { return m_.observedElement_; }
    bool followedFieldHeldFocus() const override { return m_.observedHeldFocus_; }
    std::optional<AXElement> searchFocusedField() override { return m_.searchFocusedField(); }
    std::optional<FieldText> readFieldText(const AXElement& element) override {
        return m_.readFieldText(element);
    }
    void checkBlock(const AXElement& element, const FieldText& text) override {
        m_.analyzeText(element, text, false);
    }
    void settleNotifications() override {
        if (m_.burst_.element && m_.burst_.element == m_.observedElement_) {
            m_.burst_.read.cancel();
            m_.readFieldBurst();
        }
    }
    Cancel takeWaitingCheck() override {
        if (!m_.debounceWork_ || m_.debounceWork_.isCancelled())
            return Cancel();
        return std::exchange(m_.debounceWork_, Cancel());
    }
    void attach(const AXElement& element) override {
        m_.observeFocusedElement(std::optional<std::optional<AXElement>>(element));
    }
    void lookAtFocus() override { m_.handleFocusChanged(); }
    void fieldMayHaveMoved() override { m_.notifyFieldMayHaveMoved(); }
    const std::optional<FieldText>& checkedText() const override { return m_.lastAnalyzedText_; }
    void setCheckedText(FieldText text) override { m_.setLastAnalyzedText(std::move(text)); }
    Cancel scheduleStep(double seconds, std::function<void()> step) override {
        return m_.scheduleStep(seconds, std::move(step));
    }
    void log(std::string_view message) override { m_.log(message); }
    bool stepCaretRight() override { return m_.replacementLadder().input().postRightArrow(); }
    // Every key that reached an application: after a hold, and straight
    // on once it is over (what the user types between two corrections).
    uint64_t keysTypedOn() override {
        return m_.keyDownsSeen_ + m_.ports_.input.inputHold().keysTypedOn();
    }

  private:
    AccessibilityMonitor& m_;
};

AccessibilityMonitor::AccessibilityMonitor(Desktop desktop)
    : ports_(desktop),
      detector_(desktop.scheduler),
      bufferStore_(desktop.scheduler),
      ownPid_(static_cast<Pid>(getpid())),
      followHost_(std::make_unique<FollowHost>(*this)),
      follow_(*followHost_) {}

AccessibilityMonitor::~AccessibilityMonitor() {
    // Whatever the ports still hold of ours must find the monitor gone.
    tearDownAll(false);
    run_.reset();
}

bool AccessibilityMonitor::isPermissionGranted() {
    return ports_.accessibility.isProcessTrusted();
}

void AccessibilityMonitor::start() {
    if (state_.kind == MonitorState::Kind::monitoring || state_.kind == MonitorState::Kind::paused)
        stop();
    if (!ports_.accessibility.isProcessTrusted()) {
        state_ = MonitorState{MonitorState::Kind::permissionRequired, {}};
        log("start: permission NOT granted — aborting");
        return;
    }
    state_ = MonitorState{MonitorState::Kind::monitoring, {}};
    log("start: monitoring started");
    setupAppActivationObserver();
    setupEventTap();
    if (const auto front = ports_.workspace.frontmostApplication()) {
        log("start: frontmost app pid=" + std::to_string(front->pid));
        setupFocusObserver(front->pid);
    }
    observeFocusedElement();
    startTextPoll();
    startFocusPoll();
}

void AccessibilityMonitor::stop() {
    tearDownAll(true);
    state_ = MonitorState{MonitorState::Kind::idle, {}};
    log("stop: monitoring stopped");
}

void AccessibilityMonitor::tearDownAll(bool logged) {
    tearDownValueObserver();
    tearDownFocusObserver();
    appActivationObserver_.cancel();
    appActivationObserver_ = Cancel();
    tearDownEventTap(logged);
    textPollTimer_.cancel();
    textPollTimer_ = Cancel();
    focusPollTimer_.cancel();
    focusPollTimer_ = Cancel();
    lastFocusedWindowSignature_.reset();
    refusedSecureField_.reset();
    follow_.forget();
    bufferStore_.clear();
    // Every step still waiting (follow-ups, the replacement ladder's input)
    // belongs to the run that ends here.
    ++*run_;
    pendingSteps_.dropAll();
}

bool AccessibilityMonitor::isOwnProcessInFront() {
    const auto front = ports_.workspace.frontmostApplication();
    return front && front->pid == ownPid_;
}

void AccessibilityMonitor::pause() {
    if (isMonitoring())
        state_ = MonitorState{MonitorState::Kind::paused, {}};
}

void AccessibilityMonitor::resume() {
    if (state_.kind != MonitorState::Kind::paused)
        return;
    state_ = MonitorState{MonitorState::Kind::monitoring, {}};
    observeFocusedElement();
}

void AccessibilityMonitor::setupAppActivationObserver() {
    appActivationObserver_ = ports_.workspace.observeActivation(
        guarded([this](const std::optional<RunningApplication>& app) {
            if (!isMonitoring())
                return;
            if (app && app->pid == ownPid_) {
                log("appActivation: Mivo's own window — staying attached");
                return;
            }
            notifyCorrectionContextChanged();
            if (!isMonitoring())
                return;  // the callback stopped the monitor
            bufferStore_.clear();
            if (app) {
                log("appActivation: " + app->localizedName.value_or("?") +
                    " pid=" + std::to_string(app->pid));
                setupFocusObserver(app->pid);
            }
            scheduleStep(kActivationFollowUpSeconds, [this] {
                // The focus notifications of the activation may have
                // attached the field already.
                const auto focused = searchFocusedField();
                if (!isFollowingFocusedField(focused))
                    observeFocusedElement(focused);
            });
        }));
}

void AccessibilityMonitor::setupEventTap() {
    auto tap = ports_.input.installKeyDownMonitor(
        guarded([this](KeyDownMonitorEvent event) { handleKeyDownMonitorEvent(event); }));
    if (!tap) {
        if (tap.error() == KeyDownMonitorError::tapCreateFailed)
            log("rawKeys: XISelectEvents(XI_RawKeyPress) FAILED — keystroke detection "
                "unavailable");
        else
            log("rawKeys: X event listener FAILED");
        return;
    }
    eventTap_ = std::move(*tap);
    eventTap_->setEnabled(true);
    log("rawKeys: XInput 2 listener installed — universal keystroke detection active");
}

void AccessibilityMonitor::tearDownEventTap(bool logged) {
    if (eventTap_)
        eventTap_->setEnabled(false);
    eventTap_.reset();
    if (logged)
        log("rawKeys: removed");
}

void AccessibilityMonitor::handleKeyDownMonitorEvent(KeyDownMonitorEvent event) {
    if (event == KeyDownMonitorEvent::keyDown) {
        ++keyDownsSeen_;
        handleKeystrokeDetected();
        return;
    }
    // The system switched the monitor off (too slow, or secure input); it
    // stays off unless switched on again, whatever the monitor's state.
    if (eventTap_) {
        eventTap_->setEnabled(true);
        log("rawKeys: re-enabled after system disabled it");
    }
}

void AccessibilityMonitor::notifyCorrectionContextChanged() {
    contextChangedSinceAttach_ = true;
    debounceWork_.cancel();
    debounceWork_ = Cancel();
    follow_.noteContextChanged();
    currentCaretRect_.reset();
    if (onCorrectionContextChanged)
        onCorrectionContextChanged();
}

void AccessibilityMonitor::notifyFieldMayHaveMoved() {
    if (onFieldMayHaveMoved)
        onFieldMayHaveMoved();
}

Cancel AccessibilityMonitor::scheduleStep(double seconds, std::function<void()> step,
                                          std::function<void()> onDropped) {
    const uint64_t id = pendingSteps_.nextId();
    const MonitorRunToken token = runToken();
    Cancel scheduled = ports_.scheduler.after(seconds, [this, token, id, step = std::move(step)] {
        if (!token.isCurrent())
            return;
        pendingSteps_.forget(id);
        step();
    });
    pendingSteps_.keep(id, scheduled, std::move(onDropped));
    return Cancel([this, token, id, scheduled]() mutable {
        scheduled.cancel();
        if (token.monitorExists())
            pendingSteps_.forget(id);
    });
}

void AccessibilityMonitor::log(std::string_view message) {
    std::string line(kLogTag);
    line += message;
    if (!focusPollLines_.repeated(line))
        ports_.log.write(line);
}

void AccessibilityMonitor::logUserText(std::string_view message) {
    std::string line(kLogTag);
    line += message;
    if (!focusPollLines_.repeated(line))
        ports_.log.writeUserText(line);
}

// --- Writing corrections back ---------------------------------------------

ReplacementLadder& AccessibilityMonitor::replacementLadder() {
    if (!replacementLadder_)
        replacementLadder_ =
            std::make_shared<ReplacementLadder>(static_cast<ReplacementHost&>(*this));
    return *replacementLadder_;
}

namespace {

CorrectionIssue movedBy(CorrectionIssue issue, int64_t characters) {
    issue.range.start += characters;
    issue.range.end += characters;
    return issue;
}

}  // namespace

void AccessibilityMonitor::applyReplacement(const CorrectionIssue& issue, uint64_t block) {
    const auto shift = follow_.followBlockForApply(block);
    if (!shift)
        return replacementLadder().refuse(UnwrittenField::changedElsewhere);
    follow_.noteWriteStarted(issue.range.end + *shift);
    replacementLadder().applyReplacement(movedBy(issue, *shift));
}

void AccessibilityMonitor::applyReplacements(const std::vector<CorrectionIssue>& issues,
                                             uint64_t block) {
    const auto shift = follow_.followBlockForApply(block);
    if (!shift)
        return replacementLadder().refuse(UnwrittenField::changedElsewhere);
    std::vector<CorrectionIssue> moved;
    moved.reserve(issues.size());
    int64_t end = 0;
    for (const auto& issue : issues) {
        moved.push_back(movedBy(issue, *shift));
        end = std::max(end, moved.back().range.end);
    }
    follow_.noteWriteStarted(end);
    replacementLadder().applyReplacements(moved);
}

void AccessibilityMonitor::setLastAnalyzedText(FieldText text) {
    lastAnalyzedText_ = std::move(text);
    lastAnalyzedElement_ = observedElement_;
}

void AccessibilityMonitor::replacementFailed(UnwrittenField field) {
    follow_.noteWriteFailed();
    if (onReplacementFailed)
        onReplacementFailed(field);
    follow_.afterWrite(false);
}

void AccessibilityMonitor::replacementCompleted(const std::string& text) {
    const std::string checked = follow_.noteWriteVerified(text);
    if (onReplacementCompleted)
        onReplacementCompleted(checked);
    follow_.afterWrite(true);
}

const std::optional<std::string>& AccessibilityMonitor::pendingApplyOriginalText() const {
    return pendingApplyOriginalText_;
}

std::set<std::string>& AccessibilityMonitor::attemptedPartialRepairKeys() {
    return attemptedPartialRepairKeys_;
}

AXError AccessibilityMonitor::placeCaret(const AXElement& element, Utf16Range caret) {
    return follow_.putCaretBack(element, caret);
}

std::optional<CaretElsewhere> AccessibilityMonitor::userCaretElsewhere() {
    const auto kept = follow_.userCaretElsewhere();
    return kept ? std::optional(CaretElsewhere{kept->block, kept->range}) : std::nullopt;
}

void AccessibilityMonitor::holdKeysForApply() {
    replacementLadder().holdInputForApply();
}

void AccessibilityMonitor::applyPressCancelled() {
    replacementLadder().applyPressCancelled();
}

}  // namespace mivo
