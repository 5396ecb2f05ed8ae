#pragma once

// Writing an accepted correction back into the field the monitor follows.
// Applications take text in different ways, so one correction goes down a
// ladder of methods, from a silent accessibility write of the whole value
// to synthetic mouse and keyboard input; the first method that starts hands
// over to a check that looks at the field after the method's delay, mends a
// leftover tail once, and otherwise climbs on to the next method, but only
// when the field never showed the write: one it showed went in, and what
// reads otherwise since is the user's undo or typing, never written over.
//
// The user's text is never written from a guess: a whole value is written
// only from a text that was read as the field's whole value and still reads
// so, and input is posted only into the selection made for it.
//
// One class, its work in a file a job: the route order (replacement_ladder),
// the user's input and caret (replacement_caret; the hold itself is a
// WriteHold), the ways of writing (replacement_rungs), several corrections
// at once (replacement_batch), the writes on their way (replacement_watch)
// and the check after the write (replacement_check, replacement_verification).

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "field/synthetic_input.hpp"
#include "monitor/replacement_host.hpp"
#include "monitor/replacement_rung.hpp"
#include "monitor/write_hold.hpp"
#include "monitor/write_watch.hpp"
#include "platform/scheduler.hpp"
#include "shared/records.hpp"

namespace mivo {

// How the suggestion goes in after a mouse selection.
enum class TextInsertionMethod { paste, unicodeTyping };
std::string_view caseName(TextInsertionMethod method);

// One replacement on its way: what each write method is given, what its
// checks compare with and what they may still do. Every method and check
// receives it whole; the ladder keeps nothing of it between calls.
struct PendingReplacement {
    CorrectionIssue issue;   // located in the field as it reads now
    FieldText originalText;  // the field before the replacement
    AXElement element;       // the field written, whatever the focus does
    std::optional<ReplacementRetry> retry;
    // Whether the leftover tail was mended already: once per replacement,
    // however often the monitor re-attaches meanwhile.
    bool tailRepaired = false;
    // Checks that found the field answering no read.
    int unreadChecks = 0;
    // Never null: what the field showed of the write, and the user's caret.
    std::shared_ptr<WriteWatch> watch;
    const CaretPlan& caret() const { return watch->caret; }
};

class ReplacementLadder {
  public:
    // The monitor that owns the ladder outlives it.
    explicit ReplacementLadder(ReplacementHost& host);

    void applyReplacement(const CorrectionIssue& issue);
    void applyReplacements(const std::vector<CorrectionIssue>& issues);
    // Apply is being pressed: the devices are held from the press (the
    // pointer from its release on).
    void holdInputForApply();
    // The press ended without Apply: a hold no write needs ends.
    void applyPressCancelled();
    // The correction is not written at all (what it was checked against
    // changed): the hold taken at the press ends at once, and the user is
    // told what the field holds.
    void refuse(UnwrittenField field);

    // The rungs: true when the method started (text written or input
    // queued), which says nothing of the outcome. Each writes `write.issue`
    // into `write.element`; the paste and typing rungs tell `write.watch`
    // what became of their input.
    bool applyReplacementUsingWritableValue(const PendingReplacement& write);
    bool applyReplacementUsingSelectedTextAttribute(const PendingReplacement& write);
    bool applyReplacementUsingSelectionPaste(const PendingReplacement& write);
    bool applyReplacementUsingSelectionTyping(const PendingReplacement& write);
    bool applyReplacementUsingMouseSelection(const PendingReplacement& write,
                                             TextInsertionMethod insertion);

    // Checks the field `delay` seconds from now; nothing for an empty
    // original text, which nothing can be compared with.
    void verifyReplacement(PendingReplacement pending, double delay);
    // True when a leftover tail was removed or its removal queued.
    bool repairPartialReplacementIfNeeded(const CorrectionIssue& issue,
                                          const FieldText& originalText,
                                          const FieldText& currentText, const AXElement& element);

    SyntheticInput& input() { return input_; }

    // Whether a replacement written into `element` is still waiting for its
    // check, so that a text read of it now tells whether the write showed.
    bool isWatching(const AXElement& element);
    // A text of `element` read since a write: a write it shows has landed.
    void noteFieldText(const AXElement& element, const FieldText& text);

  private:
    // A paste's target is waited for until this long before the hold ends:
    // time for the check to put the user's caret back before the held
    // input goes on.
    static constexpr double kPasteCheckBeforeHoldEnds = 0.3;
    // After giving up, or when the focus moved, the original text is not
    // analysed again for a while.
    static constexpr double kGiveUpSuppressionSeconds = 1.5;

    // A range found in a text read from the field, as a range of the
    // field's value: a window of the units before the caret starts further
    // on.
    static Utf16Range inField(Utf16Range local, const FieldText& read);

