#include "correction_display/correction_display_controller.hpp"

#include <algorithm>
#include <chrono>
#include <utility>

#include "settings/mivo_settings_store.hpp"
#include "shared/issue_context.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

// The Japanese share written into the candidate of a re-check: the text
// was checked before, so the detector's test need not run again.
constexpr double kRecheckJapaneseRatio = 0.9;

// A rectangle the height of a line is raised to at least 16 points; a few
// points past the frame's edge are the text's own padding.
constexpr double kFrameTolerance = 4;

bool insideFrame(const Rect& r, const Rect& frame) {
    return frame.width > 0 && frame.height > 0 && r.minX() >= frame.minX() - kFrameTolerance &&
           r.maxX() <= frame.maxX() + kFrameTolerance &&
           r.minY() >= frame.minY() - kFrameTolerance && r.maxY() <= frame.maxY() + kFrameTolerance;
}

}  // namespace

CorrectionDisplayController::CorrectionDisplayController(
    Scheduler& scheduler, CorrectionChecker& checker, CorrectionTextField& field,
    HighlightDisplay& highlight, CorrectionPanelDisplay& panel, const MivoSettingsStore& settings)
    : scheduler_(scheduler),
      checker_(checker),
      field_(field),
      highlight_(highlight),
      panel_(panel),
      settings_(settings) {}

void CorrectionDisplayController::showCorrectionIssues(
    const CompletedSentenceCandidate& candidate) {
    const LocalCorrectionOptions options{.vocabularyStyleSuggestionsEnabled =
                                             settings_.vocabularySuggestionsEnabled()};
    auto issues = checker_.analyze(candidate, options);

    if (candidate.text != checkedText_)
        forgetDismissed();
    checkedText_ = candidate.text;
    std::erase_if(issues, [this](const CorrectionIssue& issue) {
        return dismissedKeys_.contains(correctionKey(issue));
    });

    const uint64_t token = ++correctionHighlightRenderToken_;
    activeCorrectionHighlightFollowToken_.reset();
    nextRender_.cancel();
    if (issues.empty()) {
        heldCorrectionIssues_.clear();
        currentHoverCorrectionIssues_.clear();
        currentCorrectionHighlightTextLength_ = 0;
        highlight_.hide();
        panel_.hide();
        return;
    }
    panel_.hide();
    heldCorrectionIssues_ = std::move(issues);
    currentCorrectionHighlightTextLength_ = text::characterCount(candidate.text);
    everDrawn_ = false;
    // The highlights of the previous check stay until the render replaces
    // them, so that a re-check of the same text does not flicker.
    renderCorrectionHighlights(token, 0);
}

void CorrectionDisplayController::renderCorrectionHighlights(uint64_t token, std::size_t misses) {
    if (token != correctionHighlightRenderToken_)
        return;
    if (heldCorrectionIssues_.empty() || currentCorrectionHighlightTextLength_ < 1) {
        activeCorrectionHighlightFollowToken_.reset();
        return;
    }
    lastRenderAt_ = scheduler_.now();
    // Every issue held is asked, not only those drawn: one out of view (or
    // refused) at the check shows once its text is where it can be seen.
    const auto pairs =
        correctionIssueRects(heldCorrectionIssues_, currentCorrectionHighlightTextLength_);
    currentHoverCorrectionIssues_.clear();
    for (const auto& p : pairs)
        currentHoverCorrectionIssues_.push_back(p.issue);
    if (pairs.empty())
        highlight_.hide();
    else
        highlight_.show(correctionHighlightAnnotations(pairs));

    // Once something of this check was drawn, the text is followed closely
    // even while it is scrolled away: it may come back at any moment.
    everDrawn_ = everDrawn_ || !pairs.empty();
    if (everDrawn_) {
        scheduleRender(token, correctionHighlightFollowInterval, 0);
        return;
    }
    const double delay =
        correctionHighlightRetryDelays[std::min(misses, correctionHighlightRetryDelays.size() - 1)];
    scheduleRender(token, delay, misses + 1);
}

