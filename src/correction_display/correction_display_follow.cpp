// The follow loop of the correction display controller: which boxes are
// measured again at each tick, and when they wait for the view to settle.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "correction_display/correction_display_controller.hpp"

namespace mivo {
namespace {

// Two measures of a box that differ by half a point or more: re-measured
// rectangles jitter by less.
bool apart(const Rect& a, const Rect& b) {
    return std::abs(a.x - b.x) >= 0.5 || std::abs(a.y - b.y) >= 0.5 ||
           std::abs(a.width - b.width) >= 0.5 || std::abs(a.height - b.height) >= 0.5;
}

}  // namespace

void CorrectionDisplayController::renderCorrectionHighlights(uint64_t token, std::size_t misses) {
    if (token != correctionHighlightRenderToken_)
        return;
    if (heldIssueCount() == 0) {
        activeCorrectionHighlightFollowToken_.reset();
        return;
    }
    const TimePoint now = scheduler_.now();
    lastRenderAt_ = now;
    if (heldByView(now)) {
        highlight_.hide();
        currentHoverCorrectionIssues_.clear();
        return scheduleRender(token, correctionHighlightFollowInterval, 0);
    }
    measureBoxes(now);
    std::vector<IssueRect> pairs;
    for (const auto& check : checks_)
        pairs.insert(pairs.end(), check.measured.begin(), check.measured.end());
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

bool CorrectionDisplayController::heldByView(TimePoint now) {
    // A scrollbar still dragged moves the text again with the next motion:
    // a place measured twice alike in a pause is no place to stand, also
    // for the boxes of a check that came meanwhile.
    if (dragging_) {
        if (!viewHold_)
            viewHold_ = ViewHold{now, probe_ ? probe_->rect : std::nullopt, std::nullopt};
        return true;
    }
    if (!viewHold_)
        return false;
    // Only an answer at another place counts, and only once it stays: an
    // application still moving its text may answer nothing, or a place on
    // the way, and the others measured then would stand elsewhere.
    // Moved by half a line at least: Chromium first answers a place a
    // point or two off the old one, long before the one the scroll took
    // the text to.
    const auto rect = probe_ ? measureProbe() : std::nullopt;
    const auto& from = viewHold_->probeRect;
    const bool moved = rect && (!from || std::abs(rect->y - from->y) >= from->height / 2 ||
                                std::abs(rect->x - from->x) >= from->height / 2);
    const bool settled = moved && viewHold_->lastRect && !apart(*rect, *viewHold_->lastRect);
    viewHold_->lastRect = rect;
    if (!settled && now - viewHold_->since < seconds(viewHoldSeconds - 1e-6))
        return true;
    // Where the scroll took them, or back where they were.
    viewHold_.reset();
    fieldMayHaveMoved_ = true;
    return false;
}

void CorrectionDisplayController::handleViewChanged() {
    const auto token = activeCorrectionHighlightFollowToken_;
    if (!token || *token != correctionHighlightRenderToken_ || !everDrawn_)
        return;
    viewHold_ = ViewHold{scheduler_.now(), probe_ ? probe_->rect : std::nullopt, std::nullopt};
    highlight_.hide();
    currentHoverCorrectionIssues_.clear();
}

void CorrectionDisplayController::handleViewGesture(ViewGesture gesture) {
    if (gesture != ViewGesture::dragEnded) {
        dragging_ = dragging_ || gesture == ViewGesture::dragStarted;
        return handleViewChanged();
    }
    if (!std::exchange(dragging_, false) || !viewHold_)
        return;
    // Where the drag left the text is looked for from its end on.
    viewHold_->since = scheduler_.now();
}

void CorrectionDisplayController::measureBoxes(TimePoint now) {
    // Until something was drawn, and while the text settles after a check,
    // every issue held is asked, not only those drawn: one out of view (or
    // refused) at first shows once its text is where it can be seen.
    if (!everDrawn_ || fieldMayHaveMoved_ || !probe_ ||
        now - generationStartedAt_ < seconds(followSettleSeconds)) {
        return measureAll(now);
    }
    const auto rect = measureProbe();
    if (!probe_->measured) {
        // The first measure of a box that was not drawn: where the view
        // stands from now on.
        probe_->rect = rect;
        probe_->measured = true;
        return;
    }
    const bool moved =
        rect.has_value() != probe_->rect.has_value() || (rect && apart(*rect, *probe_->rect));
    if (moved)
        return measureAll(now);
    if (checks_.empty())
        return;
    // Typing moves only the text after the caret: boxes below it move with
    // the lowest, and those of the line typed in, nearly always the one
    // checked last, are measured again. In another line (the caret moving
    // there is told and measures every box) only a box whose text no
    // longer reads as checked can be wrong: it goes.
    const auto editSeen = field_.lastEditSeen();
    if (editSeen != editSeenAtSweep_ && now - lastSweepAt_ >= seconds(editSweepInterval - 1e-6)) {
        editSeenAtSweep_ = editSeen;
        lastSweepAt_ = now;
        for (auto& check : checks_) {
            std::erase_if(check.measured,
                          [&](const IssueRect& p) { return !issueStillInPlace(check, p.issue); });
        }
        checks_.back().measured = correctionIssueRects(checks_.back());
    }
    if (now - lastRevalidateAt_ < seconds(revalidateInterval - 1e-6))
        return;
    lastRevalidateAt_ = now;
    HeldCheck& check = checks_[nextRevalidated_++ % checks_.size()];
    check.measured = correctionIssueRects(check);
}

void CorrectionDisplayController::measureAll(TimePoint now) {
    for (auto& check : checks_)
        check.measured = correctionIssueRects(check);
    fieldMayHaveMoved_ = false;
    lastSweepAt_ = now;
    lastRevalidateAt_ = now;
    editSeenAtSweep_ = field_.lastEditSeen();
    chooseProbe();
}

void CorrectionDisplayController::chooseProbe() {
    // The lowest box drawn: text that reflows above it, a scroll or a moved
    // window moves it too.
    probe_.reset();
    for (const auto& check : checks_) {
        for (const auto& pair : check.measured) {
            if (!probe_ || pair.rect.y < probe_->rect->y)
                probe_ = Probe{check.block, pair.issue, pair.rect, true};
        }
    }
    if (probe_)
        return;
    // Nothing drawn (scrolled out of view): one issue held stands for the
    // view, wherever it is measured.
    for (const auto& check : checks_) {
        if (!check.issues.empty()) {
            probe_ = Probe{check.block, check.issues.front(), std::nullopt, false};
            return;
        }
    }
}

std::optional<Rect> CorrectionDisplayController::measureProbe() {
    const CorrectionIssue& issue = probe_->issue;
    return field_.boundsForRange(probe_->block, issue.range.start, issue.range.length());
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
    fieldMayHaveMoved_ = true;
    const auto token = activeCorrectionHighlightFollowToken_;
    if (!token || *token != correctionHighlightRenderToken_ ||
        currentHoverCorrectionIssues_.size() >= heldIssueCount())
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

}  // namespace mivo
