#pragma once

// Between the monitor, the engine, the highlight windows and the correction
// panel: checks each completed sentence, draws its issues where their text
// is on screen (one check per block of a document of blocks, each kept
// while the caret is in another) (dropping implausible rectangles, retrying missing ones),
// keeps the highlights on the text while they are shown, opens the panel for
// a hovered highlight and closes it again, applies and dismisses
// corrections, and checks the text again after a write-back.
//
// Main loop only. Every delay goes through the Scheduler; delayed work
// carries the generation it was scheduled in and does nothing once a new
// check, apply, dismiss or context change has started another.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "correction_display/correction_display_ports.hpp"
#include "correction_display/correction_highlight_rules.hpp"
#include "monitor/replacement_outcome.hpp"
#include "platform/input_events.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

class MivoSettingsStore;

class CorrectionDisplayController final {
  public:
    // Until one of the issues found has had a box on screen they are asked
    // for again after these delays, the last one repeating for as long as
    // they are held: a text out of view, or an application that answers
    // stale positions for a while, shows its boxes once they are right.
    static constexpr std::array<double, 4> correctionHighlightRetryDelays{0.12, 0.35, 0.7, 1.0};
    // From then on the view is watched this often: one box is measured
    // again (the lowest drawn, else one of those held), and when it moved
    // every box is, so that the boxes follow a scroll, a moved window or
    // text that reflowed above them. Kept boxes cost one measure a tick,
    // however many there are.
    static constexpr double correctionHighlightFollowInterval = 0.12;
    // For this long after a check every box is measured on every tick:
    // applications answer stale positions for a moment after an edit.
    static constexpr double followSettleSeconds = 1.0;
    // While the field's text changes (the user types), the boxes of the
    // line checked last are measured again, and every box's text read, at
    // most this often: an edit moves the text after the caret without
    // moving the lowest box.
    static constexpr double editSweepInterval = 0.36;
    // One block's boxes are checked against its text this often, one block
    // after the other: a change no event told of (another program's edit)
    // takes its boxes away in time.
    static constexpr double revalidateInterval = 0.48;
    // After a wheel step, a key that scrolls or opens a page, or a new
    // title of the window under the boxes (a new tab), the boxes are hidden
    // until they measure at another place twice alike (a smooth scroll
    // moves them for a while, and Chromium answers its steps late), or for
    // at most this long (nothing moved); after a drag, counted from its end.
    static constexpr double viewHoldSeconds = 1.0;
    // How long the pointer may be off both the highlight and the panel
    // before the panel closes.
    static constexpr double hoverOverlayDismissDelay = 0.22;
    // How long the pointer may rest on another highlight lying between the
    // panel and the highlight it was opened for before the panel turns to
    // that one: on its way to the panel's buttons the pointer crosses it,
    // as it crosses a menu's items on its way into a submenu.
    static constexpr double panelSwitchGrace = 0.3;
    // Said when Apply finds none of its issues where they were checked.
    static constexpr std::string_view textChangedNotice = "The text changed; nothing was written";
    static constexpr std::string_view notWrittenNotice =
        "The correction could not be written; your text is as it was";
    // Said when typing that was not ours took words of the sentence while
    // the correction went in.
    static constexpr std::string_view replacedByOtherTypingNotice =
        "The correction could not be written; other typing replaced part of the sentence, "
        "and Ctrl+Z brings it back";
    static constexpr std::string_view keyHeldNotice =
        "The correction was not written while a key was held down; your text is as it was";
    static constexpr std::string_view pastedElsewhereNotice =
        "The correction went in at the wrong place; Ctrl+Z takes it back";
    static constexpr std::string_view keysKeptOutNotice =
        "The application did not answer for 10 s; what you typed meanwhile was not sent to it";

    // An issue with the screen rectangle of its text.
    struct IssueRect {
        CorrectionIssue issue;
        Rect rect;
    };

