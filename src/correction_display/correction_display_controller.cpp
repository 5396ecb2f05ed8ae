#include "correction_display/correction_display_controller.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
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

    // The line just finished is checked while the user may be reading the
    // panel of another line above: that panel stays. Only a check of its
    // own line can take its issue away. The panel's issue is known by its
    // id alone: the same error in another line has the same key.
    const bool panelOfAnotherLine =
        panelIssue_ && std::ranges::any_of(checks_, [&](const HeldCheck& held) {
            return held.block != candidate.block &&
                   std::ranges::any_of(held.issues, [&](const CorrectionIssue& issue) {
                       return issue.id == panelIssue_->id;
                   });
        });
    HeldCheck& check = checkOf(candidate.block);
    const bool sameText = candidate.text == check.text;
    if (!sameText)
        check.dismissed.clear();
    check.text = candidate.text;
    std::erase_if(issues, [&check](const CorrectionIssue& issue) {
        return check.dismissed.contains(correctionKey(issue));
    });
    check.issues = std::move(issues);
    check.length = text::characterCount(candidate.text);

    // The pointer on the panel, or on its way there from the panel's box:
    // the user's click is about to land on Apply. A check of the same text
    // that finds the panel's issue again leaves the panel as it stands
    // (closed, the click would go into the text under it).
    const auto foundAgain =
        panelIssue_ && sameText && (isCorrectionPanelHovered_ || pointerOnWayToPanel_)
            ? std::ranges::find_if(check.issues,
                                   [&](const CorrectionIssue& issue) {
                                       return correctionKey(issue) == correctionKey(*panelIssue_) &&
                                              issue.range == panelIssue_->range;
                                   })
            : check.issues.end();
    const bool panelStays = foundAgain != check.issues.end();
    if (panelStays)
        panelIssue_ = *foundAgain;

    const uint64_t token = newGeneration();
    if (!panelOfAnotherLine && !panelStays)
        panel_.hide();
    if (heldIssueCount() == 0) {
        currentHoverCorrectionIssues_.clear();
        highlight_.hide();
        return;
    }
    everDrawn_ = false;
    // The highlights of the previous check stay until the render replaces
    // them, so that a re-check of the same text does not flicker.
    renderCorrectionHighlights(token, 0);
}

CorrectionDisplayController::HeldCheck& CorrectionDisplayController::checkOf(uint64_t block) {
    const auto it = std::find_if(checks_.begin(), checks_.end(),
                                 [block](const HeldCheck& c) { return c.block == block; });
    if (it != checks_.end()) {
        // The most recent last: the one a panel's stray issue goes to.
        std::rotate(it, it + 1, checks_.end());
        return checks_.back();
    }
    if (checks_.size() >= maxHeldChecks)
        checks_.erase(checks_.begin());
    HeldCheck& added = checks_.emplace_back();
    added.block = block;
    return added;
}

CorrectionDisplayController::HeldCheck* CorrectionDisplayController::checkHolding(
    const CorrectionIssue& issue) {
    for (auto& check : checks_) {
        if (std::ranges::any_of(check.issues,
                                [&](const CorrectionIssue& held) { return held.id == issue.id; }))
            return &check;
    }
    const CorrectionKey key = correctionKey(issue);
    for (auto& check : checks_) {
        if (std::ranges::any_of(check.issues, [&](const CorrectionIssue& held) {
                return correctionKey(held) == key;
            }))
            return &check;
    }
    return checks_.empty() ? nullptr : &checks_.back();
}

std::size_t CorrectionDisplayController::heldIssueCount() const {
    std::size_t n = 0;
    for (const auto& check : checks_)
        n += check.issues.size();
    return n;
}

uint64_t CorrectionDisplayController::newGeneration() {
    dropPendingSwitch();
    activeCorrectionHighlightFollowToken_.reset();
    nextRender_.cancel();
    generationStartedAt_ = scheduler_.now();
    fieldMayHaveMoved_ = true;
    viewHold_.reset();
    return ++correctionHighlightRenderToken_;
}

std::vector<CorrectionDisplayController::IssueRect>
CorrectionDisplayController::correctionIssueRects(const HeldCheck& check) {
    std::vector<IssueRect> pairs;
    if (check.issues.empty() || check.length < 1)
        return pairs;
    // A highlight is drawn only over the visible part of the field: text
    // scrolled out of it is measured where it would be, over other windows.
    const auto frame = field_.visibleFrame(check.block);
    for (const auto& issue : check.issues) {
        // The range is judged first: an empty or reversed one is never
        // asked of the field.
        if (!isPlausibleHighlightRange(issue, check.length) || !issueStillInPlace(check, issue))
            continue;
        const auto rect =
            field_.boundsForRange(check.block, issue.range.start, issue.range.length());
        if (!rect || !isPlausibleHighlightRect(issue, *rect) ||
            (frame && !insideFrame(*rect, *frame)))
            continue;
        pairs.push_back(IssueRect{issue, *rect});
    }
    return pairs;
}

