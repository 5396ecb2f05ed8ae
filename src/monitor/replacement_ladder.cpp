#include "monitor/replacement_ladder.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "field/ax_geometry.hpp"
#include "field/field_writes.hpp"
#include "field/pasteboard_guard.hpp"
#include "monitor/replacement_range.hpp"
#include "monitor/replacement_verification.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

using Source = FieldText::Source;

// While a replacement is pending, the text it is about to change is not
// analysed again.
constexpr double kSingleApplySuppressionSeconds = 3.0;
constexpr double kBatchSuppressionSeconds = 1.0;
// While a correction goes in, the user's keys are held (they would land in
// our selection or beside the correction), at most this long whatever
// happens; the field is looked at this often to let them go, with the caret
// back, as soon as it shows the correction.
constexpr double kKeyboardHoldLimitSeconds = 2.5;
constexpr double kWritePollSeconds = 0.05;
// A key of the user's down at Apply is let come up before the keyboard is
// held and anything written; looked at this often, this long at most.
constexpr double kKeyUpPollSeconds = 0.02;
constexpr double kKeyUpWaitSeconds = 1.0;
// A whole-value write of several issues is read back this much later.
constexpr double kBatchReadBackSeconds = 0.15;

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

// The issues as one: the stretch of `text` from the first issue's start to
// the last one's end, and that stretch with every suggestion in it.
std::optional<CorrectionIssue> spanningIssue(const std::vector<CorrectionIssue>& issues,
                                             std::string_view text) {
    int64_t start = issues.front().range.start;
    int64_t end = issues.front().range.end;
    for (const auto& issue : issues) {
        start = std::min(start, issue.range.start);
        end = std::max(end, issue.range.end);
    }
    const text::CharacterText t{std::string(text)};
    if (start < 0 || end > t.count() || start >= end)
        return std::nullopt;
    std::vector<CorrectionIssue> within = issues;
    for (auto& issue : within)
        issue.range = TextRange{issue.range.start - start, issue.range.end - start};
    CorrectionIssue span = issues.front();
    span.original = t.slice(start, end);
    const auto suggestion = replacingAll(within, span.original);
    if (!suggestion)
        return std::nullopt;
    span.suggestion = *suggestion;
    span.range = TextRange{start, end};
    return span;
}

FieldText wholeValue(std::string text) {
    return FieldText{std::move(text), Source::value, 0};
}

// A range found in a text read from the field, as a range of the field's
// value: a window of the units before the caret starts further on.
Utf16Range inField(Utf16Range local, const FieldText& read) {
    if (read.source == Source::caretWindow)
        local.location += read.utf16Start;
    return local;
}

// The user's selection after `written` (field units) was replaced by
// `inserted` units: unchanged before it, moved by the change in length
// after it, after the suggestion when it was inside.
Utf16Range caretMovedByWrite(Utf16Range selection, Utf16Range written, int64_t inserted) {
    if (selection.end() <= written.location)
        return selection;
    if (selection.location >= written.end())
        return Utf16Range{selection.location + inserted - written.length, selection.length};
    return Utf16Range{written.location + inserted, 0};
}

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
    return caret;
}

void ReplacementLadder::holdKeysForApply() {
    KeyboardHold& keys = host_.desktop().input.keyboardHold();
    // A key down now is waited for when the correction is asked for.
    if (!keys.holding() && keys.keyIsDown())
        return;
    keys.hold(kKeyboardHoldLimitSeconds);
}

void ReplacementLadder::applyPressCancelled() {
    if (!writeOnItsWay())
        letKeysGo();
}

bool ReplacementLadder::writeOnItsWay() {
    std::erase_if(watches_, [](const auto& w) { return w.expired(); });
    return waitingForKeysUp_ || writing_ != nullptr || !watches_.empty();
}

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

bool ReplacementLadder::isWatching(const AXElement& element) {
    std::erase_if(watches_, [](const auto& w) { return w.expired(); });
    return std::ranges::any_of(watches_, [&](const auto& w) {
        const auto watch = w.lock();
        return watch && !watch->shown && watch->element == element;
    });
}

