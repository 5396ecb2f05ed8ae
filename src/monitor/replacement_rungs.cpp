// The ways of writing one correction, each answering whether it started:
// the whole value, the selected text, a paste or typing over our selection,
// and a paste or typing after a mouse drag.

#include "monitor/replacement_ladder.hpp"

#include <string>
#include <utility>

#include "field/ax_geometry.hpp"
#include "field/field_writes.hpp"
#include "monitor/replacement_range.hpp"
#include "shared/text.hpp"

namespace mivo {

bool ReplacementLadder::applyReplacementUsingWritableValue(const PendingReplacement& write) {
    const CorrectionIssue& issue = write.issue;
    const AXElement& element = write.element;
    using Outcome = field_writes::ValueWrite::Outcome;
    // The stored range as it is: only where the analysed text still stands
    // in the whole value.
    auto value = field_writes::writeWholeValue(
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
    switch (value.outcome) {
        case Outcome::written:
            host_.setLastPolledValue(
                FieldText{std::move(value.after), FieldText::Source::value, 0});
            host_.log("applyReplacement: wrote replacement using set_text_contents");
            return true;
        case Outcome::fragmentBacked:
            host_.log("applyReplacement: skipping set_text_contents for fragment-backed editor");
            return false;
        case Outcome::refused:
            host_.log("applyReplacement: set_text_contents failed err=" +
                      std::to_string(code(value.error)) + ", trying selection+paste");
            return false;
        case Outcome::noValue:
        case Outcome::declined:
            return false;
    }
    return false;
}

std::optional<ReplacementLadder::Selected> ReplacementLadder::selectIssue(
    const PendingReplacement& write, std::string_view logPrefix) {
    const CorrectionIssue& issue = write.issue;
    const AXElement& element = write.element;
    auto read = readField(element);
    if (!read || read->text.empty())
        return std::nullopt;
    const auto local = replacementRange(issue, read->text);
    if (!local)
        return std::nullopt;
    const Utf16Range range = inField(*local, *read);
    if (!input_.selectReplacementRange(range, issue.original, element, logPrefix))
        return std::nullopt;
    return Selected{std::move(*read), SelectedTarget{element, range, issue.original}};
}

bool ReplacementLadder::applyReplacementUsingSelectedTextAttribute(
    const PendingReplacement& write) {
    const AXElement& element = write.element;
    auto selected = selectIssue(write, "applyReplacement: delete_text+insert_text");
    if (!selected)
        return false;
    if (const AXError err = field_writes::writeSelectedText(host_.desktop().accessibility, element,
                                                            write.issue.suggestion);
        err != AXError::success) {
        host_.log("applyReplacement: delete_text+insert_text failed err=" +
                  std::to_string(code(err)));
        // The next way selects afresh; until then nothing of ours stands
        // selected for keys where the devices could not be held.
        const auto& before = write.caret().before;
        if (before && !hold_.holds())
            host_.desktop().accessibility.setAttributeValue(element, kAXSelectedTextRangeAttribute,
                                                            AXValue(*before));
        return false;
    }
    host_.setLastPolledValue(std::move(selected->read));
    host_.log("applyReplacement: wrote replacement using delete_text+insert_text");
    return true;
}

bool ReplacementLadder::applyReplacementUsingSelectionPaste(const PendingReplacement& write) {
    auto selected = selectIssue(write, "applyReplacement: selection paste");
    if (!selected)
        return false;
    // The target fetched our text: the paste landed, even if the user
    // takes it back before anything is read. The target is no longer
    // waiting for us, and the caret goes back as soon as the field shows
    // the correction, so that the held input goes on sooner.
    const bool caretAtOnce =
        host_.desktop().accessibility.writeRouteTrust(write.element).caretWhileWriting;
    selected->target.onPasted = [this, run = host_.runToken(), watch = std::weak_ptr(write.watch),
                                 caretAtOnce] {
        const auto w = watch.lock();
        if (!w)
            return;
        w->shown = true;
        if (caretAtOnce && run.isCurrent())
            caretBackOncePasted(*w);
    };
    restUntilInput(*selected, write);
    // Its check comes after the fetch or this, and still within the hold,
    // so that nothing of ours stands selected when the held input goes on.
    if (const auto bound = hold_.bound())
        selected->target.pasteTakenBy = *bound - seconds(kPasteCheckBeforeHoldEnds);
    // A target that stopped answering may still take the keystroke and
    // paste over our selection: with our text, never the user's.
    // Asked when the clipboard would be given back: our selection is taken
    // back first, and it is away when it cannot answer that.
    selected->target.targetAway = [&ax = host_.desktop().accessibility,
                                   watch = std::weak_ptr(write.watch)] {
        const auto w = watch.lock();
        if (!w)
            return false;
        takeBackOurSelection(ax, *w);
        return ax.owesAnswer(w->element);
    };
    selected->target.onPosted = [posted = std::move(selected->target.onPosted),
                                 watch = std::weak_ptr(write.watch)] {
        posted();
        if (const auto w = watch.lock())
            w->pasteQueued = true;
    };
    if (!input_.pasteTextIntoFocusedElement(write.issue.suggestion, selected->target))
        return false;
    write.watch->inputDue = true;
    host_.setLastPolledValue(std::move(selected->read));
    host_.log("applyReplacement: pasted replacement into selected AX range");
    return true;
}

bool ReplacementLadder::applyReplacementUsingSelectionTyping(const PendingReplacement& write) {
    auto selected = selectIssue(write, "applyReplacement: selection typing");
    if (!selected)
        return false;
    restUntilInput(*selected, write);
    if (!input_.typeTextIntoFocusedElement(write.issue.suggestion, selected->target))
        return false;
    write.watch->inputDue = true;
    host_.setLastPolledValue(std::move(selected->read));
    host_.log("applyReplacement: queued unicode typing into selected AX range");
    return true;
}

bool ReplacementLadder::applyReplacementUsingMouseSelection(const PendingReplacement& write,
                                                            TextInsertionMethod insertion) {
    const CorrectionIssue& issue = write.issue;
    const AXElement& element = write.element;
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

}  // namespace mivo
