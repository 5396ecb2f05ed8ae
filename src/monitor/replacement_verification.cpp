#include "monitor/replacement_verification.hpp"

#include <algorithm>
#include <utility>

#include "field/field_writes.hpp"
#include "monitor/replacement_ladder.hpp"
#include "monitor/replacement_range.hpp"
#include "monitor/replacement_routes.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

using Source = AXTextExtractor::ExtractedText::Source;

constexpr int64_t kLoggedCharacters = 60;

}  // namespace

bool replacementSucceeded(const CorrectionIssue& issue, std::string_view originalText,
                          std::string_view currentText) {
    if (currentText.empty() || text::canonicallyEqual(currentText, originalText))
        return false;
    const auto expected = expectedTextAfterReplacement(issue, originalText);
    return expected && text::canonicallyEqual(currentText, *expected);
}

bool replacementSucceeded(const CorrectionIssue& issue,
                          const AXTextExtractor::ExtractedText& originalText,
                          const AXTextExtractor::ExtractedText& currentText) {
    if (originalText.source != Source::caretWindow && currentText.source != Source::caretWindow)
        return replacementSucceeded(issue, originalText.text, currentText.text);

    // Both texts placed in the field's value: the expected text from where
    // the original window started, the current one from where it starts.
    const auto range = replacementRange(issue, originalText.text);
    const auto expected = expectedTextAfterReplacement(issue, originalText.text);
    if (currentText.text.empty() || !range || !expected)
        return false;
    const std::u16string e = text::toUtf16(*expected);
    const std::u16string c = text::toUtf16(currentText.text);
    const int64_t eStart = originalText.utf16Start;
    const int64_t cStart = currentText.utf16Start;
    const int64_t eEnd = eStart + static_cast<int64_t>(e.size());
    const int64_t cEnd = cStart + static_cast<int64_t>(c.size());

    const int64_t suggestionFrom = eStart + range->location;
    const int64_t suggestionTo = suggestionFrom + text::utf16Length(issue.suggestion);
    if (suggestionFrom < cStart || suggestionTo > cEnd)
        return false;
    const int64_t from = std::max(eStart, cStart);
    const int64_t to = std::min(eEnd, cEnd);
    return e.compare(static_cast<std::size_t>(from - eStart), static_cast<std::size_t>(to - from),
                     c, static_cast<std::size_t>(from - cStart),
                     static_cast<std::size_t>(to - from)) == 0;
}

bool replacementShows(const CorrectionIssue& issue,
                      const AXTextExtractor::ExtractedText& originalText,
                      const AXTextExtractor::ExtractedText& currentText) {
    const auto startOf = [](const AXTextExtractor::ExtractedText& t) {
        return t.source == Source::caretWindow ? t.utf16Start : 0;
    };
    if (currentText.text.empty() || (startOf(currentText) == startOf(originalText) &&
                                     text::canonicallyEqual(currentText.text, originalText.text)))
        return false;
    const auto range = replacementRange(issue, originalText.text);
    const auto expected = expectedTextAfterReplacement(issue, originalText.text);
    if (!range || !expected)
        return false;
    // Both texts placed in the field's value, as for the verification.
    const std::u16string e = text::toUtf16(*expected);
    const std::u16string o = text::toUtf16(originalText.text);
    const std::u16string c = text::toUtf16(currentText.text);
    const int64_t oStart = startOf(originalText);
    const int64_t cStart = startOf(currentText);
    const int64_t cEnd = cStart + static_cast<int64_t>(c.size());
    const int64_t issueFrom = oStart + range->location;
    const int64_t suggestionTo = issueFrom + text::utf16Length(issue.suggestion);
    const int64_t originalTo = issueFrom + range->length;
    if (issueFrom < cStart || suggestionTo > cEnd)
        return false;
    const int64_t from = std::max(oStart, cStart);
    const auto reads = [&](const std::u16string& t, int64_t to) {
        const auto count = static_cast<std::size_t>(to - from);
        return to <= cEnd && static_cast<std::size_t>(to - oStart) <= t.size() &&
               t.compare(static_cast<std::size_t>(from - oStart), count, c,
                         static_cast<std::size_t>(from - cStart), count) == 0;
    };
    // An original at least as long as the suggestion that still stands
    // there is not a write, even when it starts with the suggestion.
    if (originalTo >= suggestionTo && reads(o, originalTo))
        return false;
    return reads(e, suggestionTo);
}