void CorrectionDisplayController::scheduleRender(uint64_t token, double delay, std::size_t misses) {
    nextRender_.cancel();
    activeCorrectionHighlightFollowToken_ = token;
    nextRenderAt_ = scheduler_.now() + seconds(delay);
    nextRender_ =
        scheduler_.after(delay, [this, life = std::weak_ptr<const bool>(life_), token, misses] {
            if (!life.expired() && activeCorrectionHighlightFollowToken_ == token)
                renderCorrectionHighlights(token, misses);
        });
}

void CorrectionDisplayController::handleFieldMayHaveMoved() {
    const auto token = activeCorrectionHighlightFollowToken_;
    if (!token || *token != correctionHighlightRenderToken_ ||
        currentHoverCorrectionIssues_.size() >= heldCorrectionIssues_.size())
        return;
    // However often the application tells, the field is asked no more often
    // than the follow loop asks it.
    const TimePoint earliest = lastRenderAt_ + seconds(correctionHighlightFollowInterval);
    const TimePoint now = scheduler_.now();
    const TimePoint due = std::max(now, earliest);
    if (due >= nextRenderAt_)
        return;
    scheduleRender(*token, std::chrono::duration<double>(due - now).count(), 0);
}

std::vector<CorrectionDisplayController::IssueRect>
CorrectionDisplayController::correctionIssueRects(const std::vector<CorrectionIssue>& issues,
                                                  int64_t textLength) {
    std::vector<IssueRect> pairs;
    // A highlight is drawn only over the visible part of the field: text
    // scrolled out of it is measured where it would be, over other windows.
    const auto frame = field_.visibleFrame();
    for (const auto& issue : issues) {
        // The range is judged first: an empty or reversed one is never
        // asked of the field.
        if (!isPlausibleHighlightRange(issue, textLength) || !issueStillInPlace(issue))
            continue;
        const auto rect = field_.boundsForRange(issue.range.start, issue.range.length());
        if (!rect || !isPlausibleHighlightRect(issue, *rect) ||
            (frame && !insideFrame(*rect, *frame)))
            continue;
        pairs.push_back(IssueRect{issue, *rect});
    }
    return pairs;
}

bool CorrectionDisplayController::issueStillInPlace(const CorrectionIssue& issue) {
    // Up to the end of the issue's sentence: a correction may depend on
    // what follows it there (a particle on its verb), and the write-back
    // looks for the same.
    const auto context = issueContext(issue, checkedText_);
    if (!context)
        return false;
    return field_.stillReadsAsChecked(checkedText_,
                                      issue.range.end + text::characterCount(context->after));
}

std::vector<HighlightAnnotation> CorrectionDisplayController::correctionHighlightAnnotations(
    const std::vector<IssueRect>& pairs) {
    std::vector<HighlightAnnotation> annotations;
    annotations.reserve(pairs.size());
    for (const auto& p : pairs)
        annotations.push_back(HighlightAnnotation{p.rect, p.issue.severity, p.issue});
    return annotations;
}

void CorrectionDisplayController::handleHoverIssue(const CorrectionIssue& issue, const Rect& rect) {
    ++hoverOverlayDismissToken_;  // a pending hide no longer applies
    panelAnchor_ = rect;
    panel_.show({issue}, rect);
}

void CorrectionDisplayController::handleHoverEnded(const CorrectionIssue&) {
    scheduleHoverOverlayDismiss(hoverOverlayDismissDelay);
}

void CorrectionDisplayController::handlePanelHoverChanged(bool hovered) {
    isCorrectionPanelHovered_ = hovered;
    if (hovered)
        ++hoverOverlayDismissToken_;
    else
        scheduleHoverOverlayDismiss(hoverOverlayDismissDelay);
}

void CorrectionDisplayController::scheduleHoverOverlayDismiss(double delay) {
    const uint64_t token = ++hoverOverlayDismissToken_;
    scheduler_.after(delay, [this, life = std::weak_ptr<const bool>(life_), token] {
        if (life.expired())
            return;
        if (hoverOverlayDismissToken_ == token && !isCorrectionPanelHovered_)
            panel_.hide();
    });
}