    // Everything must outlive the controller.
    CorrectionDisplayController(Scheduler& scheduler, CorrectionChecker& checker,
                                CorrectionTextField& field, HighlightDisplay& highlight,
                                CorrectionPanelDisplay& panel, const MivoSettingsStore& settings);
    CorrectionDisplayController(const CorrectionDisplayController&) = delete;
    CorrectionDisplayController& operator=(const CorrectionDisplayController&) = delete;

    // --- Handlers the composition root wires ------------------------------
    // monitor.onSentenceCompleted
    void showCorrectionIssues(const CompletedSentenceCandidate& candidate);
    // monitor.onCorrectionContextChanged, a change of the vocabulary
    // setting, and the stop sequence.
    void clearCorrectionUIForContextChange();
    // monitor.onCheckSkipped: the block's text (the field's, for block 0)
    // changed without a check, so its corrections no longer apply; those of
    // the document's other blocks stay.
    void handleCheckSkipped(uint64_t block);
    // highlight onHoverIssue(issue, rect)
    void handleHoverIssue(const CorrectionIssue& issue, const Rect& rect);
    // highlight onHoverEnded(issue)
    void handleHoverEnded(const CorrectionIssue& issue);
    // panel onHoverChanged(hovered)
    void handlePanelHoverChanged(bool hovered);
    // panel onApply(issues)
    void handleApply(const std::vector<CorrectionIssue>& issues);
    // panel onDismiss(issues)
    void handleDismiss(const std::vector<CorrectionIssue>& issues);
    // monitor.onReplacementCompleted(newText)
    void handleReplacementCompleted(const std::string& newText);
    // Nothing of an applied correction went in: said where the panel stood.
    void handleReplacementFailed(UnwrittenField field);
    // monitor.onFieldMayHaveMoved: the field's window was activated again,
    // or its caret moved, so a box refused before may be right now: every
    // box is measured at the next ask, and issues without a box are asked
    // for again soon (no sooner than one follow interval after the last).
    void handleFieldMayHaveMoved();
    // The window under the boxes took another title: another tab or
    // document may be in front, which the application tells of later. The
    // boxes go at once and come back only where they measure again.
    void handleViewChanged();

    // The user did something that may move the boxes' text before the
    // application tells of it: the boxes go at once, as for a new title,
    // and stay away for as long as a drag lasts.
    void handleViewGesture(ViewGesture gesture);

    // --- What is shown ----------------------------------------------------
    // The issues drawn at the last ask.
    const std::vector<CorrectionIssue>& currentHoverCorrectionIssues() const {
        return currentHoverCorrectionIssues_;
    }

    // No more checks are held than the monitor remembers blocks: the
    // oldest goes first.
    static constexpr std::size_t maxHeldChecks = kMaxRememberedBlocks;

  private:
    // The last check of one block (of the field, for block 0): its text,
    // the issues held of it and those the user dismissed in it.
    struct HeldCheck {
        uint64_t block = 0;
        std::string text;
        int64_t length = 0;
        std::vector<CorrectionIssue> issues;
        // The boxes of its issues as last measured.
        std::vector<IssueRect> measured;
        // A check of the same text again (the field re-read unchanged) must
        // not bring these back.
        std::set<CorrectionKey> dismissed;
    };
    HeldCheck& checkOf(uint64_t block);
    // The check an issue the panel hands back belongs to: by its id, else
    // by its key (a re-check of the same text gave the shown issue another
    // id), else the latest check.
    HeldCheck* checkHolding(const CorrectionIssue& issue);
    std::size_t heldIssueCount() const;
    // Stops the running generation; the next ask, if any is due, belongs
    // to the one this starts.
    uint64_t newGeneration();