std::optional<TextRange> originalStillInPlace(const CorrectionIssue& issue,
                                              const AXTextExtractor::ExtractedText& originalText,
                                              const AXTextExtractor::ExtractedText& currentText) {
    const auto range = replacementRange(issue, originalText.text);
    if (!range)
        return std::nullopt;
    // Both texts placed in the field's value, as for the verification.
    const auto startOf = [](const AXTextExtractor::ExtractedText& t) {
        return t.source == Source::caretWindow ? t.utf16Start : 0;
    };
    const std::u16string o = text::toUtf16(originalText.text);
    const std::u16string c = text::toUtf16(currentText.text);
    const int64_t oStart = startOf(originalText);
    const int64_t cStart = startOf(currentText);
    const int64_t issueFrom = oStart + range->location;
    const int64_t issueTo = issueFrom + range->length;
    if (issueFrom < cStart || issueTo > cStart + static_cast<int64_t>(c.size()))
        return std::nullopt;
    // From where both show the field up to the original's end.
    const int64_t from = std::max(oStart, cStart);
    const auto count = static_cast<std::size_t>(issueTo - from);
    if (o.compare(static_cast<std::size_t>(from - oStart), count, c,
                  static_cast<std::size_t>(from - cStart), count) != 0)
        return std::nullopt;
    const text::CharacterText t{currentText.text};
    const auto start = t.characterIndexAtUtf16(issueFrom - cStart);
    const auto end = t.characterIndexAtUtf16(issueTo - cStart);
    if (!start || !end)
        return std::nullopt;
    return TextRange{*start, *end};
}

std::optional<TextRange> misplacedReplacement(const CorrectionIssue& issue,
                                              std::string_view originalText,
                                              std::string_view currentText) {
    const auto intended = replacementRange(issue, originalText);
    if (!intended || issue.original.empty())
        return std::nullopt;
    const text::CharacterText o{std::string(originalText)};
    const int64_t length = text::characterCount(text::nfc(issue.original));
    const int64_t intendedStart = *o.characterIndexAtUtf16(intended->location);
    for (auto at = text::find(originalText, issue.original, 0); at;
         at = text::find(originalText, issue.original, *at + 1)) {
        if (*at == intendedStart)
            continue;
        const std::string written = o.str().substr(0, o.byteOffset(*at)) + issue.suggestion +
                                    o.str().substr(o.byteOffset(*at + length));
        if (text::canonicallyEqual(written, currentText))
            return TextRange{*at, *at + text::characterCount(issue.suggestion)};
    }
    return std::nullopt;
}

bool insertedElsewhere(const CorrectionIssue& issue, std::string_view originalText,
                       std::string_view currentText) {
    const std::u16string o = text::toUtf16(text::nfc(originalText));
    const std::u16string c = text::toUtf16(text::nfc(currentText));
    const std::u16string inserted = text::toUtf16(text::nfc(issue.suggestion));
    if (inserted.empty() || c.size() != o.size() + inserted.size())
        return false;
    // Up to where the two first differ, the insertion may start anywhere.
    std::size_t same = 0;
    while (same < o.size() && o[same] == c[same])
        ++same;
    for (std::size_t at = 0; at <= same; ++at) {
        if (c.compare(at, inserted.size(), inserted) == 0 &&
            c.compare(at + inserted.size(), std::u16string::npos, o, at) == 0)
            return true;
    }
    return false;
}

