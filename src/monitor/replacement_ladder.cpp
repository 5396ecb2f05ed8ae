// The ladder proper: a correction located where it was checked, the
// user's keys let come up and held, and the routes tried in the order the
// field is trusted with.

#include "monitor/replacement_ladder.hpp"

#include "monitor/replacement_range.hpp"
#include "monitor/replacement_routes.hpp"
#include "monitor/replacement_verification.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

using Source = FieldText::Source;

// While a replacement is pending, the text it is about to change is not
// analysed again.
constexpr double kSingleApplySuppressionSeconds = 3.0;
// A key of the user's down at Apply is let come up before the keyboard is
// held and anything written; looked at this often, this long at most.
constexpr double kKeyUpPollSeconds = 0.02;
constexpr double kKeyUpWaitSeconds = 1.0;
// A modifier is waited for longer: a user starting a capital letter holds
// Shift across a few keys. Those keys land where the user types, since
// nothing of ours is selected yet.
constexpr double kModifierUpWaitSeconds = 2.5;

}  // namespace

namespace replacement_routes {

// Where the editor's own range writes are trusted, the one that its undo
// history keeps as a single step goes first: a paste over the selection.
// Its delete-and-insert takes two undo steps, and undoing a whole-value
// write would first empty the field. Over formatted text the range edit
// goes first: it inserts behind the replaced text, so the suggestion takes
// that text's format, where a paste takes the format of whatever stands
// before the selection.
std::vector<RungTry> firstTry(const WriteRouteTrust& trust, bool wholeValue) {
    const bool pasteFirst = trust.range && !trust.formatting;
    std::vector<RungTry> tries;
    if (pasteFirst)
        tries.push_back({kSelectionPaste});
    if (!trust.range && wholeValue)
        tries.push_back({kWritableValue});
    tries.push_back({kSelectedTextAttribute});
    if (trust.range && wholeValue)
        tries.push_back({kWritableValue});
    if (!pasteFirst)
        tries.push_back({kSelectionPaste});
    tries.push_back({kSelectionTyping});
    tries.push_back({kMouseSelectionPaste});
    tries.push_back({kMouseSelectionTyping});
    return tries;
}

}  // namespace replacement_routes

std::string_view caseName(TextInsertionMethod method) {
    switch (method) {
        case TextInsertionMethod::paste:
            return "paste";
        case TextInsertionMethod::unicodeTyping:
            return "unicodeTyping";
    }
    return "paste";
}

ReplacementLadder::ReplacementLadder(ReplacementHost& host)
    : host_(host),
      input_(
          host.desktop(),
          [&host] {
              return InputTarget{host.observedElement(), host.observedFocusPid(),
                                 host.observedPid()};
          },
          [&host] { return [run = host.runToken()] { return run.isCurrent(); }; }),
      hold_(host, WriteHold::Waits{
                      .owedAnswer = [this] { return watchOwedAnAnswer(); },
                      .shows =
                          [](const WriteWatch& watch, const FieldText& now) {
                              return replacementSucceeded(watch.issue, watch.originalText, now);
                          },
                      .writeAgain =
                          [this](const std::shared_ptr<WriteWatch>& watch) {
                              host_.log("applyReplacement: the application answers again; writing");
                              std::erase_if(watches_,
                                            [&](const auto& w) { return w.lock() == watch; });
                              writeReplacement(watch->issue, watch);
                          },
                  }) {}

void ReplacementLadder::applyReplacement(const CorrectionIssue& requested) {
    // Its release would come while the keyboard is held and reach no
    // application, and the key written into the field now would land in our
    // selection or beside the correction.
    if (!hold_.holds() && hold_.keyIsDown()) {
        host_.log("applyReplacement: a key is down; waiting for it to come up");
        return waitForKeysUp(requested, host_.desktop().scheduler.now());
    }
    writeReplacement(requested);
}

void ReplacementLadder::waitForKeysUp(const CorrectionIssue& issue, TimePoint since) {
    waitingForKeysUp_ = true;
    host_.scheduleStep(
        kKeyUpPollSeconds,
        [this, issue, since] {
            const TimePoint now = host_.desktop().scheduler.now();
            if (hold_.keyIsDown() &&
                (now < since + seconds(kKeyUpWaitSeconds) ||
                 (hold_.modifierIsDown() && now < since + seconds(kModifierUpWaitSeconds))))
                return waitForKeysUp(issue, since);
            waitingForKeysUp_ = false;
            // Shift, Ctrl, Alt, Super or AltGr would go with our paste and
            // make it another shortcut, leaving our selection for the next
            // key: nothing is written, and the user is told why.
            if (hold_.modifierIsDown()) {
                host_.log(
                    "applyReplacement: a modifier key is still down; the correction is not "
                    "written");
                return hold_.end({.told = WriteHold::Unwritten{UnwrittenField::keyHeld}});
            }
            writeReplacement(issue);
        },
        [this] { waitingForKeysUp_ = false; });
}

