#include "app/correction_display_controller.hpp"

#include <algorithm>
#include <utility>

#include "settings/mivo_settings_store.hpp"
#include "shared/issue_context.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

// The Japanese share written into the candidate of a re-check: the text
// was checked before, so the detector's test need not run again.
constexpr double kRecheckJapaneseRatio = 0.9;

std::set<CorrectionKey> keysOf(const std::vector<CorrectionIssue>& issues) {
    std::set<CorrectionKey> keys;
    for (const auto& issue : issues)
        keys.insert(correctionKey(issue));
    return keys;
}

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
    if (issues.empty()) {
        currentHoverCorrectionIssues_.clear();
        currentCorrectionHighlightTextLength_ = 0;
        highlight_.hide();
        panel_.hide();
        return;
    }
    panel_.hide();
    // The highlights of the previous check stay until the render replaces
    // them, so that a re-check of the same text does not flicker.
    renderCorrectionHighlights(issues, text::characterCount(candidate.text), token, 0);
}

void CorrectionDisplayController::renderCorrectionHighlights(
    const std::vector<CorrectionIssue>& issues, int64_t textLength, uint64_t token,
    std::size_t attempt) {
    if (token != correctionHighlightRenderToken_)
        return;
    const auto pairs = correctionIssueRects(issues, textLength);

    // A retry redraws only when some issue got a rectangle that is not
    // drawn yet.
    bool redraw = attempt == 0;
    if (!redraw) {
        const auto drawn = keysOf(currentHoverCorrectionIssues_);
        redraw = std::ranges::any_of(
            pairs, [&](const IssueRect& p) { return !drawn.contains(correctionKey(p.issue)); });
    }
    if (redraw) {
        currentHoverCorrectionIssues_.clear();
        for (const auto& p : pairs)
            currentHoverCorrectionIssues_.push_back(p.issue);
        currentCorrectionHighlightTextLength_ = textLength;
        const auto annotations = correctionHighlightAnnotations(pairs);
        if (annotations.empty()) {
            highlight_.hide();
        } else {
            highlight_.show(annotations);
            if (activeCorrectionHighlightFollowToken_ != token &&
                currentCorrectionHighlightTextLength_ >= 1) {
                activeCorrectionHighlightFollowToken_ = token;
                scheduleCorrectionHighlightFollow(token);
            }
        }
    }

    if (pairs.size() < issues.size() && attempt < correctionHighlightRetryDelays.size()) {
        scheduler_.after(
            correctionHighlightRetryDelays[attempt],
            [this, life = std::weak_ptr<const bool>(life_), issues, textLength, token, attempt] {
                if (!life.expired())
                    renderCorrectionHighlights(issues, textLength, token, attempt + 1);
            });
    }
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

void CorrectionDisplayController::scheduleCorrectionHighlightFollow(uint64_t token) {
    scheduler_.after(
        correctionHighlightFollowInterval, [this, life = std::weak_ptr<const bool>(life_), token] {
            if (life.expired())
                return;
            if (activeCorrectionHighlightFollowToken_ != token ||
                correctionHighlightRenderToken_ != token)
                return;
            if (currentHoverCorrectionIssues_.empty()) {
                activeCorrectionHighlightFollowToken_.reset();
                return;
            }
            // An issue without a plausible rectangle in this tick
            // is left out of this tick only.
            const auto annotations = correctionHighlightAnnotations(correctionIssueRects(
                currentHoverCorrectionIssues_, currentCorrectionHighlightTextLength_));
            if (annotations.empty())
                highlight_.hide();
            else
                highlight_.show(annotations);
            scheduleCorrectionHighlightFollow(token);
        });
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
    for (const auto& issue : currentHoverCorrectionIssues_) {
        if (dismissedKeys_.contains(correctionKey(issue)))
            ids.insert(issue.id);
    }
    std::erase_if(currentHoverCorrectionIssues_,
                  [&](const CorrectionIssue& issue) { return ids.contains(issue.id); });
    highlight_.hide(ids);

    const uint64_t token = ++correctionHighlightRenderToken_;
    activeCorrectionHighlightFollowToken_.reset();
    if (currentHoverCorrectionIssues_.empty()) {
        currentCorrectionHighlightTextLength_ = 0;
        highlight_.hide();
    } else if (currentCorrectionHighlightTextLength_ >= 1) {
        activeCorrectionHighlightFollowToken_ = token;
        scheduleCorrectionHighlightFollow(token);
    }
}

void CorrectionDisplayController::clearCorrectionUIForContextChange() {
    ++correctionHighlightRenderToken_;
    ++hoverOverlayDismissToken_;
    isCorrectionPanelHovered_ = false;
    activeCorrectionHighlightFollowToken_.reset();
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
