// From a changed text of the observed field to a completed-sentence
// candidate: the value-change handler, the debounce, the guards, the caret;
// and the screen rectangles of ranges of the analysed text.

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "field/ax_geometry.hpp"
#include "field/ax_visible_frame.hpp"
#include "monitor/accessibility_monitor.hpp"
#include "monitor/replacement_ladder.hpp"
#include "monitor/text_change_reports.hpp"
#include "platform/ax_reads.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

// One analysis per pause in typing, on the text of the last change.
constexpr double kDebounceSeconds = 0.75;
// The notifications of one keystroke (the text's change, the caret's move)
// arrive within a few milliseconds of each other.
constexpr double kBurstSettleSeconds = 0.02;
constexpr std::size_t kRecentChangeLimit = 20;
constexpr int64_t kLoggedPrefixCharacters = 40;
// An application tells of an edit's moved caret right after the edit.
constexpr double kEditCaretSeconds = 0.1;
// Change reports kept between two burst reads; more means a burst of
// another kind (a paste of many lines, a replace-all), which is read whole.
constexpr std::size_t kMaxPendingTextChanges = 256;

std::string formatRatio(double ratio) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", ratio);
    return buf;
}

std::string quotedPrefix(const std::string& text) {
    return "\"" + text::characterPrefix(text, kLoggedPrefixCharacters) + "\"";
}

}  // namespace

void AccessibilityMonitor::noteFieldNotification(const AXElement& element) {
    if (!isMonitoring())
        return;
    textChangedSinceLastPoll_ = true;
    const bool pending = burst_.element.has_value();
    burst_.element = element;
    burst_.lastNotificationAt = ports_.scheduler.now();
    // A correction just written is watched change by change: an undo may
    // follow it at once.
    if (replacementLadder_ && replacementLadder_->isWatching(element)) {
        burst_.read.cancel();
        readFieldBurst();
        return;
    }
    if (!pending)
        burst_.read = scheduleStep(kBurstSettleSeconds, [this] { readFieldBurst(); });
}

void AccessibilityMonitor::noteTextChange(const AXElement& element, const AXTextChange& change) {
    if (!isMonitoring() || element != observedElement_)
        return;
    if (pendingTextChanges_.size() >= kMaxPendingTextChanges) {
        textChangesLost_ = true;
        return;
    }
    pendingTextChanges_.push_back(change);
}

void AccessibilityMonitor::keepWholeText(const std::optional<FieldText>& read) {
    reportsUnverified_ = false;
    pendingTextChanges_.clear();
    textChangesLost_ = false;
    textChangesDeferred_ = false;
    if (!read || read->source != FieldText::Source::value) {
        kept_.reset();
        return;
    }
    kept_ = KeptText{read->text,  true, std::nullopt, 0, std::nullopt, AXTextChange::Unit::utf16,
                     std::nullopt};
}

std::optional<FieldText> AccessibilityMonitor::textFromReports(std::optional<int64_t> length,
                                                               std::optional<Utf16Range>& caret) {
    caret.reset();
    if (!kept_ || !kept_->contentKnown || pendingTextChanges_.empty() || textChangesLost_)
        return std::nullopt;
    const std::vector<AXTextChange>& changes = pendingTextChanges_;
    const AXTextChange::Unit unit = changes.front().unit;
    if (!kept_->units || kept_->unit != unit) {
        kept_->units = textLength(kept_->text, unit);
        kept_->unit = unit;
    }
    if (!kept_->utf16Units)
        kept_->utf16Units = text::utf16Length(kept_->text);
    std::string applied = kept_->text;
    int64_t units = *kept_->units;
    int64_t utf16Units = *kept_->utf16Units;
    if (!applyTextChanges(applied, changes, units, utf16Units) || (length && units != *length))
        return std::nullopt;
    const AXTextChange& last = changes.back();
    const int64_t at = last.offset + (last.kind == AXTextChange::Kind::inserted ? last.length : 0);
    if (unit == AXTextChange::Unit::utf16)
        caret = Utf16Range{at, 0};
    else if (const auto byte = byteOffsetOf(applied, unit, at, units))
        caret =
            Utf16Range{utf16Units - text::utf16Length(std::string_view(applied).substr(*byte)), 0};
    pendingTextChanges_.clear();
    kept_ = KeptText{applied, true, std::nullopt, 0, units, unit, utf16Units};
    return FieldText{std::move(applied), FieldText::Source::value, 0};
}