std::optional<TailRepair> partialReplacementTailRepair(const CorrectionIssue& issue,
                                                       std::string_view originalText,
                                                       std::string_view currentText) {
    const auto split = textAroundIssue(issue, originalText);
    if (!split)
        return std::nullopt;
    std::string expected = split->prefix + issue.suggestion + split->suffix;
    if (text::canonicallyEqual(currentText, expected))
        return std::nullopt;

    const std::string head = split->prefix + issue.suggestion;
    const text::CharacterText current{std::string(currentText)};
    const int64_t headCount = text::characterCount(head);
    const int64_t suffixCount = text::characterCount(split->suffix);
    if (!text::hasPrefix(currentText, head) || !text::hasSuffix(currentText, split->suffix) ||
        current.count() < headCount + suffixCount)
        return std::nullopt;

    const int64_t tailStart = headCount;
    const int64_t tailEnd = current.count() - suffixCount;
    if (tailStart >= tailEnd)
        return std::nullopt;
    std::string tail = current.slice(tailStart, tailEnd);
    if (!text::hasSuffix(issue.original, tail))
        return std::nullopt;

    const int64_t location = current.utf16Offset(tailStart);
    return TailRepair{Utf16Range{location, current.utf16Offset(tailEnd) - location},
                      std::move(tail), std::move(expected)};
}

// --- The check of one replacement --------------------------------------------

void ReplacementLadder::verifyReplacement(PendingReplacement pending, double delay) {
    if (pending.originalText.text.empty())
        return;
    scheduleFieldStep(
        delay, [this, pending = std::move(pending)]() mutable { check(std::move(pending)); });
}

void ReplacementLadder::leaveStrayPaste(const PendingReplacement& pending,
                                        const FieldText& current) {
    giveUp(pending,
           "applyReplacement: the target took our paste, but the field never showed the "
           "correction in its place; not written again");
    const FieldText& original = pending.originalText;
    const bool inserted = current.source == original.source &&
                          current.utf16Start == original.utf16Start &&
                          insertedElsewhere(pending.issue, original.text, current.text);
    if (inserted)
        return host_.replacementFailed(UnwrittenField::pastedElsewhere);
    hold_.tell(pending.watch.get(), {});
}

void ReplacementLadder::leaveLandedWrite(const PendingReplacement& pending,
                                         const FieldText& current) {
    const FieldText& original = pending.originalText;
    const bool undone = current.source == original.source &&
                        current.utf16Start == original.utf16Start &&
                        text::canonicallyEqual(current.text, original.text);
    if (undone)
        return giveUp(pending,
                      "applyReplacement: the correction went in and was undone since; not "
                      "written again");
    if (replacementShows(pending.issue, original, current))
        return giveUp(pending,
                      "applyReplacement: the correction went in and the text was edited on "
                      "since; left as it is");
    giveUp(pending,
           "applyReplacement: the correction went in and the text changed since; not written "
           "again");
}

void ReplacementLadder::escalate(PendingReplacement pending, const FieldText& current) {
    if (!pending.retry) {
        host_.suppressAnalysisLoop(pending.originalText.text, kGiveUpSuppressionSeconds);
        host_.logUserText("applyReplacement: verification failed after final attempt current=\"" +
                          text::characterPrefix(current.text, kLoggedCharacters) + "\"");
        hold_.tell(pending.watch.get(), {});
        return;
    }
    // Another method writes only where the original still stands as it did
    // before the first one: were it searched for afresh after a write that
    // went in (the user typed on, a tail stayed), the nearest occurrence
    // would be another one, which the user never accepted.
    const auto at = originalStillInPlace(pending.issue, pending.originalText, current);
    if (!at) {
        return giveUpUnwritten(pending,
                               "applyReplacement: verification failed, not retrying — the "
                               "original is no longer where it stood");
    }
    CorrectionIssue located = pending.issue;
    located.range = *at;
    // The caret the user has now is the one the retry gives back.
    if (userMovedCaret(pending))
        pending.watch->caret = caretAround(located, pending.element, current);
    using replacement_routes::kRetries;
    using replacement_routes::RetryStage;
    const auto stage = std::ranges::find(kRetries, *pending.retry, &RetryStage::stage);
    host_.log(stage->line);
    climb(pending, stage->tries, located);
}

