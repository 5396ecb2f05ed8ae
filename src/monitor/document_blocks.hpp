#pragma once

// The blocks of a document the monitor follows one at a time: a browser's
// rich-text field once Return made a block of each line, Writer's
// paragraphs, the paragraphs of an HTML message. The caret going from one
// block into another of the same document changes nothing the user sees:
// a block left keeps its check on the way and the boxes of its last one,
// and Apply can write into any block still known. Only the blocks the
// monitor followed or checked are known, never the whole document, and no
// more than a bounded number of them: a document of thousands of
// paragraphs costs what the few the user changed cost.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "field/ax_text_extractor.hpp"
#include "platform/accessibility.hpp"
#include "platform/cancel.hpp"
#include "shared/records.hpp"

namespace mivo {

class DocumentBlocks {
  public:
    // No more blocks are remembered than this: the least recently used one
    // goes first (its check still waiting, if any, is dropped with it).
    static constexpr std::size_t kMaxBlocks = kMaxRememberedBlocks;

    struct Block {
        uint64_t number = 0;
        AXElement element;
        // The text last checked, which ranges of its issues count in.
        std::optional<AXTextExtractor::ExtractedText> checked;
        // The check waiting for the pause in typing after a change the
        // block was left with.
        Cancel pendingCheck;
        // The ancestors that cut what the block shows, once looked up.
        std::optional<std::vector<AXElement>> clippingAncestors;
        uint64_t lastUsed = 0;
        // Set for one line of a block whose lines are checked each as a
        // text of its own (lines pasted into one block, a line feed between
        // each): the line's place among them. `checked` then starts where
        // the line does in the element's text.
        std::optional<std::size_t> line;
    };

    // The document `element` is a block of: the nearest ancestor that holds
    // the focus (a browser's block never does itself), or, for an element
    // that holds it, the editable text it is part of (Writer's paragraphs).
    // Nothing for a field of its own.
    // `focused`: whether the element holds the focus, when already read.
    static std::optional<AXElement> documentOf(Accessibility& ax, const AXElement& element,
                                               std::optional<bool> focused = std::nullopt);

    // The document whose blocks are remembered.
    const std::optional<AXElement>& document() const { return document_; }
    // From now on the blocks of `document` are remembered; those of another
    // are forgotten.
    void follow(const AXElement& document);
    // Forgets every block and drops the checks waiting.
    void forget();

    // The block's number (a new one when it is not known yet): it names the
    // block to the display for as long as its document is followed.
    uint64_t numberOf(const AXElement& element);
    // The number of line `line` of the block `element` (a new one when it
    // is not known yet).
    uint64_t numberOfLine(const AXElement& element, std::size_t line);
    Block* find(uint64_t number);
    // The block itself, never one of its lines.
    Block* find(const AXElement& element);
    // The block is left with its check still waiting: it runs for the block.
    void keepPendingCheck(const AXElement& element, Cancel check);
    // Whether the block's check waits to run.
    bool hasPendingCheck(const AXElement& element) const;
    // The check of the block ran (or gave way to a newer one).
    void notePendingCheckDone(const AXElement& element);
    // The check the block was left with, while it has not run: the caret
    // came back before the pause, and it is the block's check again.
    Cancel takePendingCheck(const AXElement& element);
    std::size_t size() const { return blocks_.size(); }
    // Every block remembered, the least recently used first.
    std::vector<const Block*> byUse() const;
    // The document's length as just asked (its own text holds a character
    // per block); by how much it grew since the last answer (0 without
    // two answers to compare).
    int64_t noteDocumentLength(std::optional<int64_t> length);

    // The document's own text beside its blocks (objects left out), as a
    // change of the focused field last left it: where it went is looked for
    // once the caret left it. An empty text changes nothing.
    void noteOwnText(std::string own);
    const std::string& ownText() const { return ownText_; }
    // Whether `run`, a run of the document's text, is its own text as last
    // noted.
    bool isOwnText(std::string_view run) const { return !ownText_.empty() && run == ownText_; }
    // The focus left the document: where its own text went is no longer
    // looked for.
    void forgetOwnText() { ownText_.clear(); }

    // Whether the focused field's object characters number otherwise than
    // at the last search for the focused field (Return made a block): only
    // then is the search, which reads the document whole, worth making.
    // The number is kept for the next time.
    bool objectsChangedSinceSearch(std::size_t objects);
    // The focused field is no longer followed: its objects are not known.
    void forgetObjectsAtSearch() { objectsAtLastSearch_.reset(); }

  private:
    void touch(Block& block) { block.lastUsed = ++clock_; }
    Block& add(const AXElement& element, std::optional<std::size_t> line);

    std::optional<AXElement> document_;
    std::optional<int64_t> documentLength_;
    std::vector<Block> blocks_;
    uint64_t nextNumber_ = 1;
    uint64_t clock_ = 0;
    std::string ownText_;
    std::optional<std::size_t> objectsAtLastSearch_;
};

}  // namespace mivo
