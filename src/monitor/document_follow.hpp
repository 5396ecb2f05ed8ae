#pragma once

// The follow of a document of blocks: a browser's rich-text field once
// Return made a block of each line, Writer's paragraphs, an HTML message.
// The line the user writes in is a block of its own, and that block is the
// field the host follows; this class decides which block holds the caret,
// which blocks changed, which are checked and when, and what is remembered
// of them. The caret going from one block into another of the same
// document (its own text beside its blocks included) changes nothing the
// user sees: the block left keeps its waiting check and its boxes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "monitor/block_write.hpp"
#include "monitor/document_blocks.hpp"
#include "monitor/document_follow_host.hpp"

namespace mivo {

class DocumentFollow {
  public:
    explicit DocumentFollow(DocumentFollowHost& host) : host_(host) {}

    // --- The caret ----------------------------------------------------------
    // The focused field found is another block of the document followed,
    // or the document's own text beside its blocks: the caret moved inside
    // the document.
    bool caretMovedWithinDocument(const std::optional<AXElement>& focused);
    // Whether a correction is being written into the block followed, which
    // stays followed until the write is over.
    bool isWritingIntoFollowed() const { return write_.isInto(host_.followedField()); }
    // Follows `block` instead of the block of the same document followed;
    // the block left keeps its check waiting.
    void followWithinDocument(const AXElement& block);

    // --- The field followed -------------------------------------------------
    // It was attached and read (`read`, nothing when it could not be);
    // `late`: the focus poll found it, the focus having moved unannounced
    // (a window just opened), so what was written meanwhile went unheard.
    void noteAttached(const AXElement& element, const std::optional<FieldText>& read,
                      bool late = false);
    // It is no longer followed.
    void noteDetached() {
        blocks_.forgetObjectsAtSearch();
        objectsAtChange_.reset();
        objectsAtAttach_.reset();
        removedSinceChange_.clear();
    }
    // A change of its text is on its way to a check: what the document's
    // own text held is noted, and a block made under the caret followed.
    void noteChange(const FieldText& text);
    // A change report took `text` out of it.
    void noteRemoved(const std::string& text);
    // The application, field or window changed: nothing is followed, and
    // what was checked in the document is remembered until the user comes
    // back to it.
    void noteContextChanged();
    // The monitor stopped: nothing is remembered.
    void forget();

    // --- Checks -------------------------------------------------------------
    // The check of `element` waiting since the caret left it, while it has
    // not run.
    Cancel takePendingCheck(const AXElement& element) { return blocks_.takePendingCheck(element); }
    // A check of `element` is about to run: false when the element is
    // neither followed nor a block still known.
    bool checkStarts(const AXElement& element);
    // Where the text of a check of `element`, read as `read`, is checked:
    // the block Return took the document's own text into, or the run of
    // the document's own text beside its blocks, or `read` where it is.
    struct Checked {
        AXElement element;
        FieldText text;
    };
    Checked whatToCheck(const AXElement& element, FieldText read);
    // The check of `element` found `text` (nothing: it found no sentence);
    // the block's number, 0 outside a document.
    uint64_t noteChecked(const AXElement& element, const std::optional<FieldText>& text);

    // --- Lines of one block ---------------------------------------------------
    // A text of several lines too long to be checked whole (Firefox keeps
    // lines pasted at once in one block, a line feed between each) is
    // checked line by line, each line a text of its own with a number of
    // its own, as the blocks of a document are. One line to check now.
    struct LineCheck {
        uint64_t block = 0;
        FieldText text;
    };
    // Nothing when `text`, read from `element`, is checked whole: it is
    // within `limit` Characters, or a single line. Otherwise the lines
    // nearest the caret whose text changed since their last check, the
    // nearest last; those farther wait until the caret goes near them.
    std::optional<std::vector<LineCheck>> linesToCheck(const AXElement& element,
                                                       const FieldText& text, int64_t limit);
    // The check of line `block` found `text` (nothing: no sentence in it).
    void noteLineChecked(uint64_t block, const std::optional<FieldText>& text);
    // The caret moved in `element` without a change of its text: a line of
    // it not checked yet, now near the caret, is checked.
    void noteCaretMoved(const AXElement& element);