void ReplacementLadder::giveUp(const PendingReplacement& pending, std::string_view line) {
    host_.suppressAnalysisLoop(pending.originalText.text, kGiveUpSuppressionSeconds);
    host_.log(line);
}

bool ReplacementLadder::putBackMisplacedWrite(const PendingReplacement& pending,
                                              const FieldText& current) {
    const FieldText& original = pending.originalText;
    // Both reads must show the same stretch of the field to be compared.
    if (current.source != original.source || current.utf16Start != original.utf16Start)
        return false;
    const auto wrong = misplacedReplacement(pending.issue, original.text, current.text);
    if (!wrong)
        return false;
    const text::CharacterText c{current.text};
    const int64_t from = c.utf16Offset(wrong->start);
    const int64_t offset = current.source == Source::caretWindow ? current.utf16Start : 0;
    const Utf16Range range{offset + from, c.utf16Offset(wrong->end) - from};
    Accessibility& ax = host_.desktop().accessibility;
    const AXElement& element = pending.element;
    // The same routes as a correction, the exact range first; a paste is
    // queued and leaves the caret to the editor.
    bool undone = false;
    bool queued = false;
    if (input_.selectReplacementRange(range, pending.issue.suggestion, element,
                                      "applyReplacement: put-back")) {
        undone = field_writes::writeSelectedText(ax, element, pending.issue.original) ==
                 AXError::success;
        queued = !undone && input_.pasteTextIntoFocusedElement(
                                pending.issue.original,
                                SelectedTarget{element, range, pending.issue.suggestion});
    }
    if (!undone && !queued && original.source == Source::value && current.source == Source::value &&
        ax.writeRouteTrust(element).wholeValue)
        undone =
            field_writes::replaceWholeValue(ax, element, current.text, original.text).written();
    if (undone && pending.caret().before)
        ax.setAttributeValue(element, kAXSelectedTextRangeAttribute,
                             AXValue(*pending.caret().before));
    host_.suppressAnalysisLoop(original.text, kGiveUpSuppressionSeconds);
    // Our own misplaced write, not the user's typing: what the field holds
    // once it is put back.
    host_.replacementFailed(UnwrittenField::asItWas);
    host_.log(undone || queued
                  ? "applyReplacement: the correction went in at another place; the text "
                    "was put back"
                  : "applyReplacement: the correction went in at another place and could "
                    "not be put back");
    return true;
}

bool ReplacementLadder::repairPartialReplacementIfNeeded(const CorrectionIssue& issue,
                                                         const FieldText& originalText,
                                                         const FieldText& currentText,
                                                         const AXElement& element) {
    const auto repair = partialReplacementTailRepair(issue, originalText.text, currentText.text);
    if (!repair)
        return false;
    Accessibility& ax = host_.desktop().accessibility;
    // The mended text is built from both reads: written as the whole value
    // only when both were whole values.
    if (originalText.source == Source::value && currentText.source == Source::value &&
        field_writes::replaceWholeValue(ax, element, currentText.text, repair->expectedText)
            .written()) {
        host_.log("applyReplacement: repaired partial replacement with set_text_contents");
        return true;
    }
    const Utf16Range range =
        currentText.source == Source::caretWindow
            ? Utf16Range{repair->range.location + currentText.utf16Start, repair->range.length}
            : repair->range;
    if (!input_.selectReplacementRange(range, repair->tail, element,
                                       "applyReplacement: partial-tail repair"))
        return false;
    if (const AXError err = field_writes::writeSelectedText(ax, element, "");
        err != AXError::success) {
        host_.log("applyReplacement: delete_text of the tail failed err=" +
                  std::to_string(code(err)) + ", posting Delete");
        return input_.deleteSelectedTextInFocusedElement(
            SelectedTarget{element, range, repair->tail});
    }
    host_.log("applyReplacement: deleted partial replacement tail using delete_text");
    return true;
}

}  // namespace mivo
