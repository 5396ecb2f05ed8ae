// The lines of one block checked each as a text of its own: lines pasted
// at once into one block (Firefox keeps them there, a line feed between
// each) are as many sentences as a document of blocks holds, and no
// longer one text to check.

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <utility>

#include "monitor/document_follow.hpp"
#include "monitor/document_text.hpp"
#include "platform/ax_reads.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

// As many lines are checked at once as blocks are around the caret: all
// that the display holds checks of, beside the block itself and the
// document's own text.
constexpr std::size_t kMaxLinesCheckedAtOnce = kMaxRememberedBlocks - 2;
// About a window's height of short lines: a caret this near a line not
// checked has it in view.
constexpr std::size_t kLinesInView = 20;
// A document whose own text is longer (a block per Character) is not
// walked for the blocks around the caret.
constexpr int64_t kMaxDocumentWalked = 400;

}  // namespace

std::optional<std::vector<DocumentFollow::LineCheck>> DocumentFollow::linesToCheck(
    const AXElement& element, const FieldText& text, int64_t limit) {
    if (text.source != FieldText::Source::value || text::characterCount(text.text) <= limit)
        return std::nullopt;
    const auto lines = documentText::linesOf(text);
    if (lines.size() < 2)
        return std::nullopt;
    // A field followed whole, its lines in its own text (Firefox's rich
    // text before any Return), is a document of its lines from now on: a
    // line is known by its number as a block is.
    if (!blocks_.document()) {
        if (element != host_.followedField() || !host_.followedFieldHeldFocus())
            return std::nullopt;
        blocks_.follow(element);
        blocks_.noteDocumentLength(host_.accessibility().textLengthMark(element));
    }
    std::vector<int64_t> starts;
    for (const auto& line : lines)
        starts.push_back(line.utf16Start);
    std::size_t at = lines.size() - 1;
    if (const auto caret =
            readRange(host_.accessibility(), element, kAXSelectedTextRangeAttribute)) {
        const auto after = std::ranges::upper_bound(starts, caret->location);
        at = after == starts.begin() ? 0 : static_cast<std::size_t>(after - starts.begin()) - 1;
    }
    const std::size_t count = std::min(lines.size(), kMaxLinesCheckedAtOnce);
    const std::size_t from = std::min(at > count / 2 ? at - count / 2 : 0, lines.size() - count);
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), from);
    const auto distance = [at](std::size_t i) { return i > at ? i - at : at - i; };
    std::ranges::stable_sort(order, std::ranges::greater{}, distance);
    std::vector<LineCheck> checks;
    for (const std::size_t i : order) {
        const FieldText& line = lines[i];
        if (text::trimWhitespaceAndNewlines(line.text).empty())
            continue;
        const uint64_t number = blocks_.numberOfLine(element, i);
        DocumentBlocks::Block* known = blocks_.find(number);
        // Lines above that changed only move the line: its check stands
        // where it is now.
        if (known->checked && known->checked->text == line.text) {
            known->checked->utf16Start = line.utf16Start;
            continue;
        }
        checks.push_back(LineCheck{number, line});
    }
    if (lined_)
        lined_->recheck.cancel();
    lined_ = LinedText{element, std::move(starts), from, from + count, Cancel()};
    return checks;
}

void DocumentFollow::noteLineChecked(uint64_t block, const std::optional<FieldText>& text) {
    if (DocumentBlocks::Block* known = blocks_.find(block))
        known->checked = text;
}

void DocumentFollow::noteCaretMoved(const AXElement& element) {
    if (!lined_ || lined_->element != element || element != host_.followedField() ||
        (lined_->recheck && !lined_->recheck.isCancelled()))
        return;
    const auto caret = readRange(host_.accessibility(), element, kAXSelectedTextRangeAttribute);
    if (!caret)
        return;
    const auto& starts = lined_->starts;
    const auto after = std::ranges::upper_bound(starts, caret->location);
    const std::size_t at =
        after == starts.begin() ? 0 : static_cast<std::size_t>(after - starts.begin()) - 1;
    const bool aboveInView = lined_->from > 0 && at < lined_->from + kLinesInView;
    const bool belowInView = lined_->to < starts.size() && at + kLinesInView >= lined_->to;
    if (!aboveInView && !belowInView)
        return;
    host_.log("analyze: the caret went near lines not checked yet — checking them");
    lined_->recheck = host_.scheduleStep(0, [this, element] {
        if (lined_)
            lined_->recheck = Cancel();
        if (host_.followedField() != element)
            return;
        if (const auto read = host_.readFieldText(element); read && !read->text.empty())
            host_.checkBlock(element, *read);
    });
}

void DocumentFollow::checkBlocksAround(const AXElement& block) {
    if (!blocks_.document())
        return;
    Accessibility& ax = host_.accessibility();
    const AXElement document = *blocks_.document();
    // A document of thousands of paragraphs is not walked on a move of the
    // caret: its blocks are checked as the caret goes into them.
    const auto length = ax.textLengthMark(document);
    if (!length || *length > kMaxDocumentWalked)
        return;
    const auto children =
        readElements(ax, document, kAXChildrenAttribute).value_or(std::vector<AXElement>{});
    const auto at = std::ranges::find(children, block);
    if (at == children.end())
        return;
    const auto index = static_cast<int64_t>(at - children.begin());
    const auto half = static_cast<int64_t>(kMaxLinesCheckedAtOnce / 2);
    const int64_t from = std::max(int64_t{0}, index - half);
    const int64_t to = std::min(static_cast<int64_t>(children.size()), index + half + 1);
    // The nearest to the caret last: they are remembered longest.
    std::vector<int64_t> order;
    for (int64_t i = from; i < to; ++i) {
        if (i != index)
            order.push_back(i);
    }
    std::ranges::stable_sort(order, std::ranges::greater{},
                             [index](int64_t i) { return std::abs(i - index); });
    for (const int64_t i : order) {
        const AXElement& near = children[static_cast<std::size_t>(i)];
        if (!blocks_.find(near))
            checkLater(near);
    }
}

}  // namespace mivo