    // --- Writing into a block -----------------------------------------------
    // Before a write into `block` (0: the field followed): the block is
    // followed, with the text checked there. The Characters the write's
    // ranges move by to count in the text written into; nothing when
    // nothing can be written there.
    std::optional<int64_t> followBlockForApply(uint64_t block);
    // `issuesEnd`: where the last issue written ends, in Characters of the
    // text written into.
    void noteWriteStarted(int64_t issuesEnd);
    // The write was verified with `text` in the field: the text its check
    // is of (a run of it, for the document's own text).
    std::string noteWriteVerified(const std::string& text);
    void noteWriteFailed() { write_.forgetOwnTextRun(); }
    // The write is over (`written`: verified in the field): the caret goes
    // back where the user had it.
    void afterWrite(bool written);

    // The user's caret while a write goes into another block, where a move
    // of the caret back into it is one within the document (Writer tells
    // of it as a move into another field).
    std::optional<BlockWrite::UserCaret> userCaretElsewhere() {
        const auto& kept = write_.userCaret();
        if (!kept || !caretMovedWithinDocument(kept->block))
            return std::nullopt;
        return kept;
    }
    // Puts the caret at `caret` in `element`, a block or the document's own
    // text, where the user sees it there.
    AXError putCaretBack(const AXElement& element, Utf16Range caret);

    // The blocks remembered, for the geometry of their checks.
    DocumentBlocks& blocks() { return blocks_; }

  private:
    // The field followed whole turned into blocks under the caret (Return
    // in a browser's rich text): the block is followed instead. True then.
    bool followBlockWithCaretInstead(const FieldText& text);
    // The field followed whole is a document of blocks from now on.
    void followAsDocument(const AXElement& field);
    // Whether `block` is the part on the next page of `left`, a paragraph
    // Writer exposes as an object a page.
    bool continues(const AXElement& block, const AXElement& left);
    // By how much the document grew since the caret last moved.
    int64_t checkBlocksMadeWith(const AXElement& block);
    // Checks `element` as it reads once the pause has passed, for its block.
    void checkLater(const AXElement& element);
    // The blocks checked before the user went elsewhere are checked again
    // on the way back into their document.
    void checkBlocksLeftBehind();
    // The few blocks just above `block`, in a document come to late.
    void checkBlocksWrittenUnheard(const AXElement& block);
    std::optional<FieldText> ownTextRun(const AXElement& element, const FieldText& read);
    std::optional<AXElement> blockTakingOwnText(const AXElement& document, const std::string& now);
    void noteWriteEnded();
    void restoreUserCaret(bool written);
    // The caret went into `block` of a document that lines pasted at once
    // left partly unchecked (Ctrl+Home to the top of the paste): the
    // blocks around it not known yet, now in view, are checked as well.
    void checkBlocksAround(const AXElement& block);

    DocumentFollowHost& host_;
    // The blocks of the document followed, the followed one among them.
    DocumentBlocks blocks_;
    // The write under way into a block of it, and the user's caret to put
    // back after.
    BlockWrite write_;
    // The documents left for another tab, window or application, and the
    // blocks checked in each then (its own text as the run checked); the
    // most recently left last.
    struct LeftBehind {
        AXElement document;
        std::vector<AXElement> blocks;
        std::string ownText;
    };
    std::vector<LeftBehind> leftBehind_;
    // The object characters of the field followed as its last change (or
    // its attach) left them, and the own text a report took out of it
    // since: a change that makes blocks after such a report is Return
    // taking that text into a block.
    std::optional<std::size_t> objectsAtChange_;
    std::string removedSinceChange_;
    // The element last checked line by line: where each of its lines
    // started then, and those checked (or waiting for the caret) of them.
    struct LinedText {
        AXElement element;
        std::vector<int64_t> starts;
        std::size_t from = 0;
        std::size_t to = 0;
        Cancel recheck;
    };
    std::optional<LinedText> lined_;
    // The document lines were pasted into at once, more than were checked
    // then: those left are checked once the caret goes near them.
    std::optional<AXElement> pasteLeftUnchecked_;
    // The object characters it held as attached: the blocks made since are
    // those past them.
    std::optional<std::size_t> objectsAtAttach_;
};

}  // namespace mivo
