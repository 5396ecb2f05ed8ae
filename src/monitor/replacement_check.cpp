// The check after a write: what the field holds decides, case by case in
// the order below, whether the correction is in, the next route follows
// within the same hold, or the write is over and how the user is told.

#include <array>
#include <string>
#include <utility>

#include "monitor/replacement_ladder.hpp"
#include "monitor/replacement_verification.hpp"

namespace mivo {
namespace {

// A field that answers no read is looked at again this often, this many
// times, before the check goes on from what it has.
constexpr double kUnreadCheckSeconds = 0.25;
constexpr int kUnreadChecks = 12;
// A check waits this often for our input that waits for its target.
constexpr double kInputDueCheckSeconds = 0.05;
// A tail repair is looked at again this much later, with the same stage.
constexpr double kRepairCheckSeconds = 0.45;
constexpr std::string_view kPasteNeverTaken =
    "applyReplacement: the target never took our paste; nothing else is written";

}  // namespace

// What a check has found so far; the later cases look at the devices
// after the held keys went on, so the rows ask as they come.
struct ReplacementLadder::Checked {
    PendingReplacement& pending;
    const FieldText& current;
    // The field showed the write once.
    bool landed = false;
    // Our paste keystroke was never taken: the target may still handle it,
    // late, and paste after any other write, so nothing else is written.
    bool pasteNeverTaken = false;
    bool asAtApply = false;
    const WriteWatch& watch() const { return *pending.watch; }
};

// The cases of a check that found the correction not (or not only) in its
// place, in order: the first that applies decides. From `inputFirst` on,
// the input held so far goes on (keys where the user had the caret) before
// the case is looked at. A case whose step finds nothing to do lets the
// next decide.
struct ReplacementLadder::CheckCase {
    Verdict verdict;
    bool inputFirst;
    bool (*applies)(const ReplacementLadder&, const Checked&);
};

const ReplacementLadder::CheckCase ReplacementLadder::kCheckCases[] = {
    // Nothing took: told before the held keys go on, since the field holds
    // the user's text as it was, whatever they type into it next.
    {Verdict::pasteNeverTakenAsItWas, false,
     [](const ReplacementLadder&, const Checked& c) { return c.pasteNeverTaken && c.asAtApply; }},
    // The write never showed and the field reads as at Apply: the next
    // route goes in within the same hold, and what the user and other
    // programs did meanwhile still waits to follow it.
    {Verdict::nextRouteWithinTheHold, false,
     [](const ReplacementLadder& l, const Checked& c) {
         return !c.landed && !c.watch().ended && c.pending.retry && c.asAtApply && l.hold_.holds();
     }},
    // Our input was never posted (the field changed under it where the
    // devices could not be held, a modifier was down): the user was told
    // then, and the field stays as the user has it.
    {Verdict::unposted, true,
     [](const ReplacementLadder&, const Checked& c) { return c.watch().ended && !c.landed; }},
    // Our suggestion went in at another copy of the original. A write that
    // showed in its place was not misplaced: what reads otherwise now is
    // the user's doing.
    {Verdict::misplaced, true,
     [](const ReplacementLadder&, const Checked& c) { return !c.landed; }},
    // Keys held meanwhile went on into the field (just now, or when the
    // hold ran out) and reach it only after this read: a retry would select
    // the original while they still change the text, and one of them would
    // replace our selection. The user typed first; nothing more is sent.
    {Verdict::userTypedFirst, true,
     [](const ReplacementLadder& l, const Checked& c) {
         return !c.landed && l.hold_.keysTypedOn() != c.watch().keysTypedOnAtApply;
     }},
    // The field changed meanwhile, not by a misplaced write of ours: the
    // paste may still go in late, so no other route follows it.
    {Verdict::pasteNeverTaken, true,
     [](const ReplacementLadder&, const Checked& c) { return c.pasteNeverTaken; }},
    // A paste the target took that never showed in its place went in where
    // the caret was: never called a correction that went in.
    {Verdict::strayPaste, true,
     [](const ReplacementLadder&, const Checked& c) {
         return c.landed && !c.watch().seenInText &&
                !replacementShows(c.pending.issue, c.pending.originalText, c.current);
     }},
    // The end of the original left behind the suggestion is mended once.
    // Once our input was not posted nothing is sent, not even a mend.
    {Verdict::tailLeft, true,
     [](const ReplacementLadder&, const Checked& c) {
         return !c.watch().ended && !c.pending.tailRepaired;
     }},
    // A leftover tail is our own write's; anything else after a write that
    // showed is what the user did since, and is never written over.
    {Verdict::landedThenChanged, true,
     [](const ReplacementLadder&, const Checked& c) {
         return c.landed && (c.watch().ended ||
                             !partialReplacementTailRepair(
                                 c.pending.issue, c.pending.originalText.text, c.current.text));
     }},
    {Verdict::nextRoute, true, [](const ReplacementLadder&, const Checked&) { return true; }},
};

void ReplacementLadder::check(PendingReplacement pending) {
    WriteWatch& watch = *pending.watch;
    // Our input still waits for the target to answer: what the field
    // holds says nothing of it yet, and another route would write twice.
    if (watch.inputDue && hold_.holds())
        return verifyReplacement(std::move(pending), kInputDueCheckSeconds);
    // The monitor lost the field because its application answered no
    // search for the focus: that is not the user going elsewhere, and the
    // check waits for an answer while the input is held.
    if (host_.observedElement() != pending.element && hold_.holds() &&
        host_.desktop().accessibility.owesAnswer(pending.element))
        return verifyReplacement(std::move(pending), kInputDueCheckSeconds);
    // The user went elsewhere, or the monitor lost the field for a moment
    // (a busy browser answered no search for its focus) while the keys
    // still go to it: the end leaves the caret there as in a field followed
    // throughout.
    if (host_.observedElement() != pending.element) {
        host_.suppressAnalysisLoop(pending.originalText.text, kGiveUpSuppressionSeconds);
        host_.log("applyReplacement: verification skipped — focus changed mid-apply");
        // Told what the field holds unless it showed the write, or was told
        // already.
        return hold_.end({.write = &watch,
                          .fieldLeft = true,
                          .told = watch.shown || watch.ended
                                      ? std::nullopt
                                      : std::optional(WriteHold::Unwritten{})});
    }
    const auto read = readField(pending.element);
    // The application answered no read (busy, or stuck fetching our
    // clipboard while we waited on it): what the field holds is not known,
    // and a paste on its way may still go in. Looked at again a little
    // later rather than told from an empty read.
    const bool unanswered =
        !read || (read->text.empty() && host_.desktop().accessibility.owesAnswer(pending.element));
    if (unanswered && pending.unreadChecks < kUnreadChecks) {
        ++pending.unreadChecks;
        return verifyReplacement(std::move(pending), kUnreadCheckSeconds);
    }
    const FieldText current = read.value_or(FieldText{});
    if (replacementSucceeded(pending.issue, pending.originalText, current)) {
        host_.closeAnalysisSuppression();
        host_.attemptedPartialRepairKeys().clear();
        host_.setLastPolledValue(current);
        host_.log("applyReplacement: verified text changed");
        hold_.end({.caretBack = {{pending.watch}}});
        host_.setLastAnalyzedText(current);
        host_.replacementCompleted(current.text);
        return;
    }
    noteFieldText(pending.element, current);
    const Checked checked{
        .pending = pending,
        .current = current,
        .landed = watch.shown,
        .pasteNeverTaken = !watch.shown && !watch.ended && watch.pasteQueued,
        .asAtApply = unwrittenField(pending.originalText, current) == UnwrittenField::asItWas};
    bool heldInputSent = false;
    for (const CheckCase& c : kCheckCases) {
        if (c.inputFirst && !std::exchange(heldInputSent, true))
            hold_.end({.write = &watch});
        if (c.applies(*this, checked) && decide(c.verdict, checked))
            return;
    }
}

bool ReplacementLadder::decide(Verdict verdict, const Checked& checked) {
    PendingReplacement& pending = checked.pending;
    const FieldText& current = checked.current;
    switch (verdict) {
        case Verdict::pasteNeverTakenAsItWas: {
            giveUp(pending, kPasteNeverTaken);
            // What the field holds before the held input goes on: the
            // user's text as it was, whatever they type into it next.
            const auto now = readField(pending.element);
            hold_.end({.write = pending.watch.get(),
                       .told = WriteHold::Unwritten{now ? unwrittenField(pending.originalText, *now)
                                                        : UnwrittenField::asItWas}});
            return true;
        }
        case Verdict::nextRouteWithinTheHold:
        case Verdict::nextRoute:
            escalate(std::move(pending), current);
            return true;
        case Verdict::unposted:
            return true;
        case Verdict::misplaced:
            return putBackMisplacedWrite(pending, current);
        case Verdict::userTypedFirst:
            endUnposted(*pending.watch, InputAbandoned::userActed);
            return true;
        case Verdict::pasteNeverTaken:
            giveUpUnwritten(pending, kPasteNeverTaken);
            return true;
        case Verdict::strayPaste:
            leaveStrayPaste(pending, current);
            return true;
        case Verdict::tailLeft: {
            // The monitor's keys are forgotten whenever it attaches to the
            // field afresh; the replacement's own mark is not.
            const std::string key = pending.issue.id + "|" + current.text;
            auto& keys = host_.attemptedPartialRepairKeys();
            if (keys.contains(key) ||
                !repairPartialReplacementIfNeeded(pending.issue, pending.originalText, current,
                                                  pending.element))
                return false;
            keys.insert(key);
            pending.tailRepaired = true;
            verifyReplacement(std::move(pending), kRepairCheckSeconds);
            return true;
        }
        case Verdict::landedThenChanged:
            leaveLandedWrite(pending, current);
            return true;
    }
    return false;
}

}  // namespace mivo
