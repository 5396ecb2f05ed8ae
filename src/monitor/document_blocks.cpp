#include "monitor/document_blocks.hpp"

#include <algorithm>
#include <utility>

#include "platform/ax_reads.hpp"

namespace mivo {
namespace {

// A line of a quote inside a section inside the document: no block sits
// deeper than this below the element that holds the focus.
constexpr int kMaxDocumentDepth = 6;

}  // namespace

std::optional<AXElement> DocumentBlocks::documentOf(Accessibility& ax, const AXElement& element,
                                                    std::optional<bool> focused) {
    auto current = readElement(ax, element, kAXParentAttribute);
    // Writer's paragraphs take the focus with the caret: their document is
    // the editable text they are part of (an application never is).
    if (focused.value_or(readBool(ax, element, kAXFocusedAttribute).value_or(false))) {
        if (current && readBool(ax, *current, kAXEditableAttribute).value_or(false))
            return current;
        return std::nullopt;
    }
    for (int depth = 0; current && depth < kMaxDocumentDepth; ++depth) {
        if (readString(ax, *current, kAXRoleAttribute) == kAXApplicationRole)
            return std::nullopt;
        if (readBool(ax, *current, kAXFocusedAttribute).value_or(false))
            return current;
        current = readElement(ax, *current, kAXParentAttribute);
    }
    return std::nullopt;
}

void DocumentBlocks::follow(const AXElement& document) {
    if (document_ == document)
        return;
    forget();
    document_ = document;
}

void DocumentBlocks::forget() {
    for (auto& block : blocks_)
        block.pendingCheck.cancel();
    blocks_.clear();
    document_.reset();
    documentLength_.reset();
}

int64_t DocumentBlocks::noteDocumentLength(std::optional<int64_t> length) {
    const int64_t grew = length && documentLength_ ? *length - *documentLength_ : 0;
    documentLength_ = length;
    return grew;
}

void DocumentBlocks::noteOwnText(std::string own) {
    if (!own.empty())
        ownText_ = std::move(own);
}

bool DocumentBlocks::objectsChangedSinceSearch(std::size_t objects) {
    if (objectsAtLastSearch_ == objects)
        return false;
    objectsAtLastSearch_ = objects;
    return true;
}

uint64_t DocumentBlocks::numberOf(const AXElement& element) {
    if (Block* known = find(element))
        return known->number;
    return add(element, std::nullopt).number;
}

uint64_t DocumentBlocks::numberOfLine(const AXElement& element, std::size_t line) {
    const auto it = std::ranges::find_if(
        blocks_, [&](const Block& b) { return b.line == line && b.element == element; });
    if (it != blocks_.end()) {
        touch(*it);
        return it->number;
    }
    return add(element, line).number;
}

DocumentBlocks::Block& DocumentBlocks::add(const AXElement& element,
                                           std::optional<std::size_t> line) {
    if (blocks_.size() >= kMaxBlocks) {
        const auto oldest = std::min_element(
            blocks_.begin(), blocks_.end(),
            [](const Block& a, const Block& b) { return a.lastUsed < b.lastUsed; });
        oldest->pendingCheck.cancel();
        blocks_.erase(oldest);
    }
    Block& block = blocks_.emplace_back();
    block.number = nextNumber_++;
    block.element = element;
    block.line = line;
    touch(block);
    return block;
}

DocumentBlocks::Block* DocumentBlocks::find(uint64_t number) {
    const auto it = std::find_if(blocks_.begin(), blocks_.end(),
                                 [&](const Block& b) { return b.number == number; });
    return it == blocks_.end() ? nullptr : &*it;
}

DocumentBlocks::Block* DocumentBlocks::find(const AXElement& element) {
    const auto it = std::find_if(blocks_.begin(), blocks_.end(),
                                 [&](const Block& b) { return b.element == element && !b.line; });
    if (it == blocks_.end())
        return nullptr;
    touch(*it);
    return &*it;
}

std::vector<const DocumentBlocks::Block*> DocumentBlocks::byUse() const {
    std::vector<const Block*> out;
    for (const Block& block : blocks_)
        out.push_back(&block);
    std::ranges::sort(out, {}, &Block::lastUsed);
    return out;
}

void DocumentBlocks::keepPendingCheck(const AXElement& element, Cancel check) {
    numberOf(element);
    Block* block = find(element);
    block->pendingCheck.cancel();
    block->pendingCheck = std::move(check);
}

Cancel DocumentBlocks::takePendingCheck(const AXElement& element) {
    Block* block = find(element);
    if (!block || !block->pendingCheck || block->pendingCheck.isCancelled())
        return Cancel();
    return std::exchange(block->pendingCheck, Cancel());
}

bool DocumentBlocks::hasPendingCheck(const AXElement& element) const {
    const auto it = std::ranges::find_if(
        blocks_, [&](const Block& b) { return b.element == element && !b.line; });
    return it != blocks_.end() && it->pendingCheck && !it->pendingCheck.isCancelled();
}

void DocumentBlocks::notePendingCheckDone(const AXElement& element) {
    if (Block* block = find(element))
        block->pendingCheck = Cancel();
}

}  // namespace mivo