void ReplacementLadder::noteFieldText(const AXElement& element, const FieldText& text) {
    const auto note = [&](WriteWatch& watch) {
        if (!watch.seenInText && watch.element == element &&
            replacementShows(watch.issue, watch.originalText, text))
            watch.shown = watch.seenInText = true;
    };
    for (const auto& w : watches_) {
        if (const auto watch = w.lock())
            note(*watch);
    }
    if (writing_)
        note(*writing_);
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

void ReplacementLadder::scheduleFieldStep(double seconds, std::function<void()> step) {
    host_.scheduleStep(seconds, [this, step = std::move(step)]() mutable {
        if (PasteboardGuard::pasteInFlight(host_.desktop().pasteboard)) {
            scheduleFieldStep(PasteboardGuard::kFetchPollInterval, std::move(step));
            return;
        }
        step();
    });
}

void ReplacementLadder::watchForWrite(PendingReplacement pending, TimePoint until) {
    scheduleFieldStep(kWritePollSeconds, [this, pending = std::move(pending), until]() mutable {
        // The user went elsewhere: the keys follow the user.
        if (host_.observedElement() != pending.element)
            return letKeysGo();
        const auto now = readField(pending.element);
        if (now)
            noteFieldText(pending.element, *now);
        if (now && replacementSucceeded(pending.issue, pending.originalText, *now)) {
            restoreCaret(*pending.watch, CaretRestore::ifWhereTheWriteLeftIt);
            return letKeysGo();
        }
        // The field showed the correction and reads as before it again: the
        // user took it back, and where the caret stands now is the user's
        // doing. (A field between a paste's delete and its insert reads as
        // neither, and the keys wait on.)
        if (pending.watch->seenInText && now && now->text == pending.originalText.text)
            return letKeysGo();
        // From then on the check decides.
        if (host_.desktop().scheduler.now() < until)
            watchForWrite(std::move(pending), until);
    });
}

void ReplacementLadder::letKeysGo(const PendingReplacement* pending) {
    if (pending && host_.observedElement() == pending->element)
        putBackUserCaret(*pending);
    KeyboardHold& keys = host_.desktop().input.keyboardHold();
    if (keys.holding())
        keys.release();
}

void ReplacementLadder::putBackUserCaret(const PendingReplacement& pending) {
    const auto& before = pending.caret().before;
    if (!before)
        return;
    Accessibility& ax = host_.desktop().accessibility;
    const auto now = AXTextExtractor::selectedTextRange(ax, pending.element);
    if (now && now->length > 0 && now != before &&
        AXTextExtractor::selectionReadsAs(ax, pending.element, pending.issue.original))
        ax.setAttributeValue(pending.element, kAXSelectedTextRangeAttribute, AXValue(*before));
}

bool ReplacementLadder::userMovedCaret(const PendingReplacement& pending) {
    Accessibility& ax = host_.desktop().accessibility;
    const auto now = AXTextExtractor::selectedTextRange(ax, pending.element);
    return now && now != pending.caret().before &&
           !(now->length > 0 &&
             AXTextExtractor::selectionReadsAs(ax, pending.element, pending.issue.original));
}

void ReplacementLadder::giveUpUnwritten(const PendingReplacement& pending, std::string_view line) {
    giveUp(pending, line);
    reportUnwritten(pending);
}

void ReplacementLadder::restUntilInput(Selected& selected) {
    const AXElement& element = selected.target.element;
    selected.target.onAbandoned = [this, watch = std::weak_ptr(writing_)] {
        if (const auto w = watch.lock())
            w->interrupted = true;
        // The keys follow the user's click or typing at once.
        letKeysGo();
    };
    // Keys that no hold stops (an on-screen keyboard, a dictation tool, a
    // remote desktop: the XTest device) would replace our selection: it
    // stands only for the moment of the input, selected again then. Where
    // a caret put back over a selection lands at the field's start now and
    // then (Chromium), it stands while the user's keys are held.
    Accessibility& ax = host_.desktop().accessibility;
    if (!ax.writeRouteTrust(element).caretWhileWriting &&
        host_.desktop().input.keyboardHold().holding())
        return;
    // The caret as read before any selection of ours: some editors answer
    // a selection just made (or undone) only a moment later.
    const auto before = selected.before;
    if (before && ax.setAttributeValue(element, kAXSelectedTextRangeAttribute, AXValue(*before)) ==
                      AXError::success)
        selected.target.restingCaret = before;
}

void ReplacementLadder::caretBackOncePasted(WriteWatch& watch) {
    if (host_.observedElement() != watch.element || watch.caretBack)
        return;
    const auto now = readField(watch.element);
    if (!now || !replacementSucceeded(watch.issue, watch.originalText, *now))
        return;
    watch.seenInText = true;
    watch.caretBack = true;
    restoreCaret(watch, CaretRestore::ifWhereTheWriteLeftIt);
}

void ReplacementLadder::restoreCaret(const WriteWatch& watch, CaretRestore when) {
    const CaretPlan& caret = watch.caret;
    if (!caret.user)
        return;
    Accessibility& ax = host_.desktop().accessibility;
    const auto now = AXTextExtractor::selectedTextRange(ax, watch.element);
    if (now == caret.user ||
        (when == CaretRestore::ifWhereTheWriteLeftIt && now != caret.afterWrite))
        return;
    ax.setAttributeValue(watch.element, kAXSelectedTextRangeAttribute, AXValue(*caret.user));
}

bool ReplacementLadder::applyReplacementUsingWritableValue(const CorrectionIssue& issue,
                                                           const AXElement& element) {
    using Outcome = field_writes::ValueWrite::Outcome;
    // The stored range as it is: only where the analysed text still stands
    // in the whole value.
    auto write = field_writes::writeWholeValue(
        host_.desktop().accessibility, element,
        [&](const std::string& value) -> std::optional<std::string> {
            const text::CharacterText t{value};
            const TextRange r = issue.range;
            if (r.start < 0 || r.end < r.start || t.count() < r.end ||
                !text::canonicallyEqual(t.sliceView(r.start, r.end), issue.original))
                return std::nullopt;
            return t.str().substr(0, t.byteOffset(r.start)) + issue.suggestion +
                   t.str().substr(t.byteOffset(r.end));
        });
    switch (write.outcome) {
        case Outcome::written:
            host_.setLastPolledValue(wholeValue(std::move(write.after)));
            host_.log("applyReplacement: wrote replacement using set_text_contents");
            return true;
        case Outcome::fragmentBacked:
            host_.log("applyReplacement: skipping set_text_contents for fragment-backed editor");
            return false;
        case Outcome::refused:
            host_.log("applyReplacement: set_text_contents failed err=" +
                      std::to_string(code(write.error)) + ", trying selection+paste");
            return false;
        case Outcome::noValue:
        case Outcome::declined:
            return false;
    }
    return false;
}

std::optional<ReplacementLadder::Selected> ReplacementLadder::selectIssue(
    const CorrectionIssue& issue, const AXElement& element, std::string_view logPrefix) {
    auto read = readField(element);
    if (!read || read->text.empty())
        return std::nullopt;
    const auto local = replacementRange(issue, read->text);
    if (!local)
        return std::nullopt;
    const Utf16Range range = inField(*local, *read);
    // The caret as the user has it, before any selection of ours.
    const auto before = writing_ ? writing_->caret.before : std::nullopt;
    if (!input_.selectReplacementRange(range, issue.original, element, logPrefix))
        return std::nullopt;
    return Selected{std::move(*read), SelectedTarget{element, range, issue.original}, before};
}

bool ReplacementLadder::applyReplacementUsingSelectedTextAttribute(const CorrectionIssue& issue,
                                                                   const AXElement& element) {
    auto selected = selectIssue(issue, element, "applyReplacement: delete_text+insert_text");
    if (!selected)
        return false;
    if (const AXError err = field_writes::writeSelectedText(host_.desktop().accessibility, element,
                                                            issue.suggestion);
        err != AXError::success) {
        host_.log("applyReplacement: delete_text+insert_text failed err=" +
                  std::to_string(code(err)));
        // The next way selects afresh; until then nothing of ours stands
        // selected for keys that no hold stops.
        if (selected->before && !host_.desktop().input.keyboardHold().holding())
            host_.desktop().accessibility.setAttributeValue(element, kAXSelectedTextRangeAttribute,
                                                            AXValue(*selected->before));
        return false;
    }
    host_.setLastPolledValue(std::move(selected->read));
    host_.log("applyReplacement: wrote replacement using delete_text+insert_text");
    return true;
}

bool ReplacementLadder::applyReplacementUsingSelectionPaste(const CorrectionIssue& issue,
                                                            const AXElement& element) {
    auto selected = selectIssue(issue, element, "applyReplacement: selection paste");
    if (!selected)
        return false;
    if (writing_) {
        // The target fetched our text: the paste landed, even if the user
        // takes it back before anything is read. The target is no longer
        // waiting for us, and the caret goes back as soon as the field shows
        // the correction: keys that no hold stops land where the user was.
        const bool caretAtOnce =
            host_.desktop().accessibility.writeRouteTrust(element).caretWhileWriting;
        selected->target.onPasted = [this, run = host_.runToken(), watch = std::weak_ptr(writing_),
                                     caretAtOnce] {
            const auto w = watch.lock();
            if (!w)
                return;
            w->shown = true;
            if (caretAtOnce && run.isCurrent())
                caretBackOncePasted(*w);
        };
    }
    restUntilInput(*selected);
    if (!input_.pasteTextIntoFocusedElement(issue.suggestion, selected->target))
        return false;
    host_.setLastPolledValue(std::move(selected->read));
    host_.log("applyReplacement: pasted replacement into selected AX range");
    return true;
}

bool ReplacementLadder::applyReplacementUsingSelectionTyping(const CorrectionIssue& issue,
                                                             const AXElement& element) {
    auto selected = selectIssue(issue, element, "applyReplacement: selection typing");
    if (!selected)
        return false;
    restUntilInput(*selected);
    if (!input_.typeTextIntoFocusedElement(issue.suggestion, selected->target))
        return false;
    host_.setLastPolledValue(std::move(selected->read));
    host_.log("applyReplacement: queued unicode typing into selected AX range");
    return true;
}

bool ReplacementLadder::applyReplacementUsingMouseSelection(const CorrectionIssue& issue,
                                                            const AXElement& element,
                                                            TextInsertionMethod insertion) {
    auto read = readField(element);
    if (!read || read->text.empty())
        return false;
    const auto range = replacementRange(issue, read->text);
    if (!range)
        return false;
    const text::CharacterText t{read->text};
    const auto start = t.characterIndexAtUtf16(range->location);
    const auto end = t.characterIndexAtUtf16(range->end());
    if (!start || !end)
        return false;
    Desktop& d = host_.desktop();
    const auto rect = AXTextExtractor::boundsForFragmentBackedRange(d.accessibility, d.screens,
                                                                    *start, *end - *start, element);
    if (!rect)
        return false;
    const bool queued =
        insertion == TextInsertionMethod::unicodeTyping
            ? input_.typeTextIntoRect(issue.suggestion, *rect, issue.original, element)
            : input_.pasteTextIntoRect(issue.suggestion, *rect, issue.original, element);
    if (!queued)
        return false;
    host_.setLastPolledValue(std::move(*read));
    host_.log("applyReplacement: selected text by mouse drag and queued " +
              std::string(caseName(insertion)));
    return true;
}

void ReplacementLadder::applyReplacements(const std::vector<CorrectionIssue>& issues) {
    const auto observed = host_.observedElement();
    if (!observed)
        return;
    const AXElement element = *observed;
    std::vector<CorrectionIssue> kept;
    for (const auto& issue : issues) {
        if (!text::canonicallyEqual(issue.suggestion, issue.original))
            kept.push_back(issue);
    }
    if (kept.empty())
        return;

    // A text read around the caret is only part of the field: written back
    // as the whole value it would cut off the rest.
    Accessibility& ax = host_.desktop().accessibility;
    const FieldText read = readField(element).value_or(FieldText{});
    const bool asChecked =
        !read.text.empty() && read.source == Source::value && readsAsChecked(read, kept);
    const WriteRouteTrust trust = ax.writeRouteTrust(element);
    // Where the editor's range writes are trusted, the stretch from the
    // first issue to the last goes in as one range edit: one step in its
    // undo history, where a whole-value write would first empty the field.
    // Not over formatted text, which would come back plain.
    if (asChecked && trust.range && !trust.formatting) {
        if (const auto span = spanningIssue(kept, read.text)) {
            host_.log("applyReplacements: " + std::to_string(kept.size()) +
                      " replacements as one range edit");
            return applyReplacement(*span);
        }
    }
    const auto newText =
        asChecked && trust.wholeValue ? replacingAll(kept, read.text) : std::nullopt;
    if (!newText)
        return applyReplacement(kept.front());
    const auto write = field_writes::writeWholeValue(
        ax, element, [&](const std::string& value) -> std::optional<std::string> {
            if (value != read.text)
                return std::nullopt;
            // Not analysed again while the write is on its way.
            host_.suppressAnalysisLoop(read.text, kBatchSuppressionSeconds);
            return newText;
        });
    if (write.outcome == field_writes::ValueWrite::Outcome::refused) {
        host_.log("applyReplacements: set_text_contents failed err=" +
                  std::to_string(code(write.error)) + ", applying first issue only");
        return applyReplacement(kept.front());
    }
    if (!write.written())
        return applyReplacement(kept.front());
    host_.setLastPolledValue(wholeValue(*newText));
    host_.closeAnalysisSuppression();
    host_.log("applyReplacements: wrote " + std::to_string(kept.size()) +
              " replacements using set_text_contents");
    host_.scheduleStep(kBatchReadBackSeconds, [this, element, written = *newText] {
        // Reported for checking again only when the field shows what was
        // written; a field that ignored or changed the write is not.
        const auto now = host_.observedElement() == element ? readField(element) : std::nullopt;
        if (!now || now->text != written) {
            host_.log("applyReplacements: field does not read as written; not reported");
            return;
        }
        host_.setLastAnalyzedText(*now);
        host_.replacementCompleted(now->text);
    });
}

bool ReplacementLadder::readsAsChecked(const FieldText& read,
                                       const std::vector<CorrectionIssue>& issues) {
    const auto& checked = host_.lastAnalyzedText();
    if (!checked || checked->source != Source::value)
        return false;
    int64_t end = 0;
    for (const auto& issue : issues)
        end = std::max(end, issue.range.end);
    const text::CharacterText t{checked->text};
    return end <= t.count() && std::string_view(read.text).starts_with(t.sliceView(0, end));
}

}  // namespace mivo
