// The ladder proper: a correction located where it was checked, the
// user's keys let come up and held, and the routes tried in the order the
// field is trusted with.

#include "monitor/replacement_ladder.hpp"

#include "monitor/replacement_range.hpp"
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

// Whether a rung's write is in the field when its call returns, or input
// queued for later.
enum class Written { atOnce, queued };

// Each rung's delay before its check, what that check tries next, and, for
// a write that is in at once, when the caret goes back.
struct Rung {
    double delay;
    std::optional<ReplacementRetry> next;
    Written written = Written::queued;
    CaretRestore caret = CaretRestore::ifWhereTheWriteLeftIt;
};
// A whole value written leaves the caret wherever the editor puts it.
constexpr Rung kWritableValue{0.2, std::nullopt, Written::atOnce, CaretRestore::always};
constexpr Rung kSelectedTextAttribute{0.35, ReplacementRetry::selectionTyping, Written::atOnce};
constexpr Rung kSelectionPaste{0.95, ReplacementRetry::selectionTyping};
constexpr Rung kSelectionTyping{1.05, ReplacementRetry::mouseSelectionPaste};
constexpr Rung kMouseSelectionPaste{1.25, ReplacementRetry::mouseSelectionTyping};
constexpr Rung kMouseSelectionTyping{1.25, std::nullopt};

}  // namespace

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
          [&host] { return [run = host.runToken()] { return run.isCurrent(); }; }) {}

void ReplacementLadder::applyReplacement(const CorrectionIssue& requested) {
    KeyboardHold& keys = host_.desktop().input.keyboardHold();
    // Its release would come while the keyboard is held and reach no
    // application, and the key written into the field now would land in our
    // selection or beside the correction.
    if (!keys.holding() && keys.keyIsDown()) {
        host_.log("applyReplacement: a key is down; waiting for it to come up");
        return waitForKeysUp(requested,
                             host_.desktop().scheduler.now() + seconds(kKeyUpWaitSeconds));
    }
    writeReplacement(requested);
}

void ReplacementLadder::waitForKeysUp(const CorrectionIssue& issue, TimePoint until) {
    waitingForKeysUp_ = true;
    host_.scheduleStep(
        kKeyUpPollSeconds,
        [this, issue, until] {
            Desktop& d = host_.desktop();
            if (d.input.keyboardHold().keyIsDown() && d.scheduler.now() < until)
                return waitForKeysUp(issue, until);
            waitingForKeysUp_ = false;
            writeReplacement(issue);
        },
        [this] { waitingForKeysUp_ = false; });
}

void ReplacementLadder::writeReplacement(const CorrectionIssue& requested) {
    const auto observed = host_.observedElement();
    if (!observed) {
        letKeysGo();
        host_.replacementFailed(UnwrittenField::asItWas);
        return;
    }
    // From the moment of Apply: a key typed while the selection is ours
    // would replace the original, one typed before the caret is back would
    // land beside the correction.
    host_.desktop().input.keyboardHold().hold(kKeyboardHoldLimitSeconds);
    const AXElement element = *observed;
    const FieldText originalText = readField(element).value_or(FieldText{});
    const auto located = locate(requested, originalText);
    if (!located) {
        letKeysGo();
        host_.replacementFailed(UnwrittenField::asItWas);
        return;
    }
    const CorrectionIssue& issue = *located;
    host_.suppressAnalysisLoop(originalText.text, kSingleApplySuppressionSeconds);

    Accessibility& ax = host_.desktop().accessibility;
    auto watch = std::make_shared<WriteWatch>(WriteWatch{element, issue, originalText});
    watch->caret = caretAround(issue, element, originalText);
    PendingReplacement pending{.issue = issue,
                               .originalText = originalText,
                               .element = element,
                               .retry = {},
                               .watch = watch};
    writing_ = pending.watch;
    const auto started = [&](const Rung& rung) {
        writing_.reset();
        // Watched from now on, so that the read below counts.
        watches_.push_back(pending.watch);
        pending.retry = rung.next;
        if (rung.written == Written::atOnce) {
            // The application has handled the write when the call returns:
            // read now, the field shows it before the user can undo it.
            if (const auto now = readField(element))
                noteFieldText(element, *now);
            restoreCaret(*pending.watch, rung.caret);
            letKeysGo();
        } else {
            watchForWrite(pending, host_.desktop().scheduler.now() + seconds(rung.delay));
        }
        verifyReplacement(pending, rung.delay);
    };
    // Where the editor's own range writes are trusted, the one that its undo
    // history keeps as a single step goes first: a paste over the selection.
    // Its delete-and-insert takes two undo steps, and undoing a whole-value
    // write would first empty the field.
    const WriteRouteTrust trust = ax.writeRouteTrust(element);
    const bool wholeValue = trust.wholeValue && originalText.source == Source::value;
    // Over formatted text the range edit goes first: it inserts behind the
    // replaced text, so the suggestion takes that text's format, where a
    // paste takes the format of whatever stands before the selection.
    const bool pasteFirst = trust.range && !trust.formatting;
    if (pasteFirst && applyReplacementUsingSelectionPaste(issue, element))
        return started(kSelectionPaste);
    if (!trust.range && wholeValue && applyReplacementUsingWritableValue(issue, element))
        return started(kWritableValue);
    if (applyReplacementUsingSelectedTextAttribute(issue, element))
        return started(kSelectedTextAttribute);
    if (trust.range && wholeValue && applyReplacementUsingWritableValue(issue, element))
        return started(kWritableValue);
    if (!pasteFirst && applyReplacementUsingSelectionPaste(issue, element))
        return started(kSelectionPaste);
    if (applyReplacementUsingSelectionTyping(issue, element))
        return started(kSelectionTyping);
    if (applyReplacementUsingMouseSelection(issue, element, TextInsertionMethod::paste))
        return started(kMouseSelectionPaste);
    if (applyReplacementUsingMouseSelection(issue, element, TextInsertionMethod::unicodeTyping))
        return started(kMouseSelectionTyping);
    writing_.reset();
    letKeysGo(&pending);
    host_.logUserText("applyReplacement: failed for original=\"" + issue.original + "\"");
    host_.replacementFailed(UnwrittenField::asItWas);
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
