// The user's keys and caret around a write: held from Apply, let go where
// the user had the caret, the caret put back as soon as the field shows the
// correction, and our selection standing only for the moment of the input.

#include "monitor/replacement_ladder.hpp"

#include <utility>

#include "monitor/replacement_verification.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

// The field is looked at this often while the user's keys are held, to
// let them go, with the caret back, as soon as it shows the correction.
constexpr double kWritePollSeconds = 0.05;

// The user's selection after `written` (field units) was replaced by
// `inserted` units: unchanged before it, moved by the change in length
// after it, grown or shrunk by it when it holds it whole (a Ctrl+A made
// while Apply waited for the Ctrl to come up), after the suggestion when
// it was inside.
Utf16Range caretMovedByWrite(Utf16Range selection, Utf16Range written, int64_t inserted) {
    if (selection.end() <= written.location)
        return selection;
    if (selection.location >= written.end())
        return Utf16Range{selection.location + inserted - written.length, selection.length};
    if (selection.length > 0 && selection.location <= written.location &&
        selection.end() >= written.end())
        return Utf16Range{selection.location, selection.length + inserted - written.length};
    return Utf16Range{written.location + inserted, 0};
}

}  // namespace

Utf16Range ReplacementLadder::inField(Utf16Range local, const FieldText& read) {
    if (read.source == FieldText::Source::caretWindow)
        local.location += read.utf16Start;
    return local;
}

CaretPlan ReplacementLadder::caretAround(const CorrectionIssue& issue, const AXElement& element,
                                         const FieldText& originalText) {
    const text::CharacterText t{originalText.text};
    const int64_t from = t.utf16Offset(issue.range.start);
    const Utf16Range written =
        inField(Utf16Range{from, t.utf16Offset(issue.range.end) - from}, originalText);
    const int64_t inserted = text::utf16Length(issue.suggestion);
    CaretPlan caret;
    caret.afterWrite = Utf16Range{written.location + inserted, 0};
    caret.before = AXTextExtractor::selectedTextRange(host_.desktop().accessibility, element);
    if (caret.before)
        caret.user = caretMovedByWrite(*caret.before, written, inserted);
    // The user writes in another block: the caret goes back there before
    // the held keys go, or they would follow the correction.
    if (const auto elsewhere = host_.userCaretElsewhere()) {
        caret.userElement = elsewhere->element;
        caret.user = elsewhere->range;
    }
    return caret;
}

void ReplacementLadder::holdInputForApply() {
    hold_.start();
}

void ReplacementLadder::applyPressCancelled() {
    if (!holdNeededByAWrite())
        hold_.end({});
}

void ReplacementLadder::refuse(UnwrittenField field) {
    const WriteHold::Unwritten told{field};
    // A write still on its way keeps the hold it needs.
    if (holdNeededByAWrite())
        return hold_.tell(nullptr, told);
    hold_.end({.told = told});
}

void ReplacementLadder::watchForWrite(PendingReplacement pending, TimePoint until) {
    scheduleFieldStep(kWritePollSeconds, [this, pending = std::move(pending), until]() mutable {
        const auto seen = [&]() -> std::optional<WriteHold::End> {
            // The user went elsewhere: the keys follow the user. (A focus
            // search its application did not answer is not that.)
            if (host_.observedElement() != pending.element &&
                !host_.desktop().accessibility.owesAnswer(pending.element))
                return WriteHold::End{};
            const auto now = readField(pending.element);
            if (now)
                noteFieldText(pending.element, *now);
            if (now && replacementSucceeded(pending.issue, pending.originalText, *now))
                return WriteHold::End{.caretBack = {{pending.watch}}};
            // The field showed the correction and reads as before it again:
            // the user took it back, and where the caret stands now is the
            // user's doing. (A field between a paste's delete and its
            // insert reads as neither, and the keys wait on.)
            if (pending.watch->seenInText && now && now->text == pending.originalText.text)
                return WriteHold::End{};
            return std::nullopt;
        }();
        if (seen)
            return hold_.end(*seen);
        // From then on the check decides.
        if (host_.desktop().scheduler.now() < until)
            watchForWrite(std::move(pending), until);
    });
}