    // The ladder proper, once no key of the user's is down (or waiting for
    // one to come up took too long).
    // `first`: the write begun before, which its application let a call
    // go unanswered; the caret as the user had it is that write's.
    void writeReplacement(const CorrectionIssue& issue,
                          std::shared_ptr<const WriteWatch> first = nullptr);
    void waitForKeysUp(const CorrectionIssue& issue, TimePoint since);
    // A write on its way still needs the hold, or waits for a key to come
    // up.
    bool holdNeededByAWrite();

    // Tries each in order until one starts, writing the issue where it
    // stands now (`at`, else where the first write found it); true when one
    // started, which then hands over to its check, or when the last try of
    // a retry gave up.
    bool climb(PendingReplacement& pending, std::span<const RungTry> tries,
               const std::optional<CorrectionIssue>& at = std::nullopt);
    bool write(WriteMethod method, const PendingReplacement& pending);
    void started(PendingReplacement& pending, const Rung& rung);

    void check(PendingReplacement pending);
    // How a check that found the correction not in its place goes on.
    enum class Verdict {
        pasteNeverTakenAsItWas,
        nextRouteWithinTheHold,
        unposted,
        misplaced,
        userTypedFirst,
        pasteNeverTaken,
        strayPaste,
        tailLeft,
        landedThenChanged,
        nextRoute,
    };
    struct Checked;
    struct CheckCase;
    static const CheckCase kCheckCases[];
    // Takes the verdict's step; false when the step found nothing to do.
    bool decide(Verdict verdict, const Checked& checked);
    // Runs `step` `seconds` from now, or once our paste is no longer on its
    // way into an application that may be waiting for it: calling that
    // application meanwhile would stall it, or cost the paste.
    void scheduleFieldStep(double seconds, std::function<void()> step);
    void escalate(PendingReplacement pending, const FieldText& current);
    void giveUp(const PendingReplacement& pending, std::string_view line);
    // The write showed once and the field reads otherwise now: the user
    // undid it or typed on. Nothing is written again; the log says which.
    void leaveLandedWrite(const PendingReplacement& pending, const FieldText& current);
    // The target took our paste but the field never showed the correction
    // in its place: it went in where the caret was.
    void leaveStrayPaste(const PendingReplacement& pending, const FieldText& current);
    // The issue where it stands in the text read before writing, or nothing
    // (logged) when it stands nowhere the check saw it.
    std::optional<CorrectionIssue> locate(const CorrectionIssue& issue, const FieldText& read);
    // The target has fetched our paste: once the field shows it, the caret
    // goes back at once, before the keys held meanwhile are let go.
    void caretBackOncePasted(WriteWatch& watch);
    // Where the caret stands before the issue is written over and where the
    // user's caret goes after it.
    CaretPlan caretAround(const CorrectionIssue& issue, const AXElement& element,
                          const FieldText& originalText);
    // Looks at the field until `until`; as soon as it shows the correction,
    // the caret goes back and the user's held keys follow it.
    void watchForWrite(PendingReplacement pending, TimePoint until);
    // Our input was not posted: nothing more is sent, the keys go where the
    // user had the caret, and the user is told at once.
    void endUnposted(WriteWatch& watch, InputAbandoned why);
    // A write whose application let a request of ours go unanswered.
    std::shared_ptr<WriteWatch> watchOwedAnAnswer();
    // Nothing went in and nothing more is tried: logged, and the user told.
    void giveUpUnwritten(const PendingReplacement& pending, std::string_view line);
    // The user's caret is no longer where it was nor our selection: the
    // user clicked or typed in the field.
    bool userMovedCaret(const PendingReplacement& pending);
    // The suggestion went in at another copy of the original: the text as
    // it was is put back.
    bool putBackMisplacedWrite(const PendingReplacement& pending, const FieldText& current);
    // Rungs 2 to 4: the field read, the issue located and selected.
    struct Selected {
        FieldText read;
        SelectedTarget target;
    };
    // The selection found possible, the caret goes back where it was until
    // the input is due; the input tells the write's watch what became of it.
    void restUntilInput(Selected& selected, const PendingReplacement& write);
    std::optional<Selected> selectIssue(const PendingReplacement& write,
                                        std::string_view logPrefix);
    // The text reads as the checked one up to the end of the last issue: the
    // issues' stored ranges still hold in it.
    bool readsAsChecked(const FieldText& read, const std::vector<CorrectionIssue>& issues);
    std::optional<FieldText> readField(const AXElement& element) {
        return host_.extractTextForAnalysis(element);
    }

    ReplacementHost& host_;
    SyntheticInput input_;
    // The replacements on their way, from their first write to their last
    // check.
    std::vector<std::weak_ptr<WriteWatch>> watches_;
    // Apply waits for a key of the user's to come up.
    bool waitingForKeysUp_ = false;
    // The input held from the press of Apply to the end of the latest
    // write; declared last, so that it goes first, before what its steps
    // look at.
    WriteHold hold_;
};

}  // namespace mivo
