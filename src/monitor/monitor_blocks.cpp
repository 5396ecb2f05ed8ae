// A document of blocks: a browser's rich-text field once Return made a
// block of each line, Writer's paragraphs, an HTML message. The line the
// user writes in is a block of its own inside it, and that block is the
// field followed; the blocks left keep their checks and their boxes.

#include <string_view>
#include <utility>

#include "monitor/accessibility_monitor.hpp"
#include "platform/ax_reads.hpp"

namespace mivo {
namespace {

// U+FFFC stands in a field's own text for each block or inline object.
constexpr std::string_view kObjectReplacement = "\xEF\xBF\xBC";
// A write that never reports its end (its check gave up) is over by then.
constexpr double kUserCaretBackSeconds = 3.5;

}  // namespace

bool AccessibilityMonitor::followBlockWithCaretInstead(const FieldText& text) {
    // A block followed for its caret never holds the focus itself: only the
    // field that does can turn into blocks under the caret (a browser's
    // rich text whose first Return made a block of each line).
    if (!observedElement_ || !observedHeldFocus_ ||
        text.text.find(kObjectReplacement) == std::string_view::npos)
        return false;
    const auto focused = searchFocusedField();
    if (!focused || focused == observedElement_)
        return false;
    log("observe: the caret is in a block inside the field — following the block");
    scheduleStep(0, [this, element = *observedElement_] {
        if (isMonitoring() && observedElement_ == element)
            handleFocusChanged();
    });
    return true;
}

bool AccessibilityMonitor::caretMovedWithinDocument(const std::optional<AXElement>& focused) {
    if (!focused || !observedElement_ || focused == observedElement_)
        return false;
    const auto document = DocumentBlocks::documentOf(ports_.accessibility, *focused);
    if (!document)
        return false;
    // Either the document whose block was followed, or the document itself
    // followed as a whole until Return made blocks of it.
    return document == blocks_.document() || document == observedElement_;
}

void AccessibilityMonitor::followWithinDocument(const AXElement& block) {
    // The check of the block left runs when the user's pause comes, for
    // that block, wherever the caret is by then.
    if (debounceWork_ && !debounceWork_.isCancelled()) {
        if (!blocks_.document())
            blocks_.follow(*observedElement_);
        blocks_.keepPendingCheck(*observedElement_, std::exchange(debounceWork_, Cancel()));
    }
    observeFocusedElement(std::optional<std::optional<AXElement>>(block));
    notifyFieldMayHaveMoved();
}

void AccessibilityMonitor::noteDocumentOf(const AXElement& element) {
    if (observedHeldFocus_) {
        // The document itself, its caret in its own text beside its
        // blocks: still the same document. Any other focused field is not.
        if (blocks_.document() != element)
            blocks_.forget();
        return;
    }
    if (const auto document = DocumentBlocks::documentOf(ports_.accessibility, element))
        blocks_.follow(*document);
    else
        blocks_.forget();
}

uint64_t AccessibilityMonitor::blockNumberOf(const AXElement& element) {
    return blocks_.document() ? blocks_.numberOf(element) : 0;
}

bool AccessibilityMonitor::followBlockForApply(uint64_t block) {
    if (block == 0)
        return true;
    const DocumentBlocks::Block* target = blocks_.find(block);
    if (!target || !target->checked) {
        log("apply: the block checked is no longer followed — nothing written");
        return false;
    }
    const AXElement element = target->element;
    const FieldText checked = *target->checked;
    if (element != observedElement_ && observedElement_) {
        // Written where it was checked; the caret goes back to the user's
        // block once the write is over (or has given up).
        const AXElement userBlock = *observedElement_;
        const auto caret =
            readRange(ports_.accessibility, userBlock, kAXSelectedTextRangeAttribute);
        log("apply: the correction is in a block the caret is not in — writing there");
        followWithinDocument(element);
        if (observedElement_ != element)
            return false;
        // A write into a third block before the caret came back: the caret
        // still goes back to where the user had it first.
        if (caret && !caretToRestore_) {
            caretToRestore_ = UserCaret{userBlock, *caret, {}};
            caretToRestore_->giveUp =
                scheduleStep(kUserCaretBackSeconds, [this] { restoreUserCaret(); });
        }
    }
    setLastAnalyzedText(checked);
    return true;
}

void AccessibilityMonitor::restoreUserCaret() {
    if (!caretToRestore_)
        return;
    UserCaret caret = std::move(*caretToRestore_);
    caretToRestore_.reset();
    caret.giveUp.cancel();
    if (!isMonitoring() || !observedElement_)
        return;
    const auto focused = searchFocusedField();
    // A write that never moved the caret (the block's text set whole)
    // left it with the user: that block is followed again.
    if (focused == caret.block) {
        if (caret.block != observedElement_)
            followWithinDocument(caret.block);
        return;
    }
    // Only from where the write left it: a click of the user's meanwhile
    // put the caret where the user wants it. The application tells of the
    // caret's move into the block, which is followed then.
    if (focused == observedElement_)
        ports_.accessibility.setAttributeValue(caret.block, kAXSelectedTextRangeAttribute,
                                               AXValue(caret.range));
}

}  // namespace mivo