std::optional<FieldText> AccessibilityMonitor::textAfterBurst(const AXElement& element,
                                                              bool& derived, bool& unread,
                                                              bool& deferred,
                                                              std::optional<Utf16Range>& caret) {
    derived = false;
    unread = false;
    deferred = false;
    caret.reset();
    if (lastCharCountRead_) {
        if (auto fromReports = textFromReports(lastKnownCharCount_, caret)) {
            derived = true;
            textChangesDeferred_ = false;
            return fromReports;
        }
    }
    auto changes = std::exchange(pendingTextChanges_, {});
    const bool lost = std::exchange(textChangesLost_, false);
    if (kept_ && kept_->contentKnown && !changes.empty() && !lost && lastCharCountRead_) {
        if (!std::exchange(textChangesDeferred_, true)) {
            // Settled by the next burst, or else by the next poll tick,
            // which reads the field whole.
            pendingTextChanges_.insert(pendingTextChanges_.begin(), changes.begin(), changes.end());
            deferred = true;
            return std::nullopt;
        }
    }
    textChangesDeferred_ = false;
    // A field longer than anything checkable is not read while what
    // changed cannot have brought it back within reach: each unit changed
    // takes at most one Character away.
    if (kept_ && lastCharCountRead_) {
        if (!kept_->characters)
            kept_->characters = text::characterCount(kept_->text);
        int64_t changed = kept_->unitsChangedSinceRead;
        for (const auto& change : changes)
            changed += change.length;
        if (*kept_->characters - changed > detector_.maximumSentenceLength) {
            kept_->contentKnown = false;
            kept_->unitsChangedSinceRead = changed;
            unread = true;
            return std::nullopt;
        }
    }
    auto read = readFieldText(element);
    keepWholeText(read);
    return read;
}

void AccessibilityMonitor::readFieldBurst() {
    FieldBurst burst = std::exchange(burst_, FieldBurst{});
    if (!burst.element)
        return;
    handleAXValueChanged(*burst.element, burst.lastNotificationAt);
}

void AccessibilityMonitor::handleAXValueChanged(const AXElement& element, TimePoint changedAt) {
    if (!isMonitoring())
        return;
    if (pasteInFlight() || isSecureField(element))
        return;
    lastBurstReadAt_ = ports_.scheduler.now();
    // While a correction written into the field waits for its check, every
    // change is read: the write may show only until the user undoes it.
    std::optional<FieldText> read;
    if (replacementLadder_ && replacementLadder_->isWatching(element)) {
        read = readFieldText(element);
        if (read)
            replacementLadder_->noteFieldText(element, *read);
    }
    const TimePoint now = ports_.scheduler.now();
    bool derived = false;
    bool unread = false;
    bool deferred = false;
    std::optional<Utf16Range> caret;
    // The field told what changed: the kept text takes it in, and the
    // field's length is asked once a poll tick rather than once a key.
    if (!read) {
        if (auto fromReports = textFromReports(std::nullopt, caret)) {
            read = std::move(fromReports);
            derived = true;
            lastKnownCharCount_ = *kept_->units;
            reportsUnverified_ = true;
        }
    }
    if (!derived) {
        // The length stayed: a caret move, or a change that kept the
        // length, which the text poll's next tick reads.
        if (!hasCharCountChanged(element)) {
            // The caret an edit moved says nothing of where the field stands.
            if (now - lastEditSeenAt_ > mivo::seconds(kEditCaretSeconds))
                notifyFieldMayHaveMoved();
            return;
        }
        if (read)
            keepWholeText(read);
        else
            read = textAfterBurst(element, derived, unread, deferred, caret);
        if (deferred)
            return;
    }
    lastEditSeenAt_ = now;
    if (unread) {
        // Too long to be checked: only the pending analysis learns what
        // the field holds, when it comes.
        textChangedSinceLastPoll_ = false;
        burstAccountedSinceLastPoll_ = true;
        log("axEvent: value changed, at least " +
            std::to_string(kept_->characters.value_or(0) - kept_->unitsChangedSinceRead) +
            " chars — not read");
        scheduleAnalysis(FieldText{kept_->text, FieldText::Source::value, 0}, changedAt, true);
        return;
    }
    if (!read || read->text.empty())
        return;
    textChangedSinceLastPoll_ = false;
    burstAccountedSinceLastPoll_ = true;
    const int64_t characters = text::characterCount(read->text);
    logUserText("axEvent: value changed " + std::to_string(characters) +
                " chars: " + quotedPrefix(read->text));
    lastPolledValue_ = *read;
    // The selection is measured against the text, which a change report
    // spares reading: the caret is taken where the report left it, and the
    // selection itself is read with the analysis.
    const auto range =
        derived ? caret : readRange(ports_.accessibility, element, kAXSelectedTextRangeAttribute);
    if (range)
        bufferStore_.update(std::to_string(observedPid_), "focused", read->text, *range);
    scheduleAnalysis(*read, changedAt, derived, characters);
}