bool CorrectionDisplayController::issueStillInPlace(const HeldCheck& check,
                                                    const CorrectionIssue& issue) {
    // Up to the end of the issue's sentence: a correction may depend on
    // what follows it there (a particle on its verb), and the write-back
    // looks for the same.
    const auto context = issueContext(issue, check.text);
    if (!context)
        return false;
    return field_.stillReadsAsChecked(check.block, check.text,
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
    pointerOnWayToPanel_ = false;
    if (!liesOnTheWayToPanel(issue, rect))
        return openPanel(issue, rect);
    pendingSwitch_ = PendingSwitch{issue, rect};
    const uint64_t token = ++switchToken_;
    scheduler_.after(panelSwitchGrace, [this, life = std::weak_ptr<const bool>(life_), token] {
        if (life.expired() || token != switchToken_ || !pendingSwitch_ || isCorrectionPanelHovered_)
            return;
        const PendingSwitch target = *pendingSwitch_;
        openPanel(target.issue, target.rect);
    });
}

void CorrectionDisplayController::openPanel(const CorrectionIssue& issue, const Rect& rect) {
    dropPendingSwitch();
    panelAnchor_ = rect;
    panelIssue_ = issue;
    panel_.show({issue}, rect);
}

bool CorrectionDisplayController::liesOnTheWayToPanel(const CorrectionIssue& issue,
                                                      const Rect& rect) const {
    const auto frame = panel_.frame();
    // Two lines of the same text have issues of the same key: the panel's
    // own is known by its id, or by its key at its place.
    if (!frame || !panelAnchor_ || !panelIssue_ || panelIssue_->id == issue.id ||
        (correctionKey(*panelIssue_) == correctionKey(issue) && rect == *panelAnchor_))
        return false;
    // The stretch between the panel's own highlight and the panel, both
    // included: what the pointer crosses going straight from one to the
    // other.
    const Rect way = panelAnchor_->united(*frame);
    return rect.minX() < way.maxX() && rect.maxX() > way.minX() && rect.minY() < way.maxY() &&
           rect.maxY() > way.minY();
}

void CorrectionDisplayController::dropPendingSwitch() {
    pendingSwitch_.reset();
    ++switchToken_;
}

void CorrectionDisplayController::handleHoverEnded(const CorrectionIssue& issue) {
    if (pendingSwitch_ && pendingSwitch_->issue.id == issue.id)
        dropPendingSwitch();
    pointerOnWayToPanel_ = panelIssue_ && panelIssue_->id == issue.id;
    scheduleHoverOverlayDismiss(hoverOverlayDismissDelay);
}

void CorrectionDisplayController::handlePanelHoverChanged(bool hovered) {
    // A panel that closes reports the pointer off it: when it was not on
    // it, there is nothing to close, and a dismiss scheduled then would
    // close the closed panel again, and so on every 0.22 s for good.
    if (!hovered && !isCorrectionPanelHovered_)
        return;
    isCorrectionPanelHovered_ = hovered;
    pointerOnWayToPanel_ = false;
    if (hovered) {
        dropPendingSwitch();
        ++hoverOverlayDismissToken_;
    } else {
        scheduleHoverOverlayDismiss(hoverOverlayDismissDelay);
    }
}

void CorrectionDisplayController::scheduleHoverOverlayDismiss(double delay) {
    const uint64_t token = ++hoverOverlayDismissToken_;
    scheduler_.after(delay, [this, life = std::weak_ptr<const bool>(life_), token] {
        if (life.expired())
            return;
        if (hoverOverlayDismissToken_ != token || isCorrectionPanelHovered_)
            return;
        pointerOnWayToPanel_ = false;
        panel_.hide();
    });
}

void CorrectionDisplayController::handleApply(const std::vector<CorrectionIssue>& issues) {
    ++hoverOverlayDismissToken_;
    isCorrectionPanelHovered_ = false;
    pointerOnWayToPanel_ = false;
    HeldCheck* check = issues.empty() ? nullptr : checkHolding(issues.front());
    // The block written is checked again after the write; the boxes of the
    // document's other blocks stay where they are.
    std::set<std::string> ids;
    if (check) {
        for (const auto& issue : check->issues)
            ids.insert(issue.id);
        check->issues.clear();
        check->measured.clear();
    }
    const uint64_t token = newGeneration();
    std::erase_if(currentHoverCorrectionIssues_,
                  [&](const CorrectionIssue& issue) { return ids.contains(issue.id); });
    if (heldIssueCount() == 0) {
        currentHoverCorrectionIssues_.clear();
        highlight_.hide();
    } else {
        highlight_.hide(ids);
        scheduleRender(token, correctionHighlightFollowInterval, 0);
    }
    // The panel may have stayed open while the user typed on: what no
    // longer stands where it was checked is not written.
    std::vector<CorrectionIssue> current;
    for (const auto& issue : issues) {
        if (check && issueStillInPlace(*check, issue))
            current.push_back(issue);
    }
    applyingBlock_ = check ? check->block : 0;
    if (current.size() >= 2)
        field_.applyReplacements(applyingBlock_, current);
    else if (current.size() == 1)
        field_.applyReplacement(applyingBlock_, current.front());
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
        case UnwrittenField::keysKeptOut:
            return panel_.showNotice(std::string(keysKeptOutNotice), panelAnchor_);
    }
}