std::shared_ptr<WriteWatch> ReplacementLadder::watchOwedAnAnswer() {
    Accessibility& ax = host_.desktop().accessibility;
    for (const auto& w : watches_) {
        if (auto watch = w.lock(); watch && ax.owesAnswer(watch->element))
            return watch;
    }
    return nullptr;
}

bool ReplacementLadder::userMovedCaret(const PendingReplacement& pending) {
    Accessibility& ax = host_.desktop().accessibility;
    const auto now = AXTextExtractor::selectedTextRange(ax, pending.element);
    return now && now != pending.caret().before &&
           !(now->length > 0 &&
             AXTextExtractor::selectionReadsAs(ax, pending.element, pending.issue.original));
}

void ReplacementLadder::restUntilInput(Selected& selected, const PendingReplacement& write) {
    const AXElement& element = selected.target.element;
    selected.target.onAbandoned = [this, watch = std::weak_ptr(write.watch)](InputAbandoned why) {
        if (const auto w = watch.lock())
            endUnposted(*w, why);
        else
            hold_.end({});
    };
    selected.target.onPosted = [watch = std::weak_ptr(write.watch)] {
        if (const auto w = watch.lock())
            w->inputDue = false;
    };
    selected.target.onAwaitingAnswer = [watch = std::weak_ptr(write.watch)] {
        if (const auto w = watch.lock())
            w->targetWasAway = true;
    };
    // An application that stops answering for a moment gets the input
    // once it answers, up to the hold's bound: one back from a spell of
    // load answers a while after it runs again, and a call that gave up
    // before then is not its answer. The hold waits past its bound for
    // what it then makes of our input.
    if (const auto bound = hold_.bound())
        selected.target.answerAwaitedUntil = *bound;
    // While the devices are held nothing can come between our selection
    // and our input, and it stands. Where they could not be held, a key
    // would replace it: it stands only for the moment of the input,
    // selected again then.
    if (hold_.holds())
        return;
    Accessibility& ax = host_.desktop().accessibility;
    // The caret as read before any selection of ours: some editors answer
    // a selection just made (or undone) only a moment later.
    const auto& before = write.caret().before;
    if (before && ax.setAttributeValue(element, kAXSelectedTextRangeAttribute, AXValue(*before)) ==
                      AXError::success)
        selected.target.restingCaret = before;
}

void ReplacementLadder::endUnposted(WriteWatch& watch, InputAbandoned why) {
    watch.inputDue = false;
    if (watch.ended)
        return;
    watch.ended = true;
    host_.suppressAnalysisLoop(watch.originalText.text, kGiveUpSuppressionSeconds);
    switch (why) {
        case InputAbandoned::userActed:
            host_.log(
                "applyReplacement: the field changed before the correction went in; "
                "nothing written");
            break;
        case InputAbandoned::modifierHeld:
            host_.log(
                "applyReplacement: a modifier key was down when the paste was due; nothing "
                "written");
            break;
        case InputAbandoned::selectionNotTaken:
            host_.log("applyReplacement: the field never took our selection; nothing written");
            break;
        case InputAbandoned::targetAway:
            host_.log(
                "applyReplacement: the application did not answer within the hold; nothing "
                "written");
            break;
    }
    // What was held goes on at once, nothing of ours stays selected for it,
    // and the user learns what the field holds then.
    hold_.end({.write = &watch, .told = WriteHold::Unwritten{.why = why}});
}

void ReplacementLadder::caretBackOncePasted(WriteWatch& watch) {
    if (host_.observedElement() != watch.element || watch.caretBack)
        return;
    const auto now = readField(watch.element);
    if (!now || !replacementSucceeded(watch.issue, watch.originalText, *now))
        return;
    watch.seenInText = true;
    watch.caretBack = true;
    watch.caretSent = hold_.restoreCaret(watch, CaretRestore::ifWhereTheWriteLeftIt);
}

}  // namespace mivo