    // Asks for the boxes of the held issues, draws those that have one and
    // schedules the next ask. `misses` counts the asks in a row that drew
    // nothing.
    void renderCorrectionHighlights(uint64_t token, std::size_t misses);
    // Measures the boxes again where something may have moved them; the
    // others keep what was measured.
    void measureBoxes(TimePoint now);
    void measureAll(TimePoint now);
    // The raw rectangle of the box watched for the view.
    std::optional<Rect> measureProbe();
    void chooseProbe();
    void scheduleRender(uint64_t token, double delay, std::size_t misses);
    std::vector<IssueRect> correctionIssueRects(const HeldCheck& check);
    static std::vector<HighlightAnnotation> correctionHighlightAnnotations(
        const std::vector<IssueRect>& pairs);
    // The field still holds the issue's original where it was checked, with
    // nothing before it or in the rest of its sentence changed: only then
    // is it drawn or written.
    bool issueStillInPlace(const HeldCheck& check, const CorrectionIssue& issue);
    void scheduleHoverOverlayDismiss(double delay);
    // Opens the panel for the hovered issue next to its highlight.
    void openPanel(const CorrectionIssue& issue, const Rect& rect);
    // Whether a highlight at `rect` lies on the way from the panel's own
    // highlight to the panel.
    bool liesOnTheWayToPanel(const CorrectionIssue& issue, const Rect& rect) const;
    void dropPendingSwitch();

    Scheduler& scheduler_;
    CorrectionChecker& checker_;
    CorrectionTextField& field_;
    HighlightDisplay& highlight_;
    CorrectionPanelDisplay& panel_;
    // The highlight the panel last opened next to, and its issue.
    std::optional<Rect> panelAnchor_;
    std::optional<CorrectionIssue> panelIssue_;
    // A highlight hovered on the way to the panel: the panel turns to it
    // only if the pointer stays there for the grace.
    struct PendingSwitch {
        CorrectionIssue issue;
        Rect rect;
    };
    std::optional<PendingSwitch> pendingSwitch_;
    uint64_t switchToken_ = 0;
    const MivoSettingsStore& settings_;

    uint64_t correctionHighlightRenderToken_ = 0;
    std::optional<uint64_t> activeCorrectionHighlightFollowToken_;
    // The most recent last.
    std::vector<HeldCheck> checks_;
    std::vector<CorrectionIssue> currentHoverCorrectionIssues_;
    // The block the last Apply wrote into: its re-check is of that block.
    uint64_t applyingBlock_ = 0;
    // The next ask of the running generation, and when it is due.
    Cancel nextRender_;
    TimePoint nextRenderAt_{};
    TimePoint lastRenderAt_{};
    // Whether any issue of the check held has been drawn.
    bool everDrawn_ = false;
    // What the follow loop watches: one box, and where it stood.
    struct Probe {
        uint64_t block = 0;
        CorrectionIssue issue;
        std::optional<Rect> rect;
        // Whether `rect` was measured yet.
        bool measured = false;
    };
    std::optional<Probe> probe_;
    TimePoint generationStartedAt_{};
    TimePoint lastSweepAt_{};
    TimePoint lastRevalidateAt_{};
    std::size_t nextRevalidated_ = 0;
    std::optional<TimePoint> editSeenAtSweep_;
    // The application said its field may have moved: every box is
    // measured at the next ask.
    bool fieldMayHaveMoved_ = true;
    // A drag is under way: whatever it moves keeps moving until it ends.
    bool dragging_ = false;
    // The boxes hidden by a gesture or a new title: since when, and where
    // the watched box stood then.
    struct ViewHold {
        TimePoint since;
        std::optional<Rect> probeRect;
        // The watched box's last answer while held.
        std::optional<Rect> lastRect;
    };
    std::optional<ViewHold> viewHold_;
    // Whether the boxes wait for the view to show where it took them.
    bool heldByView(TimePoint now);
    uint64_t hoverOverlayDismissToken_ = 0;
    bool isCorrectionPanelHovered_ = false;
    // The pointer left the panel's own box and may be on its way to the
    // panel: nothing has taken it elsewhere yet.
    bool pointerOnWayToPanel_ = false;

    // Lets delayed work find out that the controller is gone.
    std::shared_ptr<const bool> life_ = std::make_shared<const bool>(true);
};

}  // namespace mivo
