#include "monitor/write_hold.hpp"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "field/field_focus.hpp"
#include "field/pasteboard_guard.hpp"
#include "monitor/write_watch.hpp"

namespace mivo {
namespace {

// The caret put back is looked for this often, this many times, before the
// held keys go: as long as a browser under load may take to show it.
constexpr double kCaretLookSeconds = 0.02;
constexpr int kCaretLooks = 30;
// An application that let a request go unanswered is asked this often
// whether it answers again, up to the away limit.
constexpr double kAnswerPollSeconds = 0.05;
// After the away limit, it is looked at this often, this many times, to
// take our selection back once it answers.
constexpr double kAwayLookSeconds = 0.25;
constexpr int kAwayLooks = 120;

}  // namespace

WriteHold::WriteHold(ReplacementHost& host, Waits waits) : host_(host), waits_(std::move(waits)) {}

WriteHold::~WriteHold() {
    boundStep_.cancel();
}

bool WriteHold::start(std::weak_ptr<WriteWatch> write) {
    InputHold& devices = host_.desktop().input.inputHold();
    // Its release would come while the keyboard is held and reach no
    // application: a key down now is waited for when the write begins.
    if (!devices.holding() && devices.keyIsDown())
        return false;
    // One start: the write that follows the press, or a second Apply
    // within a write, takes over the hold the press took, and its bound.
    if (devices.holding() && bound_) {
        if (!write.expired())
            write_ = std::move(write);
        return true;
    }
    // A fresh hold: a wait of one the devices ended by their own limit,
    // with the monitor stopped meanwhile, is long over.
    if (!devices.holding())
        waiting_ = answerAwaited_ = caretAwaited_ = false;
    if (!devices.hold(kLimitSeconds))
        return false;
    write_ = std::move(write);
    start_ = host_.desktop().scheduler.now();
    bound_ = start_ + seconds(kLimitSeconds);
    // One bound, the latest start's: an earlier one would end a hold
    // that a later write still needs.
    boundStep_.cancel();
    boundStep_ = host_.scheduleStep(kLimitSeconds - kEndsBeforeLimit, [this] { boundReached(); });
    // A call into a target that hangs must not hold the loop past it.
    host_.desktop().accessibility.limitCallsUntil(*bound_ - seconds(kEndsBeforeLimit));
    return true;
}

void WriteHold::boundReached() {
    if (waiting_ || !holds())
        return;
    // Ended here rather than by the devices' own limit, the same way as
    // any other end: nothing of ours stays selected, and no key goes into
    // an application that may still select text of ours.
    host_.log("applyReplacement: the hold reached its bound");
    const auto write = write_.lock();
    // Back from not answering just before, the target works through what
    // waited in it, our paste among it, which it would make wherever its
    // caret stands by then, after any key let through now; and a paste it
    // made shows, and the caret comes back, only once it has. The held
    // input waits for it, as for an application that does not answer,
    // while the clipboard's own wait for the fetch lasts; the write's
    // check ends the hold then, the correction in or its paste withdrawn.
    Desktop& desktop = host_.desktop();
    // Our input still waits for it, up to the bound itself: it goes the
    // moment the target answers, or is given up then, and either ends the
    // hold. Our selection stands for it meanwhile.
    if (write && write->targetWasAway && write->inputDue && !write->ended) {
        host_.log("applyReplacement: the hold reached its bound; our input waits for an answer");
        return awaitBeyondTheBound();
    }
    if (write && write->targetWasAway && write->pasteQueued && !write->ended) {
        host_.log(
            "applyReplacement: our paste had not shown by the hold's bound; the held keys wait "
            "for it");
        waiting_ = true;
        return awaitBeyondTheBound();
    }
    // The target answers, but has not fetched our text yet.
    if (write && write->pasteQueued && !write->shown && !write->ended &&
        !desktop.accessibility.owesAnswer(write->element) &&
        PasteboardGuard::awaitingFetch(desktop.pasteboard)) {
        // Merely slow: when it fetches, it pastes wherever its caret stands
        // by then, after the user's keys; it finds nothing to paste, and
        // the correction is not written.
        if (PasteboardGuard::withdrawPasteInFlight(
                desktop.pasteboard,
                desktop.scheduler.now() + seconds(PasteboardGuard::kWithdrawnBound))) {
            host_.log(
                "applyReplacement: the target had not taken our paste by the hold's bound; "
                "withdrawn, nothing written");
            write->ended = true;
            // Told from the field before the held input goes on into it.
            return end({.write = write.get(), .told = Unwritten{.field = fieldNow(*write)}});
        }
    }
    end({.write = write.get()});
}

void WriteHold::end(const End& end) {
    if ((answerAwaited_ || caretAwaited_) && holds()) {
        if (end.told)
            tell(end.write, *end.told);
        return;
    }
    if (end.caretBack && end.caretBack->write)
        return caretBackThenEnd(*end.caretBack);
    Accessibility& ax = host_.desktop().accessibility;
    const WriteWatch* write = end.write;
    if (end.targetAway && write) {
        // A caret request queued behind ours takes back the selection the
        // application may still make when it runs again.
        if (const auto& before = write->caret.before)
            ax.requestCaret(write->element, before->end());
    } else if (write && (end.fieldLeft || host_.observedElement() == write->element)) {
        takeBackOurSelection(ax, *write);
        if (end.fieldLeft && write->shown &&
            field_focus::keyboardFocusIsOn(host_.desktop(), write->element))
            restoreCaret(*write, CaretRestore::ifWhereTheWriteLeftIt);
    }
    if (holds()) {
        if (end.targetAway) {
            const int keptOut = release(false);
            host_.log("applyReplacement: the application did not answer for " +
                      std::to_string(static_cast<int>(kAwayLimitSeconds)) + " s; " +
                      std::to_string(keptOut) + " held keys were not sent to it");
            if (keptOut > 0)
                host_.replacementFailed(UnwrittenField::keysKeptOut);
        } else if (auto owed = waits_.owedAnswer()) {
            // A request of ours went unanswered: a key sent now could
            // replace a selection the application still makes.
            if (!std::exchange(waiting_, true)) {
                awaitBeyondTheBound();
                host_.log(
                    "applyReplacement: the application does not answer; the held keys wait for "
                    "it");
                answerAwaited_ = true;
                awaitAnswer(std::move(owed));
            }
        } else {
            release(true);
        }
    }
    if (end.told)
        tell(write, *end.told);
}

bool WriteHold::restoreCaret(const WriteWatch& write, CaretRestore when) {
    const CaretPlan& caret = write.caret;
    if (!caret.user)
        return false;
    const auto now =
        AXTextExtractor::selectedTextRange(host_.desktop().accessibility, write.element);
    if (when == CaretRestore::ifWhereTheWriteLeftIt && now != caret.afterWrite)
        return false;
    // A block without the caret may still read the range it had.
    if (caret.userElement)
        return host_.placeCaret(*caret.userElement, *caret.user) == AXError::success;
    if (now == caret.user)
        return false;
    return host_.placeCaret(write.element, *caret.user) == AXError::success;
}

void WriteHold::caretBackThenEnd(const End::CaretBack& back) {
    const auto& write = back.write;
    if (back.at)
        return endOnceCaretIsBack(write, kCaretLooks, back.at);
    // Sent back once already: the keys wait for it only while the field
    // still shows the caret where the write left it.
    if (write->caretSent) {
        if (AXTextExtractor::selectedTextRange(host_.desktop().accessibility, write->element) !=
            write->caret.afterWrite)
            return end({});
        return endOnceCaretIsBack(write, kCaretLooks);
    }
    if (!restoreCaret(*write, back.when))
        return end({});
    write->caretSent = true;
    endOnceCaretIsBack(write, kCaretLooks);
}

void WriteHold::endOnceCaretIsBack(std::shared_ptr<WriteWatch> write, int looksLeft,
                                   std::optional<Utf16Range> at) {
    // An application that takes the caret later than the keys (Chromium,
    // a busy browser) would type them where the paste left its caret,
    // then move it under them.
    const AXElement element =
        at ? write->element : write->caret.userElement.value_or(write->element);
    const auto now = AXTextExtractor::selectedTextRange(host_.desktop().accessibility, element);
    const std::optional<Utf16Range> wanted = at ? at : write->caret.user;
    if (looksLeft <= 0 || now == wanted || host_.observedElement() != write->element || !holds()) {
        caretAwaited_ = false;
        return end({});
    }
    caretAwaited_ = true;
    host_.scheduleStep(
        kCaretLookSeconds,
        [this, write = std::move(write), looksLeft, at]() mutable {
            endOnceCaretIsBack(std::move(write), looksLeft - 1, at);
        },
        // The monitor stopped: the devices go by their own limit.
        [this] { caretAwaited_ = false; });
}

void WriteHold::awaitBeyondTheBound() {
    const auto limit = awayLimit();
    if (!limit)
        return;
    // The devices stay held, and the bound's step gives way to the wait;
    // calls into applications that answer still give up in their usual
    // time, by the away limit at the latest.
    const double left =
        std::chrono::duration<double>(*limit - host_.desktop().scheduler.now()).count();
    host_.desktop().input.inputHold().hold(std::max(left, 0.0) + kEndsBeforeLimit);
    host_.desktop().accessibility.limitCallsUntil(*limit);
}

void WriteHold::awaitAnswer(std::shared_ptr<WriteWatch> write) {
    // A request of ours went unanswered: the application may still handle
    // it, and select the original, whenever it runs again, after which a
    // key sent now would replace it. Any request it answers comes after
    // ours, so the held input waits for an answer.
    Accessibility& ax = host_.desktop().accessibility;
    if (!holds())
        return answered();
    // A read it answers tells that it handled every request before it.
    host_.extractTextForAnalysis(write->element);
    if (!ax.owesAnswer(write->element)) {
        answered();
        host_.log("applyReplacement: the application answers again");
        // Our input is still on its way, and goes now: the hold ends after
        // it, as for a write that never waited.
        if (write->inputDue)
            return;
        // It may have gone on without the monitor following its field
        // meanwhile: the caret goes back wherever the field stands, after
        // the correction if it went in, before the keys follow it.
        const bool takenBack = takeBackOurSelection(ax, *write);
        const auto now = host_.extractTextForAnalysis(write->element);
        if (now && waits_.shows(*write, *now)) {
            if (write->toldOnAnswer)
                host_.replacementCompleted(now->text);
            return end({.caretBack = {{std::move(write)}}});
        }
        // A call that gave up was not its answer: back within the bound,
        // it gets the write after all, and the calls made for it give up
        // by the bound again.
        if (write->toldOnAnswer && now && now->text == write->originalText.text && bound_ &&
            host_.desktop().scheduler.now() < *bound_ - seconds(kEndsBeforeLimit) &&
            waits_.writeAgain) {
            host_.desktop().accessibility.limitCallsUntil(*bound_ - seconds(kEndsBeforeLimit));
            return waits_.writeAgain(write);
        }
        // Nothing of ours went in, or part of it late (a delete without
        // its insert): it has handled every request of ours, so the keys
        // go in where the caret is, and the user learns what the field
        // holds, from the field before the held keys go into it.
        if (write->toldOnAnswer)
            tell(write.get(), Unwritten{.field = fieldNow(*write)});
        // The held keys go where the user had the caret, once the field
        // shows it there rather than our selection.
        if (takenBack && write->caret.before)
            return end({.caretBack = {{.write = write, .at = write->caret.before}}});
        return end({});
    }
    const TimePoint now = host_.desktop().scheduler.now();
    const TimePoint limit = awayLimit().value_or(now);
    if (now + seconds(kAnswerPollSeconds) < limit) {
        host_.scheduleStep(
            kAnswerPollSeconds, [this, write = std::move(write)]() mutable { awaitAnswer(write); },
            // The monitor stopped: the devices go by their own limit.
            [this] { answered(); });
        return;
    }
    // Away that long, the held keys are given up: none goes into it, since
    // one could come between our selection, which it may still make, and
    // the caret asked for behind it.
    answerAwaited_ = false;
    end({.write = write.get(), .targetAway = true});
    // A copy: the write is over, and no later one waits on it.
    takeBackOnceAnswered(std::make_shared<WriteWatch>(*write), kAwayLooks);
}

void WriteHold::takeBackOnceAnswered(std::shared_ptr<WriteWatch> write, int looksLeft) {
    // Should the caret request not take our selection back (an editor that
    // keeps it), it is taken back as soon as the application answers.
    host_.extractTextForAnalysis(write->element);
    if (!host_.desktop().accessibility.owesAnswer(write->element)) {
        takeBackOurSelection(host_.desktop().accessibility, *write);
        return;
    }
    if (looksLeft <= 0)
        return;
    host_.scheduleStep(kAwayLookSeconds, [this, write = std::move(write), looksLeft]() mutable {
        takeBackOnceAnswered(std::move(write), looksLeft - 1);
    });
}

std::optional<TimePoint> WriteHold::awayLimit() const {
    if (!holds() || !bound_)
        return std::nullopt;
    return start_ + seconds(kAwayLimitSeconds);
}

int WriteHold::release(bool typeKeys) {
    InputHold& devices = host_.desktop().input.inputHold();
    const int keptOut = typeKeys ? (devices.release(), 0) : devices.releaseKeepingKeysOut();
    waiting_ = answerAwaited_ = caretAwaited_ = false;
    bound_.reset();
    write_.reset();
    boundStep_.cancel();
    // Calls take their usual time again once nothing waits on them.
    host_.desktop().accessibility.limitCallsUntil(std::nullopt);
    return keptOut;
}

UnwrittenField WriteHold::fieldNow(const WriteWatch& write) {
    // An application that owes us an answer reads as empty: that is not a
    // sentence typed over, and it is told as it was last seen.
    const auto now = host_.extractTextForAnalysis(write.element);
    if (now && !(now->text.empty() && host_.desktop().accessibility.owesAnswer(write.element)))
        return unwrittenField(write.originalText, *now);
    return UnwrittenField::asItWas;
}

void WriteHold::tell(const WriteWatch* write, const Unwritten& told) {
    UnwrittenField field = told.field.value_or(UnwrittenField::asItWas);
    if (!told.field && write)
        field = fieldNow(*write);
    // Nothing was sent while a modifier was down: said so, when the field
    // is as it was.
    if (field == UnwrittenField::asItWas && told.why == InputAbandoned::modifierHeld)
        field = UnwrittenField::keyHeld;
    host_.replacementFailed(field);
}

bool WriteHold::holds() const {
    return host_.desktop().input.inputHold().holding();
}

std::optional<TimePoint> WriteHold::bound() const {
    return holds() ? bound_ : std::nullopt;
}

bool WriteHold::keyIsDown() const {
    return host_.desktop().input.inputHold().keyIsDown();
}

bool WriteHold::modifierIsDown() const {
    return host_.desktop().input.inputHold().modifierIsDown();
}

uint64_t WriteHold::keysTypedOn() const {
    return host_.desktop().input.inputHold().keysTypedOn();
}

}  // namespace mivo