void AccessibilityMonitor::scheduleAnalysis(FieldText text, std::optional<TimePoint> changedAt,
                                            bool derived, std::optional<int64_t> characters) {
    if (followBlockWithCaretInstead(text))
        return;
    recentChangeTimestamps_.push_back(ports_.scheduler.now());
    if (recentChangeTimestamps_.size() > kRecentChangeLimit)
        recentChangeTimestamps_.erase(
            recentChangeTimestamps_.begin(),
            recentChangeTimestamps_.end() - static_cast<std::ptrdiff_t>(kRecentChangeLimit));
    debounceWork_.cancel();
    log("schedule: debounce 0.75s for " +
        std::to_string(characters ? *characters : text::characterCount(text.text)) + " chars");
    double delay = kDebounceSeconds;
    if (changedAt) {
        const std::chrono::duration<double> since = ports_.scheduler.now() - *changedAt;
        delay = std::max(0.0, kDebounceSeconds - since.count());
    }
    debounceWork_ = scheduleStep(
        delay, [this, text = std::move(text), derived] { analyzeText(text, derived); });
}

void AccessibilityMonitor::suppressAnalysisLoop(const std::string& text, double seconds) {
    pendingApplyOriginalText_ = text;
    pendingApplyUntil_ = ports_.scheduler.now() + mivo::seconds(seconds);
}

void AccessibilityMonitor::closeAnalysisSuppression() {
    pendingApplyOriginalText_.reset();
    pendingApplyUntil_.reset();
}

bool AccessibilityMonitor::shouldSuppressPendingApplyLoop(const std::string& text) {
    if (!pendingApplyOriginalText_ || !pendingApplyUntil_)
        return false;
    if (text == *pendingApplyOriginalText_ && ports_.scheduler.now() < *pendingApplyUntil_)
        return true;
    closeAnalysisSuppression();
    return false;
}

void AccessibilityMonitor::analyzeText(const FieldText& given, bool derived) {
    if (!isMonitoring())
        return;
    FieldText read = given;
    if (!derived && shouldSuppressPendingApplyLoop(read.text)) {
        log("analyze: suppressed — pending apply verification for unchanged text");
        return;
    }
    if (observedElement_) {
        if (isSecureField(*observedElement_))
            return;
        const auto now = readString(ports_.accessibility, *observedElement_, kAXValueAttribute);
        // Editors whose text comes from the caret window or static text
        // have no value to compare: only a different non-empty one counts.
        // A text worked out from change reports gives way to the field's
        // own: it is read here, once per pause.
        if (now && !now->empty() && *now != read.text) {
            if (!derived) {
                log("analyze: discarded — AX value changed since snapshot");
                return;
            }
            read = FieldText{*now, FieldText::Source::value, 0};
        }
        if (derived) {
            if (now && !now->empty())
                keepWholeText(read);
            if (shouldSuppressPendingApplyLoop(read.text)) {
                log("analyze: suppressed — pending apply verification for unchanged text");
                return;
            }
            if (const auto range = readRange(ports_.accessibility, *observedElement_,
                                             kAXSelectedTextRangeAttribute))
                bufferStore_.update(std::to_string(observedPid_), "focused", read.text, *range);
        }
    }
    const std::string& text = read.text;

    const double ratio = detector_.japaneseRatio(text);
    const int64_t count = text::characterCount(text);
    logUserText("analyze: " + std::to_string(count) + " chars, ratio=" + formatRatio(ratio) +
                ", text=" + quotedPrefix(text));
    const auto candidate = detector_.analyze(text, TextRange{0, count});
    if (!candidate) {
        if (count > detector_.maximumSentenceLength)
            log("analyze: skipped — longer than " +
                std::to_string(detector_.maximumSentenceLength) + " Characters (" +
                std::to_string(count) + " chars)");
        else
            log("analyze: skipped — no sentence boundary or insufficient Japanese ratio (ratio=" +
                formatRatio(ratio) + ")");
        lastAnalyzedText_.reset();
        lastAnalyzedElement_.reset();
        if (onCheckSkipped)
            onCheckSkipped();
        return;
    }
    if (observedElement_)
        captureCaretRect(*observedElement_);
    setLastAnalyzedText(read);
    log("analyze: FIRING boundary=" + std::string(rawValue(candidate->boundary)) +
        " caretRect=" + (currentCaretRect_ ? toString(*currentCaretRect_) : std::string("nil")));
    if (onSentenceCompleted)
        onSentenceCompleted(*candidate);
}

