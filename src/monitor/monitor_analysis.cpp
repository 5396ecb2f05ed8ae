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

std::string formatRatio(double ratio) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", ratio);
    return buf;
}

std::string quotedPrefix(const std::string& text) {
    return "\"" + text::characterPrefix(text, kLoggedPrefixCharacters) + "\"";
}

// The screen rectangle of a range of the text checked in `element`.
// `direct`: only the element's own text geometry (a document whose
// fragments are all its blocks' is never walked).
std::optional<Rect> boundsIn(Accessibility& ax, Screens& screens, const AXElement& element,
                             const std::optional<FieldText>& checked, int64_t start, int64_t length,
                             bool direct = false) {
    const bool windowed = checked && checked->source == FieldText::Source::caretWindow;
    // The Characters of a caret window are not those of the static text.
    if (!windowed && !direct) {
        if (auto r =
                AXTextExtractor::boundsForFragmentBackedRange(ax, screens, start, length, element))
            return r;
    }
    // The element measures UTF-16 units of its whole value: a range of the
    // analysed text is converted through that text and moved by the start
    // of the window it was read from.
    Utf16Range units{start, length};
    if (checked && start >= 0 && length >= 0) {
        const text::CharacterText t{checked->text};
        if (start + length <= t.count()) {
            const int64_t from = t.utf16Offset(start);
            units = Utf16Range{checked->utf16Start + from, t.utf16Offset(start + length) - from};
        }
    }
    return AXTextExtractor::directBoundsForRange(ax, screens, units, element);
}

}  // namespace

void AccessibilityMonitor::noteFieldNotification(const AXElement& element) {
    if (!isMonitoring())
        return;
    followed_.noteNotification();
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
    followed_.noteReport(change);
    if (change.kind == AXTextChange::Kind::removed)
        follow_.noteRemoved(change.text);
}

FollowedChange AccessibilityMonitor::textAfterBurst(const AXElement& element) {
    auto change = followed_.afterLengthMoved(detector_.maximumSentenceLength);
    if (change.kind != FollowedChange::Kind::readWhole)
        return change;
    const auto read = readFieldText(element);
    followed_.keepWhole(read);
    change.text = read.value_or(FieldText{});
    return change;
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
    // The field told what changed: the kept text takes it in, and the
    // field's length is asked once a poll tick rather than once a key.
    FollowedChange change;
    if (read)
        change.text = *read;
    else
        change = followed_.takeReports();
    const bool told = change.kind == FollowedChange::Kind::reported ||
                      change.kind == FollowedChange::Kind::alreadyRead;
    if (!told) {
        // The length stayed: a caret move, or a change that kept the
        // length, which the text poll's next tick reads.
        if (!hasCharCountChanged(element)) {
            follow_.noteCaretMoved(element);
            // The caret an edit moved says nothing of where the field stands.
            if (now - lastEditSeenAt_ > mivo::seconds(kEditCaretSeconds))
                notifyFieldMayHaveMoved();
            return;
        }
        if (read)
            followed_.keepWhole(read);
        else
            change = textAfterBurst(element);
        if (change.kind == FollowedChange::Kind::deferred)
            return;
    }
    lastEditSeenAt_ = now;
    if (change.kind == FollowedChange::Kind::tooLong) {
        // Too long to be checked: only the pending analysis learns what
        // the field holds, when it comes.
        followed_.noteBurstAccounted();
        log("axEvent: value changed, at least " + std::to_string(change.atLeastCharacters) +
            " chars — not read");
        scheduleAnalysis(std::move(change.text), changedAt, true);
        return;
    }
    // The whole read that found this burst's changes was taken in and
    // analysed then: the burst brings nothing new.
    if (change.kind == FollowedChange::Kind::alreadyRead) {
        followed_.noteBurstAccounted();
        return;
    }
    if (change.text.text.empty())
        return;
    const bool derived = change.kind == FollowedChange::Kind::reported;
    followed_.noteBurstAccounted();
    const int64_t characters = text::characterCount(change.text.text);
    logUserText("axEvent: value changed " + std::to_string(characters) +
                " chars: " + quotedPrefix(change.text.text));
    lastPolledValue_ = change.text;
    // The selection is measured against the text, which a change report
    // spares reading: the caret is taken where the report left it, and the
    // selection itself is read with the analysis.
    const auto range =
        derived ? change.caret
                : readRange(ports_.accessibility, element, kAXSelectedTextRangeAttribute);
    if (range)
        bufferStore_.update(std::to_string(observedPid_), "focused", change.text.text, *range);
    scheduleAnalysis(std::move(change.text), changedAt, derived, characters);
}