void CorrectionDisplayController::handleDismiss(const std::vector<CorrectionIssue>& issues) {
    ++hoverOverlayDismissToken_;
    isCorrectionPanelHovered_ = false;
    pointerOnWayToPanel_ = false;

    // An issue is dismissed by its id and by its key: after a re-check of
    // the same text the panel may hand back the issue of the earlier check,
    // whose id no shown issue has any more.
    std::set<std::string> ids;
    for (const auto& issue : issues) {
        ids.insert(issue.id);
        if (HeldCheck* check = checkHolding(issue))
            check->dismissed.insert(correctionKey(issue));
    }
    for (auto& check : checks_) {
        for (const auto& issue : check.issues) {
            if (check.dismissed.contains(correctionKey(issue)))
                ids.insert(issue.id);
        }
    }
    const auto dismissed = [&](const CorrectionIssue& issue) { return ids.contains(issue.id); };
    for (auto& check : checks_) {
        std::erase_if(check.issues, dismissed);
        std::erase_if(check.measured, [&](const IssueRect& p) { return dismissed(p.issue); });
    }
    std::erase_if(currentHoverCorrectionIssues_, dismissed);
    highlight_.hide(ids);

    const uint64_t token = newGeneration();
    if (heldIssueCount() == 0) {
        currentHoverCorrectionIssues_.clear();
        highlight_.hide();
    } else {
        scheduleRender(token, correctionHighlightFollowInterval, 0);
    }
}

void CorrectionDisplayController::clearCorrectionUIForContextChange() {
    newGeneration();
    ++hoverOverlayDismissToken_;
    isCorrectionPanelHovered_ = false;
    pointerOnWayToPanel_ = false;
    checks_.clear();
    currentHoverCorrectionIssues_.clear();
    highlight_.hide();
    panel_.hide();
}

void CorrectionDisplayController::handleCheckSkipped(uint64_t block) {
    if (block == 0)
        return clearCorrectionUIForContextChange();
    std::set<std::string> ids;
    std::erase_if(checks_, [&](const HeldCheck& check) {
        if (check.block != block)
            return false;
        for (const auto& issue : check.issues)
            ids.insert(issue.id);
        return true;
    });
    if (ids.empty())
        return;
    const uint64_t token = newGeneration();
    ++hoverOverlayDismissToken_;
    isCorrectionPanelHovered_ = false;
    panel_.hide();
    std::erase_if(currentHoverCorrectionIssues_,
                  [&](const CorrectionIssue& issue) { return ids.contains(issue.id); });
    if (heldIssueCount() == 0) {
        highlight_.hide();
        return;
    }
    highlight_.hide(ids);
    scheduleRender(token, correctionHighlightFollowInterval, 0);
}

void CorrectionDisplayController::handleReplacementCompleted(const std::string& newText) {
    CompletedSentenceCandidate candidate;
    candidate.id = text::makeUuid();
    candidate.text = newText;
    candidate.range = TextRange{0, text::characterCount(newText)};
    candidate.japaneseRatio = kRecheckJapaneseRatio;
    candidate.boundary = CompletedSentenceCandidate::Boundary::punctuation;
    candidate.detectedAt = scheduler_.wallClockNow();
    candidate.block = applyingBlock_;
    showCorrectionIssues(candidate);
}

}  // namespace mivo