void AccessibilityMonitor::captureCaretRect(const AXElement& element) {
    Accessibility& ax = ports_.accessibility;
    Screens& screens = ports_.screens;
    if (!AXTextExtractor::selectedTextRange(ax, element)) {
        captureElementFrame(element);
        return;
    }
    if (const auto caret = AXTextExtractor::caretBoundsAtSelection(ax, screens, element)) {
        currentCaretRect_ = caret->rect;
        log("caretRect: (loc=" + std::to_string(caret->probe.location) +
            ",len=" + std::to_string(caret->probe.length) + ") screen=" + toString(caret->screen) +
            " → global=" + toString(caret->rect));
        return;
    }
    log("caretRect: atspi_text_get_range_extents failed, falling back to element frame");
    captureElementFrame(element);
}

void AccessibilityMonitor::captureElementFrame(const AXElement& element) {
    Accessibility& ax = ports_.accessibility;
    Screens& screens = ports_.screens;
    if (const auto r = AXTextExtractor::lastStaticCharacterRect(ax, screens, element)) {
        currentCaretRect_ = r;
        log("caretRect: static-text fallback global=" + toString(*r));
        return;
    }
    if (const auto strip = AXTextExtractor::elementBottomStrip(ax, screens, element)) {
        currentCaretRect_ = strip;
        log("caretRect: element frame fallback global=" + toString(*strip));
    }
}

std::optional<Rect> AccessibilityMonitor::boundsForRange(int64_t start, int64_t length) {
    if (!observedElement_)
        return std::nullopt;
    Accessibility& ax = ports_.accessibility;
    Screens& screens = ports_.screens;
    const AXElement& element = *observedElement_;
    const bool windowed =
        lastAnalyzedText_ && lastAnalyzedText_->source == FieldText::Source::caretWindow;
    // The Characters of a caret window are not those of the static text.
    if (!windowed) {
        if (auto r =
                AXTextExtractor::boundsForFragmentBackedRange(ax, screens, start, length, element))
            return r;
    }
    // The element measures UTF-16 units of its whole value: a range of the
    // analysed text is converted through that text and moved by the start
    // of the window it was read from.
    Utf16Range units{start, length};
    if (lastAnalyzedText_ && start >= 0 && length >= 0) {
        const text::CharacterText t{lastAnalyzedText_->text};
        if (start + length <= t.count()) {
            const int64_t from = t.utf16Offset(start);
            units = Utf16Range{lastAnalyzedText_->utf16Start + from,
                               t.utf16Offset(start + length) - from};
        }
    }
    return AXTextExtractor::directBoundsForRange(ax, screens, units, element);
}

std::optional<Rect> AccessibilityMonitor::visibleFieldFrame() {
    if (!observedElement_)
        return std::nullopt;
    // The ancestors of a field do not change while it is followed: they are
    // looked up once, their frames on every ask (a scroll or a moved window
    // moves them).
    if (!clippingAncestors_ || clippingAncestors_->first != *observedElement_)
        clippingAncestors_.emplace(*observedElement_, AXTextExtractor::clippingAncestors(
                                                          ports_.accessibility, *observedElement_));
    return AXTextExtractor::visibleFrame(ports_.accessibility, ports_.screens, *observedElement_,
                                         clippingAncestors_->second);
}

bool AccessibilityMonitor::stillReadsAsAnalyzed(std::string_view analyzedText, int64_t end) {
    if (!observedElement_ || !lastAnalyzedText_ || lastAnalyzedElement_ != observedElement_ ||
        lastAnalyzedText_->text != analyzedText)
        return false;
    const text::CharacterText t{lastAnalyzedText_->text};
    if (end < 0 || end > t.count())
        return false;
    const std::string_view expected = t.sliceView(0, end);
    if (lastAnalyzedText_->source != FieldText::Source::staticText) {
        // Only the stretch in question: a long field is not read whole on
        // every tick the highlights are followed.
        const Utf16Range units{lastAnalyzedText_->utf16Start, t.utf16Offset(end)};
        const AXResult r = ports_.accessibility.copyParameterizedAttributeValue(
            *observedElement_, kAXStringForRangeParameterizedAttribute, AXValue(units));
        if (const auto s = r ? r->asString() : std::nullopt)
            return *s == expected;
        if (lastAnalyzedText_->source == FieldText::Source::caretWindow)
            return false;
    }
    const auto now = extractTextForAnalysis(*observedElement_);
    return now && now->source == lastAnalyzedText_->source &&
           std::string_view(now->text).starts_with(expected);
}

}  // namespace mivo
