#include "tone/tone_paste_applier.hpp"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>

#include "field/ax_geometry.hpp"
#include "field/ax_text_extractor.hpp"
#include "field/field_focus.hpp"
#include "field/field_writes.hpp"
#include "field/pasteboard_guard.hpp"
#include "field/synthetic_input.hpp"
#include "platform/ax_reads.hpp"
#include "shared/text.hpp"
#include "tone/ax_selection_reader.hpp"

namespace mivo::TonePasteApplier {
namespace {

// After the paste keystroke: when the field still shows the original
// selected, the text is typed instead; a little later the clipboard goes
// back.
constexpr double kPasteCheckDelay = 0.65;
constexpr double kRestoreAfterPasteCheck = 0.25;
// The target application needs a moment to come to the front.
constexpr double kActivationDelay = 0.2;
// A drag needs a moment to settle into a selection.
constexpr double kDragDelay = 0.2;
constexpr double kPasteAfterDragDelay = 0.16;
constexpr double kDragPasteCheckDelay = 0.55;
constexpr double kRestoreAfterTyping = 0.45;

constexpr int64_t kWindow = AXSelectionReader::textWindowCharacters;

// What the delayed steps of one paste carry.
struct Paste {
    Desktop desktop;
    AXElement element;
    std::string rewritten;
    std::string original;
    std::string textBefore;  // the field's text before anything was written
    std::shared_ptr<PasteboardGuard> clipboard;
    PasteboardGuard::Hold hold;
    Done done;
};

std::string fieldText(Accessibility& ax, const AXElement& element) {
    return AXTextExtractor::extractText(ax, element, kWindow).value_or("");
}

// The rewrite shows in the field and the field changed. When the rewrite
// equals the original nothing can be told apart, and the check fails.
bool replacementSucceeded(Accessibility& ax, const AXElement& element, std::string_view original,
                          std::string_view rewritten, std::string_view textBefore) {
    const std::string now = fieldText(ax, element);
    return !now.empty() && now != textBefore && text::contains(now, rewritten) &&
           !text::canonicallyEqual(rewritten, original);
}

// The selection reads as the original, white space around it aside.
bool selectionIsOriginal(Accessibility& ax, const AXElement& element, std::string_view original) {
    const std::string wanted = text::trimWhitespaceAndNewlines(original);
    return !wanted.empty() && AXTextExtractor::selectionReadsAs(ax, element, wanted);
}

// The occurrence of the original at the caret, in the element's own UTF-16
// offsets. Static text joined from an editor's children has offsets of its
// own, which no range of the element can name.
std::optional<Utf16Range> locateOriginal(Accessibility& ax, const AXElement& element,
                                         std::string_view original) {
    const auto read = AXTextExtractor::readText(ax, element, kWindow);
    if (!read || read->text.empty() ||
        read->source == AXTextExtractor::ExtractedText::Source::staticText)
        return std::nullopt;
    const text::CharacterText chars(read->text);
    const int64_t caret = AXSelectionReader::caretIndex(ax, element, *read, chars);
    const auto found = AXTextExtractor::targetRange(original, read->text, caret);
    if (!found)
        return std::nullopt;
    return Utf16Range{found->accessibilityRange.location + read->utf16Start,
                      found->accessibilityRange.length};
}

// Selects the original through the accessibility interface, and checks that
// the field then shows it selected.
bool selectOriginal(Accessibility& ax, const AXElement& element, std::string_view original) {
    const auto range = locateOriginal(ax, element, original);
    if (!range || ax.setAttributeValue(element, kAXSelectedTextRangeAttribute, AXValue(*range)) !=
                      AXError::success)
        return false;
    return selectionIsOriginal(ax, element, original);
}

SyntheticInput events(Desktop d) {
    return SyntheticInput(d, [] { return InputTarget{}; });
}

// The rewrite stays on the clipboard for the user to paste; after 30 s the
// clipboard goes back to what it held before, unless someone copied since.
void leaveOnClipboard(const Paste& p, std::string_view reason) {
    p.desktop.scheduler.after(clipboardKeepSeconds, [clipboard = p.clipboard, hold = p.hold] {
        clipboard->release(hold);
    });
    p.done(ApplyResult::copiedToClipboard(std::string(reason)));
}

// The field shows the rewrite: the user's clipboard comes back a little
// later, once the host has surely finished reading ours.
void pasted(const Paste& p, double restoreDelay) {
    p.desktop.scheduler.after(
        restoreDelay, [clipboard = p.clipboard, hold = p.hold] { clipboard->release(hold); });
    p.done({ApplyResult::Kind::appliedPaste, {}});
}

bool shows(const Paste& p) {
    return replacementSucceeded(p.desktop.accessibility, p.element, p.original, p.rewritten,
                                p.textBefore);
}

// Typed over the original: applied once the field shows it, else the
// rewrite waits on the clipboard.
void typeThenCheck(const Paste& p, double checkDelay) {
    events(p.desktop).postUnicodeText(p.rewritten);
    p.desktop.scheduler.after(checkDelay, [p] {
        if (shows(p))
            pasted(p, 0);
        else
            leaveOnClipboard(p, pasteNotShownReason);
    });
}

// --- The rungs -------------------------------------------------------------

// The value with the occurrence of the original at the caret rewritten.
std::optional<std::string> rewrittenValue(Accessibility& ax, const AXElement& element,
                                          const std::string& value, std::string_view rewritten,
                                          std::string_view original) {
    if (value.empty())
        return std::nullopt;
    const text::CharacterText chars(value);
    const int64_t caret =
        AXSelectionReader::caretIndex(ax, element, AXTextExtractor::ExtractedText{value}, chars);
    const auto found = AXTextExtractor::targetRange(original, value, caret);
    if (!found)
        return std::nullopt;
    const auto from = text::utf16ToByteOffset(value, found->accessibilityRange.location);
    const auto to = text::utf16ToByteOffset(value, found->accessibilityRange.end());
    if (!from || !to)
        return std::nullopt;
    return value.substr(0, *from) + std::string(rewritten) + value.substr(*to);
}

bool applyWholeFieldValue(Accessibility& ax, const AXElement& element, std::string_view rewritten,
                          std::string_view original) {
    const auto write = field_writes::writeWholeValue(ax, element, [&](const std::string& value) {
        return rewrittenValue(ax, element, value, rewritten, original);
    });
    if (!write.written())
        return false;
    const auto readBack = readString(ax, element, kAXValueAttribute);
    if (!readBack)
        return false;
    // A field may tidy what it is given; but a write it ignored leaves the
    // old value, which may well contain the rewrite already.
    return *readBack == write.after ||
           (*readBack != write.before && text::contains(*readBack, rewritten));
}

bool applySelectedText(Accessibility& ax, const AXElement& element, std::string_view rewritten,
                       std::string_view original) {
    if (field_writes::isFragmentBacked(ax, element))
        return false;
    const std::string before = fieldText(ax, element);
    if (!selectionIsOriginal(ax, element, original) && !selectOriginal(ax, element, original))
        return false;
    if (field_writes::writeSelectedText(ax, element, rewritten) != AXError::success)
        return false;
    return replacementSucceeded(ax, element, original, rewritten, before);
}

// Sends the paste keystroke; `check` runs `delay` after it, but never
// while the target may still be waiting for our text: it answers no call
// then, and some targets give the paste up when kept waiting.
bool pasteThen(const Paste& p, double delay, std::function<void(const Paste&)> check) {
    const auto fetchesBefore = p.clipboard->fetchesBeforePaste();
    if (!events(p.desktop).postCommandV())
        return false;
    Scheduler& scheduler = p.desktop.scheduler;
    const TimePoint sent = scheduler.now();
    p.clipboard->afterTargetFetched(
        p.hold, scheduler, fetchesBefore,
        [p] { return fieldText(p.desktop.accessibility, p.element) != p.textBefore; },
        [p, sent, delay, check = std::move(check)] {
            Scheduler& s = p.desktop.scheduler;
            const double waited = std::chrono::duration<double>(s.now() - sent).count();
            s.after(std::max(0.0, delay - waited), [p, check] { check(p); });
        });
    return true;
}

// After the paste keystroke: when the paste did not take and the original
// is still selected, type the rewrite over it.
void checkPaste(const Paste& p) {
    if (shows(p)) {
        pasted(p, kRestoreAfterPasteCheck);
        return;
    }
    if (field_focus::keyboardFocusIsOn(p.desktop, p.element) &&
        selectionIsOriginal(p.desktop.accessibility, p.element, p.original)) {
        typeThenCheck(p, kRestoreAfterPasteCheck);
        return;
    }
    leaveOnClipboard(p, pasteNotShownReason);
}

bool applyPaste(Desktop d, const AXElement& element, std::string_view rewritten,
                std::string_view original, const Done& done) {
    Accessibility& ax = d.accessibility;
    const std::string before = fieldText(ax, element);
    if (!selectionIsOriginal(ax, element, original) && !selectOriginal(ax, element, original))
        return false;
    auto clipboard = PasteboardGuard::of(d.pasteboard);
    const auto hold = clipboard->putText(rewritten);
    if (!hold)
        return false;
    const Paste p{d,     element, std::string(rewritten), std::string(original), before, clipboard,
                  *hold, done};
    if (field_focus::keyboardFocusIsOn(d, element)) {
        if (!pasteThen(p, kPasteCheckDelay, checkPaste)) {
            clipboard->release(*hold);
            return false;
        }
        return true;
    }
    // Once the application is in front, paste only while the original is
    // still what its field shows selected.
    field_focus::activateApplicationOf(d, element);
    d.scheduler.after(kActivationDelay, [p] {
        if (!field_focus::keyboardFocusIsOn(p.desktop, p.element)) {
            leaveOnClipboard(p, hostNotInFrontReason);
            return;
        }
        if (!selectionIsOriginal(p.desktop.accessibility, p.element, p.original)) {
            leaveOnClipboard(p, selectionMovedReason);
            return;
        }
        if (!pasteThen(p, kPasteCheckDelay, checkPaste))
            leaveOnClipboard(p, pasteNotShownReason);
    });
    return true;
}

// Drags across the original's rectangle, then runs `then` if the drag
// selected the original in the focused field; else leaves the rewrite on
// the clipboard.
void dragThen(const Paste& p, Rect rect, std::function<void(const Paste&)> then) {
    if (!field_focus::applicationIsInFront(p.desktop, p.element)) {
        leaveOnClipboard(p, hostNotInFrontReason);
        return;
    }
    if (!events(p.desktop).postMouseDragSelection(rect)) {
        leaveOnClipboard(p, dragMissedReason);
        return;
    }
    p.desktop.scheduler.after(kPasteAfterDragDelay, [p, then = std::move(then)] {
        // A rectangle gone stale selects something else, or nothing.
        if (!field_focus::keyboardFocusIsOn(p.desktop, p.element) ||
            !selectionIsOriginal(p.desktop.accessibility, p.element, p.original)) {
            leaveOnClipboard(p, dragMissedReason);
            return;
        }
        then(p);
    });
}

bool applyMouseSelectionPaste(Desktop d, const AXElement& element, std::string_view rewritten,
                              std::string_view original, const Done& done) {
    Accessibility& ax = d.accessibility;
    const auto rect = AXTextExtractor::boundsForTargetText(ax, d.screens, original, element);
    if (!rect)
        return false;
    const std::string before = fieldText(ax, element);
    auto clipboard = PasteboardGuard::of(d.pasteboard);
    const auto hold = clipboard->putText(rewritten);
    if (!hold)
        return false;
    const Paste p{d,     element, std::string(rewritten), std::string(original), before, clipboard,
                  *hold, done};
    field_focus::activateApplicationOf(d, element);
    d.scheduler.after(kDragDelay, [p, rect = *rect] {
        dragThen(p, rect, [rect](const Paste& p) {
            const bool sent = pasteThen(p, kDragPasteCheckDelay, [rect](const Paste& p) {
                if (shows(p)) {
                    pasted(p, 0);
                    return;
                }
                // The paste did not take: select again and type.
                dragThen(p, rect, [](const Paste& p) { typeThenCheck(p, kRestoreAfterTyping); });
            });
            if (!sent)
                leaveOnClipboard(p, pasteNotShownReason);
        });
    });
    return true;
}

}  // namespace

void apply(Desktop desktop, std::string_view rewrittenText, std::string_view originalText,
           std::optional<AXElement> targetElement, Done done) {
    using Kind = ApplyResult::Kind;
    if (!done)
        done = [](const ApplyResult&) {};
    if (targetElement && !targetElement->isNull()) {
        Accessibility& ax = desktop.accessibility;
        const AXElement& element = *targetElement;
        ax.setAttributeValue(element, kAXFocusedAttribute, AXValue(true));
        if (applyWholeFieldValue(ax, element, rewrittenText, originalText)) {
            done({Kind::appliedNative, {}});
            return;
        }
        if (applySelectedText(ax, element, rewrittenText, originalText)) {
            done({Kind::appliedSelectedText, {}});
            return;
        }
        if (applyPaste(desktop, element, rewrittenText, originalText, done) ||
            applyMouseSelectionPaste(desktop, element, rewrittenText, originalText, done))
            return;
    }
    // Without the field there is nothing to paste into: a paste would land
    // wherever the focus happens to be.
    auto clipboard = PasteboardGuard::of(desktop.pasteboard);
    if (const auto hold = clipboard->putText(rewrittenText)) {
        desktop.scheduler.after(clipboardKeepSeconds,
                                [clipboard, hold = *hold] { clipboard->release(hold); });
    }
    done(ApplyResult::copiedToClipboard(std::string(copiedToClipboardReason)));
}

}  // namespace mivo::TonePasteApplier