void ReplacementLadder::writeReplacement(const CorrectionIssue& requested,
                                         std::shared_ptr<const WriteWatch> first) {
    const auto observed = host_.observedElement();
    const WriteHold::End unwritten{.told = WriteHold::Unwritten{UnwrittenField::asItWas}};
    if (!observed)
        return hold_.end(unwritten);
    const AXElement element = *observed;
    auto watch = std::make_shared<WriteWatch>(WriteWatch{.element = element});
    // From the moment of Apply, the write's own from here on: a key typed
    // while the selection is ours would replace the original, one typed
    // before the caret is back would land beside the correction, and a
    // click would move the caret or the focus under the write.
    hold_.start(watch);
    const FieldText originalText = readField(element).value_or(FieldText{});
    const auto located = locate(requested, originalText);
    if (!located)
        return hold_.end(unwritten);
    const CorrectionIssue& issue = *located;
    host_.suppressAnalysisLoop(originalText.text, kSingleApplySuppressionSeconds);

    watch->issue = issue;
    watch->originalText = originalText;
    // A selection of ours the application made late reads as the caret
    // now: the user's is the first write's.
    watch->caret = first ? first->caret : caretAround(issue, element, originalText);
    watch->keysTypedOnAtApply = first ? first->keysTypedOnAtApply : hold_.keysTypedOn();
    // Back from not answering, its application works through what waited
    // in it before our input: the hold's bound waits for what comes of it.
    watch->targetWasAway = first != nullptr;
    // Watched from now on, so that reads made while it goes in count.
    watches_.push_back(watch);
    PendingReplacement pending{.issue = issue,
                               .originalText = originalText,
                               .element = element,
                               .retry = {},
                               .watch = watch};
    const WriteRouteTrust trust = host_.desktop().accessibility.writeRouteTrust(element);
    const auto tries = replacement_routes::firstTry(
        trust, trust.wholeValue && originalText.source == Source::value);
    if (climb(pending, tries))
        return;
    host_.logUserText("applyReplacement: failed for original=\"" + issue.original + "\"");
    // A write of ours ran into its time-out: the application may still
    // make it when it runs again, and a key sent before then could land
    // inside the sentence or replace our selection. The held input waits
    // for its answer (kept out past the bound), and what went in is told
    // then; should nothing have gone in by an answer within the bound, the
    // write begins again.
    if (host_.desktop().accessibility.owesAnswer(element)) {
        watch->toldOnAnswer = true;
        return hold_.end({.write = watch.get()});
    }
    std::erase_if(watches_, [&](const auto& w) { return w.lock() == watch; });
    hold_.end({.write = watch.get(), .told = unwritten.told});
}

bool ReplacementLadder::climb(PendingReplacement& pending, std::span<const RungTry> tries,
                              const std::optional<CorrectionIssue>& at) {
    PendingReplacement written = pending;
    if (at)
        written.issue = *at;
    for (std::size_t i = 0; i < tries.size(); ++i) {
        const RungTry& t = tries[i];
        // Our input was not posted: nothing more.
        if (pending.watch->ended)
            return true;
        if (write(t.rung.method, written)) {
            started(pending, t.rung);
            return true;
        }
        if (t.ifNotStarted.empty())
            continue;
        if (i + 1 == tries.size()) {
            giveUpUnwritten(pending, t.ifNotStarted);
            return true;
        }
        host_.log(t.ifNotStarted);
    }
    return false;
}

bool ReplacementLadder::write(WriteMethod method, const PendingReplacement& pending) {
    switch (method) {
        case WriteMethod::wholeValue:
            return applyReplacementUsingWritableValue(pending);
        case WriteMethod::selectedText:
            return applyReplacementUsingSelectedTextAttribute(pending);
        case WriteMethod::selectionPaste:
            return applyReplacementUsingSelectionPaste(pending);
        case WriteMethod::selectionTyping:
            return applyReplacementUsingSelectionTyping(pending);
        case WriteMethod::mouseSelectionPaste:
            return applyReplacementUsingMouseSelection(pending, TextInsertionMethod::paste);
        case WriteMethod::mouseSelectionTyping:
            return applyReplacementUsingMouseSelection(pending, TextInsertionMethod::unicodeTyping);
    }
    return false;
}

void ReplacementLadder::started(PendingReplacement& pending, const Rung& rung) {
    pending.retry = rung.next;
    if (rung.written == Written::atOnce) {
        // The application has handled the write when the call returns:
        // read now, the field shows it before the user can undo it.
        if (const auto now = readField(pending.element))
            noteFieldText(pending.element, *now);
        hold_.end({.caretBack = {{pending.watch, rung.caret}}});
    } else {
        watchForWrite(pending, host_.desktop().scheduler.now() + seconds(rung.delay));
    }
    verifyReplacement(pending, rung.delay);
}

std::optional<CorrectionIssue> ReplacementLadder::locate(const CorrectionIssue& issue,
                                                         const FieldText& read) {
    // The issue is looked for only where what surrounded it in the checked
    // text still surrounds it; a copy of the original in another sentence
    // is never written.
    const auto& checked = host_.lastAnalyzedText();
    const auto context = checked ? issueContext(issue, checked->text) : std::nullopt;
    std::optional<int64_t> start;
    std::optional<int64_t> end;
    if (!read.text.empty()) {
        if (const auto range = replacementRange(issue, read.text, context ? &*context : nullptr)) {
            const text::CharacterText t{read.text};
            start = t.characterIndexAtUtf16(range->location);
            end = t.characterIndexAtUtf16(range->location + range->length);
        }
    }
    if (!start || !end) {
        host_.log("applyReplacement: refused — the original no longer stands where it was checked");
        return std::nullopt;
    }
    CorrectionIssue located = issue;
    located.range = TextRange{*start, *end};
    return located;
}

}  // namespace mivo