void AccessibilityMonitor::scheduleAnalysis(FieldText text, std::optional<TimePoint> changedAt,
                                            bool derived, std::optional<int64_t> characters) {
    follow_.noteChange(text);
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
    if (!observedElement_)
        return;
    debounceWork_ = scheduleStep(delay, [this, element = *observedElement_, text = std::move(text),
                                         derived] { analyzeText(element, text, derived); });
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

void AccessibilityMonitor::analyzeText(const AXElement& element, const FieldText& given,
                                       bool derived) {
    if (!isMonitoring() || !follow_.checkStarts(element))
        return;
    auto read = settledText(element, given, derived);
    if (!read)
        return;
    const auto [checkedElement, checked] = follow_.whatToCheck(element, std::move(*read));
    const bool followed = checkedElement == observedElement_;
    const std::string& text = checked.text;
    const double ratio = detector_.japaneseRatio(text);
    const int64_t count = text::characterCount(text);
    logUserText("analyze: " + std::to_string(count) + " chars, ratio=" + formatRatio(ratio) +
                ", text=" + quotedPrefix(text));
    if (checkLineByLine(checkedElement, checked))
        return;
    auto candidate = detector_.analyze(text, TextRange{0, count});
    if (!candidate) {
        if (count > detector_.maximumSentenceLength)
            log("analyze: skipped — longer than " +
                std::to_string(detector_.maximumSentenceLength) + " Characters (" +
                std::to_string(count) + " chars)");
        else
            log("analyze: skipped — no sentence boundary or insufficient Japanese ratio (ratio=" +
                formatRatio(ratio) + ")");
        if (followed) {
            lastAnalyzedText_.reset();
            lastAnalyzedElement_.reset();
        }
        const uint64_t block = follow_.noteChecked(checkedElement, std::nullopt);
        if (onCheckSkipped)
            onCheckSkipped(block);
        return;
    }
    if (followed) {
        captureCaretRect(checkedElement);
        setLastAnalyzedText(checked);
    }
    candidate->block = follow_.noteChecked(checkedElement, checked);
    log("analyze: FIRING boundary=" + std::string(rawValue(candidate->boundary)) +
        " caretRect=" + (currentCaretRect_ ? toString(*currentCaretRect_) : std::string("nil")));
    if (onSentenceCompleted)
        onSentenceCompleted(*candidate);
}

bool AccessibilityMonitor::checkLineByLine(const AXElement& element, const FieldText& checked) {
    const bool followed = element == observedElement_;
    // A field followed whole until now: its check was block 0's.
    const bool checkedWhole = followed && !follow_.blocks().document() && lastAnalyzedText_;
    auto lines = follow_.linesToCheck(element, checked, detector_.maximumSentenceLength);
    if (!lines)
        return false;
    log("analyze: " + std::to_string(lines->size()) + " lines checked each as a text of its own");
    // What was checked of the element whole is no longer its text.
    if (followed) {
        lastAnalyzedText_.reset();
        lastAnalyzedElement_.reset();
        captureCaretRect(element);
        if (checkedWhole && onCheckSkipped)
            onCheckSkipped(0);
    }
    if (const DocumentBlocks::Block* whole = follow_.blocks().find(element);
        whole && whole->checked) {
        const uint64_t block = follow_.noteChecked(element, std::nullopt);
        if (onCheckSkipped)
            onCheckSkipped(block);
    }
    for (auto& line : *lines) {
        const int64_t count = text::characterCount(line.text.text);
        auto candidate = detector_.analyze(line.text.text, TextRange{0, count});
        if (!candidate) {
            if (count > detector_.maximumSentenceLength)
                log("analyze: skipped — longer than " +
                    std::to_string(detector_.maximumSentenceLength) + " Characters (" +
                    std::to_string(count) + " chars)");
            follow_.noteLineChecked(line.block, std::nullopt);
            if (onCheckSkipped)
                onCheckSkipped(line.block);
            continue;
        }
        follow_.noteLineChecked(line.block, line.text);
        candidate->block = line.block;
        log("analyze: FIRING boundary=" + std::string(rawValue(candidate->boundary)) +
            " line=" + std::to_string(line.block));
        if (onSentenceCompleted)
            onSentenceCompleted(*candidate);
    }
    return true;
}

std::optional<FieldText> AccessibilityMonitor::settledText(const AXElement& element,
                                                           const FieldText& given, bool derived) {
    const bool followed = element == observedElement_;
    FieldText read = given;
    if (!derived && shouldSuppressPendingApplyLoop(read.text)) {
        log("analyze: suppressed — pending apply verification for unchanged text");
        return std::nullopt;
    }
    if (isSecureField(element))
        return std::nullopt;
    const auto now = readString(ports_.accessibility, element, kAXValueAttribute);
    // Editors whose text comes from the caret window or static text have
    // no value to compare: only a different non-empty one counts. A text
    // worked out from change reports gives way to the field's own: it is
    // read here, once per pause. A block the caret has left has no newer
    // change coming to check it: what it holds now is checked.
    if (now && !now->empty() && *now != read.text) {
        if (!derived && followed) {
            log("analyze: discarded — AX value changed since snapshot");
            return std::nullopt;
        }
        if (!followed)
            logUserText("analyze: the block left reads \"" +
                        text::characterPrefix(*now, kLoggedPrefixCharacters) +
                        "\" now, not its snapshot");
        read = FieldText{*now, FieldText::Source::value, 0};
    }
    if (!derived)
        return read;
    if (followed && now && !now->empty())
        followed_.keepWhole(read);
    if (shouldSuppressPendingApplyLoop(read.text)) {
        log("analyze: suppressed — pending apply verification for unchanged text");
        return std::nullopt;
    }
    if (const auto range =
            followed ? readRange(ports_.accessibility, element, kAXSelectedTextRangeAttribute)
                     : std::nullopt)
        bufferStore_.update(std::to_string(observedPid_), "focused", read.text, *range);
    return read;
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

std::optional<Rect> AccessibilityMonitor::boundsForRange(int64_t start, int64_t length,
                                                         uint64_t block) {
    if (block == 0)
        return observedElement_ ? boundsIn(ports_.accessibility, ports_.screens, *observedElement_,
                                           lastAnalyzedText_, start, length)
                                : std::nullopt;
    DocumentBlocks& blocks = follow_.blocks();
    const DocumentBlocks::Block* known = blocks.find(block);
    if (!known || !known->checked)
        return std::nullopt;
    return boundsIn(ports_.accessibility, ports_.screens, known->element, known->checked, start,
                    length, known->element == blocks.document() || known->line);
}

std::optional<Rect> AccessibilityMonitor::visibleFieldFrame(uint64_t block) {
    if (block != 0) {
        DocumentBlocks::Block* known = follow_.blocks().find(block);
        if (!known)
            return std::nullopt;
        if (!known->clippingAncestors)
            known->clippingAncestors =
                AXTextExtractor::clippingAncestors(ports_.accessibility, known->element);
        return AXTextExtractor::visibleFrame(ports_.accessibility, ports_.screens, known->element,
                                             *known->clippingAncestors);
    }
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

bool AccessibilityMonitor::stillReadsAsAnalyzed(std::string_view analyzedText, int64_t end,
                                                uint64_t block) {
    if (block != 0) {
        const DocumentBlocks::Block* known = follow_.blocks().find(block);
        return known && known->checked &&
               readsAsChecked(known->element, *known->checked, analyzedText, end);
    }
    if (!observedElement_ || !lastAnalyzedText_ || lastAnalyzedElement_ != observedElement_)
        return false;
    return readsAsChecked(*observedElement_, *lastAnalyzedText_, analyzedText, end);
}

bool AccessibilityMonitor::readsAsChecked(const AXElement& element, const FieldText& checked,
                                          std::string_view analyzedText, int64_t end) {
    if (checked.text != analyzedText)
        return false;
    const text::CharacterText t{checked.text};
    if (end < 0 || end > t.count())
        return false;
    const std::string_view expected = t.sliceView(0, end);
    if (checked.source != FieldText::Source::staticText) {
        // Only the stretch in question: a long field is not read whole on
        // every tick the highlights are followed.
        const Utf16Range units{checked.utf16Start, t.utf16Offset(end)};
        const AXResult r = ports_.accessibility.copyParameterizedAttributeValue(
            element, kAXStringForRangeParameterizedAttribute, AXValue(units));
        if (const auto s = r ? r->asString() : std::nullopt)
            return *s == expected;
        if (checked.source == FieldText::Source::caretWindow)
            return false;
    }
    const auto now = extractTextForAnalysis(element);
    return now && now->source == checked.source &&
           std::string_view(now->text).starts_with(expected);
}

}  // namespace mivo
