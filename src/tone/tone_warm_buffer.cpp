#include "tone/tone_warm_buffer.hpp"

#include <unistd.h>

#include <algorithm>
#include <limits>

#include "field/ax_geometry.hpp"
#include "field/ax_text_extractor.hpp"
#include "platform/ax_reads.hpp"
#include "shared/text.hpp"
#include "tone/ax_selection_reader.hpp"

namespace mivo {
namespace {

bool isNonBlank(const std::optional<std::string>& s) {
    return s && !text::trimWhitespaceAndNewlines(*s).empty();
}

}  // namespace

ToneWarmBuffer::ToneWarmBuffer(Desktop desktop, LimitSource maxTargetCharacters,
                               SurfaceClassifier classify)
    : desktop_(desktop),
      maxTargetCharacters_(std::move(maxTargetCharacters)),
      classify_(classify ? std::move(classify)
                         : [](const std::optional<std::string>&
                                  bundleId) { return SurfaceTagResolver::resolve(bundleId); }),
      ownPid_(static_cast<Pid>(getpid())),
      self_(std::make_shared<ToneWarmBuffer*>(this)) {}

ToneWarmBuffer::~ToneWarmBuffer() {
    self_.reset();
    activationObservation_.cancel();
    idleTimer_.cancel();
    refreshWork_.cancel();
}

Cancel ToneWarmBuffer::later(double delay, std::function<void(ToneWarmBuffer&)> work) {
    return desktop_.scheduler.after(delay, [weak = std::weak_ptr(self_), work = std::move(work)] {
        if (auto self = weak.lock())
            work(**self);
    });
}

void ToneWarmBuffer::log(const std::string& line) {
    if (onLog)
        onLog(line);
}

// --- Start and stop ------------------------------------------------------

void ToneWarmBuffer::start() {
    if (started_)
        return;
    if (!desktop_.accessibility.isProcessTrusted()) {
        log("warmBuffer: AX permission not granted — not starting");
        return;
    }
    started_ = true;
    activationObservation_ = desktop_.workspace.observeActivation(
        [weak = std::weak_ptr(self_)](const std::optional<RunningApplication>& app) {
            auto self = weak.lock();
            if (!self || !(*self)->started_)
                return;
            ToneWarmBuffer& buffer = **self;
            // A notice that names no application still means the front
            // one changed.
            if (auto active = app ? app : buffer.desktop_.workspace.frontmostApplication())
                buffer.handleAppActivated(*active);
        });
    idleTimer_ = desktop_.scheduler.repeating(1.0, [weak = std::weak_ptr(self_)] {
        if (auto self = weak.lock())
            (*self)->idleTick();
    });
    if (const auto front = desktop_.workspace.frontmostApplication())
        handleAppActivated(*front);
    log("warmBuffer: started");
}

void ToneWarmBuffer::stop() {
    if (!started_)
        return;
    started_ = false;
    activationObservation_.cancel();
    tearDownValueObserver();
    tearDownFocusObserver();
    idleTimer_.cancel();
    clearBuffer("stop");
}

// --- Following the application and the focus -------------------------------

void ToneWarmBuffer::handleAppActivated(const RunningApplication& app) {
    clearBuffer("app_changed");
    currentBundleId_ = app.bundleIdentifier;
    currentSurfaceTag_ = classify_(currentBundleId_);
    tearDownFocusObserver();
    // Mivo's own windows hold nothing to rewrite, and the accessibility bus
    // is never asked about this process.
    if (app.pid != ownPid_)
        installFocusObserver(app.pid);
    refreshFocusedElement();
}

void ToneWarmBuffer::installFocusObserver(Pid pid) {
    Accessibility& ax = desktop_.accessibility;
    const AXElement app = ax.applicationElement(pid);
    AXTextExtractor::enableEnhancedAX(ax, app);
    auto observer =
        ax.createObserver(pid, [weak = std::weak_ptr(self_)](const AXElement&, std::string_view) {
            if (auto self = weak.lock())
                (*self)->later(0, [](ToneWarmBuffer& b) { b.refreshFocusedElement(); });
        });
    if (!observer) {
        log("warmBuffer: focus observer create failed pid=" + std::to_string(pid));
        return;
    }
    (*observer)->addNotification(app, kAXFocusedUIElementChangedNotification);
    (*observer)->addNotification(app, kAXFocusedWindowChangedNotification);
    focusObserver_ = std::move(*observer);
    focusObservedApp_ = app;
    focusObservedPid_ = pid;
}

void ToneWarmBuffer::tearDownFocusObserver() {
    if (focusObserver_ && !focusObservedApp_.isNull()) {
        focusObserver_->removeNotification(focusObservedApp_,
                                           kAXFocusedUIElementChangedNotification);
        focusObserver_->removeNotification(focusObservedApp_, kAXFocusedWindowChangedNotification);
    }
    focusObserver_.reset();
    focusObservedApp_ = AXElement();
    focusObservedPid_ = 0;
}

void ToneWarmBuffer::refreshFocusedElement() {
    Accessibility& ax = desktop_.accessibility;
    const auto element = AXTextExtractor::focusedTextElement(ax, desktop_.workspace);
    if (!element) {
        tearDownValueObserver();
        currentElementFrame_.reset();
        currentAnchorFrame_.reset();
        emitFocusState(false);
        return;
    }
    attachValueObserver(*element);
    currentIsSecure_ = AXSelectionReader::isSecureTextField(ax, *element);
    currentElementFrame_ = AXTextExtractor::elementFrame(ax, desktop_.screens, *element);
    currentAnchorFrame_.reset();
    clearBuffer("focus_changed");
    // Nothing of a password field is read, not even to see whether it
    // holds text.
    if (currentIsSecure_)
        emitFocusState(false);
    else
        emitFocusStateReading(*element);
}

void ToneWarmBuffer::attachValueObserver(const AXElement& element) {
    tearDownValueObserver();
    Accessibility& ax = desktop_.accessibility;
    const auto pid = ax.pid(element);
    if (!pid || *pid < 1)
        return;
    auto observer =
        ax.createObserver(*pid, [weak = std::weak_ptr(self_)](const AXElement&, std::string_view) {
            if (auto self = weak.lock())
                (*self)->later(0, [](ToneWarmBuffer& b) { b.handleValueChange(); });
        });
    if (!observer)
        return;
    (*observer)->addNotification(element, kAXValueChangedNotification);
    (*observer)->addNotification(element, kAXSelectedTextChangedNotification);
    valueObserver_ = std::move(*observer);
    observedElement_ = element;
    observedPid_ = *pid;
}

void ToneWarmBuffer::tearDownValueObserver() {
    if (valueObserver_ && observedElement_) {
        valueObserver_->removeNotification(*observedElement_, kAXValueChangedNotification);
        valueObserver_->removeNotification(*observedElement_, kAXSelectedTextChangedNotification);
    }
    valueObserver_.reset();
    observedElement_.reset();
    observedPid_ = 0;
}

// --- Changes and refreshes -----------------------------------------------

void ToneWarmBuffer::handleValueChange() {
    if (isCodeOrTerminal() || currentIsSecure_)
        return;
    const TimePoint now = desktop_.scheduler.now();
    lastActivityAt_ = now;
    bufferActive_ = true;
    changeTimestamps_.push_back(now);
    std::erase_if(changeTimestamps_,
                  [&](TimePoint t) { return now - t > seconds(imeBurstWindow); });
    // Plain typing, a person's or synthetic, is as fast without an input
    // method composing: only with one running is a burst its work.
    const bool burst = changeTimestamps_.size() >= imeBurstThreshold;
    if (!burst)
        inputMethodRunningInBurst_.reset();
    else if (!inputMethodRunningInBurst_)
        inputMethodRunningInBurst_ = desktop_.input.inputMethodRunning();
    if (burst && *inputMethodRunningInBurst_) {
        // An input method is composing: reading the field now would only
        // slow it down. A refresh already scheduled still runs.
        if (!imePaused_) {
            imePaused_ = true;
            log("warmBuffer: IME burst → pause refresh");
        }
        return;
    }
    if (imePaused_) {
        imePaused_ = false;
        log("warmBuffer: IME burst ended → resume refresh");
    }
    refreshWork_.cancel();
    refreshWork_ = later(refreshDebounce, [](ToneWarmBuffer& b) { b.refreshBuffer(); });
    if (observedElement_)
        emitFocusStateReading(*observedElement_);
}

std::string ToneWarmBuffer::cutToLimit(std::string_view target) const {
    const int64_t limit = maxTargetCharacters_ ? maxTargetCharacters_() : 1000;
    const int64_t keep = limit == std::numeric_limits<int64_t>::max() ? limit : limit + 1;
    return text::characterPrefix(target, keep);
}

void ToneWarmBuffer::updateFrames(const std::string& target, const AXElement& element) {
    Accessibility& ax = desktop_.accessibility;
    if (auto frame = AXTextExtractor::elementFrame(ax, desktop_.screens, element))
        currentElementFrame_ = frame;
    currentAnchorFrame_ = AXSelectionReader::anchorFrame(ax, desktop_.screens, target, element);
    if (!currentAnchorFrame_)
        currentAnchorFrame_ = currentElementFrame_;
}

void ToneWarmBuffer::refreshBuffer() {
    if (!observedElement_ || currentIsSecure_ || isCodeOrTerminal())
        return;
    const AXElement element = *observedElement_;
    auto captured = AXSelectionReader::capture(desktop_.accessibility, element);
    if (!captured) {
        cachedTarget_.reset();
        cachedPreceding_.reset();
        cachedFollowing_.reset();
        currentAnchorFrame_.reset();
        cachedIsSelection_ = false;
        return;
    }
    cachedTarget_ = cutToLimit(captured->targetText);
    cachedIsSelection_ = captured->isSelection;
    cachedPreceding_ = std::move(captured->context.preceding);
    cachedFollowing_ = std::move(captured->context.following);
    // Where the target stands is asked when a panel is to be anchored to
    // it, not after every pause in typing.
    currentAnchorFrame_.reset();
    framesPending_ = true;
}

std::optional<ToneWarmBuffer::Snapshot> ToneWarmBuffer::liveSelectionSnapshot() {
    if (!observedElement_)
        return std::nullopt;
    const AXElement element = *observedElement_;
    auto captured = AXSelectionReader::capture(desktop_.accessibility, element);
    if (!captured || !captured->isSelection)
        return std::nullopt;
    std::string target = cutToLimit(text::trimWhitespaceAndNewlines(captured->targetText));
    if (target.empty())
        return std::nullopt;
    updateFrames(target, element);
    framesPending_ = false;
    cachedTarget_ = target;
    cachedIsSelection_ = true;
    cachedPreceding_ = std::move(captured->context.preceding);
    cachedFollowing_ = std::move(captured->context.following);
    bufferActive_ = true;
    lastActivityAt_ = desktop_.scheduler.now();
    return warmSnapshot(std::move(target), true);
}

ToneWarmBuffer::Snapshot ToneWarmBuffer::warmSnapshot(std::string target, bool isSelection) const {
    return Snapshot{std::move(target),
                    isSelection,
                    cachedPreceding_,
                    cachedFollowing_,
                    currentAnchorFrame_ ? currentAnchorFrame_ : currentElementFrame_,
                    currentBundleId_,
                    false,
                    observedElement_};
}

std::optional<ToneWarmBuffer::Snapshot> ToneWarmBuffer::freeze() {
    if (isCodeOrTerminal() || currentIsSecure_)
        return std::nullopt;
    if (auto live = liveSelectionSnapshot())
        return live;
    if (bufferActive_ && cachedTarget_ && !cachedTarget_->empty()) {
        if (framesPending_ && observedElement_)
            updateFrames(*cachedTarget_, *observedElement_);
        framesPending_ = false;
        return warmSnapshot(*cachedTarget_, cachedIsSelection_);
    }

    auto read = AXSelectionReader::read(desktop_);
    if (!read)
        return std::nullopt;
    auto bundle = read->bundleIdentifier ? read->bundleIdentifier : currentBundleId_;
    if (classify_(bundle) == SurfaceTagResolver::SurfaceTag::codeOrTerminal)
        return std::nullopt;
    auto frame = read->elementFrame;
    if (!frame)
        frame = currentAnchorFrame_ ? currentAnchorFrame_ : currentElementFrame_;
    return Snapshot{std::move(read->targetText),
                    read->isSelection,
                    std::move(read->precedingContext),
                    std::move(read->followingContext),
                    frame,
                    std::move(bundle),
                    true,
                    read->element};
}

void ToneWarmBuffer::discardAfterRequest() {
    clearBuffer("request_completion");
}

void ToneWarmBuffer::clearBuffer(const std::string& reason) {
    bufferActive_ = false;
    cachedTarget_.reset();
    cachedPreceding_.reset();
    cachedFollowing_.reset();
    cachedIsSelection_ = false;
    currentAnchorFrame_.reset();
    framesPending_ = false;
    lastActivityAt_.reset();
    changeTimestamps_.clear();
    imePaused_ = false;
    inputMethodRunningInBurst_.reset();
    refreshWork_.cancel();
    refreshWork_ = Cancel();
    log("warmBuffer: cleared (" + reason + ")");
}

void ToneWarmBuffer::idleTick() {
    if (!lastActivityAt_ ||
        desktop_.scheduler.now() - *lastActivityAt_ <= seconds(idleDiscardAfter))
        return;
    clearBuffer("idle_60s");
    if (!observedElement_)
        return;
    if (currentIsSecure_)
        emitFocusState(false);
    else
        emitFocusStateReading(*observedElement_);
}

void ToneWarmBuffer::emitFocusStateReading(const AXElement& element) {
    if (onFocusChanged)
        emitFocusState(hasReadableTextCandidate(element));
}

void ToneWarmBuffer::emitFocusState(bool hasTargetCandidate) {
    if (!onFocusChanged)
        return;
    onFocusChanged(
        FocusState{!isCodeOrTerminal() && !currentIsSecure_ && observedElement_.has_value(),
                   currentElementFrame_, currentBundleId_, currentSurfaceTag_, hasTargetCandidate,
                   imePaused_, currentIsSecure_});
}

bool ToneWarmBuffer::hasReadableTextCandidate(const AXElement& element) {
    Accessibility& ax = desktop_.accessibility;
    return isNonBlank(readString(ax, element, kAXSelectedTextAttribute)) ||
           isNonBlank(readString(ax, element, kAXValueAttribute)) ||
           isNonBlank(
               AXTextExtractor::extractText(ax, element, AXSelectionReader::textWindowCharacters));
}

}  // namespace mivo