void CorrectionDisplayController::handleApply(const std::vector<CorrectionIssue>& issues) {
    ++hoverOverlayDismissToken_;
    isCorrectionPanelHovered_ = false;
    ++correctionHighlightRenderToken_;
    activeCorrectionHighlightFollowToken_.reset();
    nextRender_.cancel();
    heldCorrectionIssues_.clear();
    currentHoverCorrectionIssues_.clear();
    currentCorrectionHighlightTextLength_ = 0;
    highlight_.hide();
    // The panel may have stayed open while the user typed on: what no
    // longer stands where it was checked is not written.
    std::vector<CorrectionIssue> current;
    for (const auto& issue : issues) {
        if (issueStillInPlace(issue))
            current.push_back(issue);
    }
    if (current.size() >= 2)
        field_.applyReplacements(current);
    else if (current.size() == 1)
        field_.applyReplacement(current.front());
    else if (!issues.empty())
        // The panel has closed; where it stood the user learns why the
        // click did nothing.
        panel_.showNotice(std::string(textChangedNotice), panelAnchor_);
}

void CorrectionDisplayController::handleReplacementFailed(UnwrittenField field) {
    switch (field) {
        case UnwrittenField::asItWas:
            return panel_.showNotice(std::string(notWrittenNotice), panelAnchor_);
        case UnwrittenField::changedElsewhere:
            return panel_.showNotice(std::string(textChangedNotice), panelAnchor_);
        case UnwrittenField::sentenceReplaced:
            return panel_.showNotice(std::string(replacedByOtherTypingNotice), panelAnchor_);
        case UnwrittenField::keyHeld:
            return panel_.showNotice(std::string(keyHeldNotice), panelAnchor_);
        case UnwrittenField::pastedElsewhere:
            return panel_.showNotice(std::string(pastedElsewhereNotice), panelAnchor_);
    }
}

void CorrectionDisplayController::handleDismiss(const std::vector<CorrectionIssue>& issues) {
    ++hoverOverlayDismissToken_;
    isCorrectionPanelHovered_ = false;

    // An issue is dismissed by its id and by its key: after a re-check of
    // the same text the panel may hand back the issue of the earlier check,
    // whose id no shown issue has any more.
    std::set<std::string> ids;
    for (const auto& issue : issues) {
        ids.insert(issue.id);
        dismissedKeys_.insert(correctionKey(issue));
    }
    for (const auto& issue : heldCorrectionIssues_) {
        if (dismissedKeys_.contains(correctionKey(issue)))
            ids.insert(issue.id);
    }
    const auto dismissed = [&](const CorrectionIssue& issue) { return ids.contains(issue.id); };
    std::erase_if(heldCorrectionIssues_, dismissed);
    std::erase_if(currentHoverCorrectionIssues_, dismissed);
    highlight_.hide(ids);

    const uint64_t token = ++correctionHighlightRenderToken_;
    activeCorrectionHighlightFollowToken_.reset();
    nextRender_.cancel();
    if (heldCorrectionIssues_.empty()) {
        currentHoverCorrectionIssues_.clear();
        currentCorrectionHighlightTextLength_ = 0;
        highlight_.hide();
    } else if (currentCorrectionHighlightTextLength_ >= 1) {
        scheduleRender(token, correctionHighlightFollowInterval, 0);
    }
}

void CorrectionDisplayController::clearCorrectionUIForContextChange() {
    ++correctionHighlightRenderToken_;
    ++hoverOverlayDismissToken_;
    isCorrectionPanelHovered_ = false;
    activeCorrectionHighlightFollowToken_.reset();
    nextRender_.cancel();
    heldCorrectionIssues_.clear();
    currentHoverCorrectionIssues_.clear();
    currentCorrectionHighlightTextLength_ = 0;
    forgetDismissed();
    highlight_.hide();
    panel_.hide();
}

void CorrectionDisplayController::handleReplacementCompleted(const std::string& newText) {
    CompletedSentenceCandidate candidate;
    candidate.id = text::makeUuid();
    candidate.text = newText;
    candidate.range = TextRange{0, text::characterCount(newText)};
    candidate.japaneseRatio = kRecheckJapaneseRatio;
    candidate.boundary = CompletedSentenceCandidate::Boundary::punctuation;
    candidate.detectedAt = scheduler_.wallClockNow();
    showCorrectionIssues(candidate);
}

void CorrectionDisplayController::forgetDismissed() {
    dismissedKeys_.clear();
    checkedText_.clear();
}

}  // namespace mivo
