// The follow of a document of blocks: where the caret went, which blocks
// are checked and when, and the writes into a block the caret is not in.

#include "monitor/document_follow.hpp"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "monitor/document_text.hpp"
#include "platform/ax_reads.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

using documentText::endsASentence;
using documentText::kObjectReplacement;
using documentText::lineAt;
using documentText::objectCount;
using documentText::runAround;
using documentText::runsOf;
using documentText::withoutObjects;

// A write that never reports its end (its check gave up) is over by then.
constexpr double kUserCaretBackSeconds = 3.5;
// The blocks a document's own text may have gone into are among its first.
constexpr std::size_t kMaxChildrenLooked = 16;
// The blocks checked at once, of lines pasted or on the way back into a
// document: as many as are remembered beside the caret's own block and the
// document's own text. Past them the lines farthest from the caret wait
// until the caret goes into them.
constexpr int64_t kMaxBlocksCheckedAtOnce = static_cast<int64_t>(kMaxRememberedBlocks) - 2;
// The documents left whose blocks are checked again on the way back: a
// second window of the same application in between keeps the first's.
constexpr std::size_t kMaxDocumentsLeftBehind = 8;
// The pause a check waits for.
constexpr double kBlockCheckSeconds = 0.75;

}  // namespace

// --- The caret ----------------------------------------------------------------

bool DocumentFollow::followBlockWithCaretInstead(const FieldText& text) {
    // A block followed for its caret never holds the focus itself: only the
    // field that does can turn into blocks under the caret (a browser's
    // rich text whose first Return made a block of each line).
    const auto& followed = host_.followedField();
    if (!followed || !host_.followedFieldHeldFocus() ||
        text.text.find(kObjectReplacement) == std::string_view::npos)
        return false;
    // Typing in the document's own text beside its blocks keeps their
    // number: only a new block (Return) can have taken the caret, and the
    // search reads the document whole.
    const std::size_t objects = objectCount(text.text);
    if (!blocks_.objectsChangedSinceSearch(objects))
        return false;
    const auto focused = host_.searchFocusedField();
    if (!focused || focused == followed)
        return false;
    host_.log("observe: the caret is in a block inside the field — following the block");
    if (!blocks_.document())
        followAsDocument(*followed);
    host_.scheduleStep(0, [this, element = *followed] {
        if (host_.isMonitoring() && host_.followedField() == element)
            host_.lookAtFocus();
    });
    return true;
}

void DocumentFollow::followAsDocument(const AXElement& field) {
    blocks_.follow(field);
    // The blocks made since the field was attached (lines pasted at once,
    // or Return) are looked at beside the caret's as it is followed: the
    // length noted is the document's without them. Not the length before
    // their change: the lines may first show in the field's own text and
    // then go into the blocks (Chromium under load), which a length read
    // before and after counts as no more than the blocks' characters less
    // the lines'.
    const auto length = host_.accessibility().textLengthMark(field);
    if (length && objectsAtChange_ && objectsAtAttach_ && *objectsAtChange_ >= *objectsAtAttach_)
        blocks_.noteDocumentLength(*length -
                                   static_cast<int64_t>(*objectsAtChange_ - *objectsAtAttach_));
}

bool DocumentFollow::caretMovedWithinDocument(const std::optional<AXElement>& focused) {
    // Only a field known to be a document (or one of its blocks) has blocks
    // to move between: any other focus change costs nothing here.
    const auto& followed = host_.followedField();
    if (!focused || !followed || focused == followed)
        return false;
    // A field whose last change made blocks (Return) is a document even
    // before its caret was seen in one: Chromium under load tells of the
    // new block's focus only after the change, and the first line's check
    // must go on with the block rather than end with the field.
    if (!blocks_.document() &&
        !(host_.followedFieldHeldFocus() && objectsAtChange_ && *objectsAtChange_ > 0))
        return false;
    // Back into the document's own text beside its blocks (Chromium's
    // first line, typed before any Return): the document itself holds the
    // focus and names itself as the field.
    if (focused == blocks_.document())
        return true;
    const auto document = DocumentBlocks::documentOf(host_.accessibility(), *focused);
    if (!document)
        return false;
    // Either the document whose block was followed, or the document itself
    // followed as a whole until Return made blocks of it.
    return document == blocks_.document() || document == followed;
}

void DocumentFollow::followWithinDocument(const AXElement& block) {
    // The change the block left was just told of (a paste, then the caret
    // moved on at once) is read before the block is: it is the block's.
    host_.settleNotifications();
    // The check of the block left runs when the user's pause comes, for
    // that block, wherever the caret is by then.
    if (Cancel waiting = host_.takeWaitingCheck()) {
        const AXElement left = *host_.followedField();
        if (continues(block, left)) {
            // Writing on across a page: the sentence goes on in the part
            // on the next page, and the part left is no line finished.
            host_.log("observe: the paragraph runs on across a page — following it there");
            waiting.cancel();
        } else {
            if (!blocks_.document())
                followAsDocument(left);
            blocks_.keepPendingCheck(left, std::move(waiting));
        }
    }
    host_.attach(block);
    if (host_.followedField() == block && checkBlocksMadeWith(block) == 0 && pasteLeftUnchecked_ &&
        pasteLeftUnchecked_ == blocks_.document())
        checkBlocksAround(block);
    host_.fieldMayHaveMoved();
}

bool DocumentFollow::continues(const AXElement& block, const AXElement& left) {
    Accessibility& ax = host_.accessibility();
    if (readElement(ax, block, kAXFlowsFromAttribute) != left)
        return false;
    // Writer says so of every paragraph after another, in reading order:
    // only a part left in the middle of a sentence runs on across a page.
    const std::string text = readString(ax, left, kAXValueAttribute).value_or("");
    return !text.empty() && !endsASentence(text);
}

int64_t DocumentFollow::checkBlocksMadeWith(const AXElement& block) {
    if (!blocks_.document())
        return 0;
    Accessibility& ax = host_.accessibility();
    const AXElement document = *blocks_.document();
    // One length read per move: a Return makes one block, the one the caret
    // is in; only a document grown by more than that is looked into.
    const int64_t grew = blocks_.noteDocumentLength(ax.textLengthMark(document));
    if (grew < 2)
        return grew;
    const auto children =
        readElements(ax, document, kAXChildrenAttribute).value_or(std::vector<AXElement>{});
    const auto at = std::ranges::find(children, block);
    if (at == children.end())
        return grew;
    // Lines pasted at once: the blocks made before the caret's, and the one
    // the caret was in, which took the first line (a line pasted under
    // earlier text). The nearest to the caret are remembered longest.
    const auto index = static_cast<int64_t>(at - children.begin());
    const int64_t from = std::max({int64_t{0}, index - grew, index - kMaxBlocksCheckedAtOnce});
    if (from > index - grew)
        pasteLeftUnchecked_ = document;
    // A line written in the field's own text and taken whole into a block
    // is checked there by the field's own check still waiting.
    const std::string& own = blocks_.ownText();
    const bool ownCheckWaits = !own.empty() && blocks_.hasPendingCheck(document);
    for (int64_t i = from; i < index; ++i) {
        const auto n = static_cast<std::size_t>(i);
        const AXElement& pasted = children[n];
        if (blocks_.hasPendingCheck(pasted))
            continue;
        if (ownCheckWaits && n < kMaxChildrenLooked &&
            withoutObjects(readString(ax, pasted, kAXValueAttribute).value_or("")) == own)
            continue;
        checkLater(pasted);
    }
    return grew;
}

void DocumentFollow::checkLater(const AXElement& element) {
    blocks_.numberOf(element);
    blocks_.keepPendingCheck(element, host_.scheduleStep(kBlockCheckSeconds, [this, element] {
        const auto read = host_.readFieldText(element);
        if (read && !read->text.empty())
            host_.checkBlock(element, *read);
        else
            blocks_.notePendingCheckDone(element);
    }));
}

// --- The field followed ---------------------------------------------------------

void DocumentFollow::noteAttached(const AXElement& element, const std::optional<FieldText>& read,
                                  bool late) {
    Accessibility& ax = host_.accessibility();
    const bool heldFocus = host_.followedFieldHeldFocus();
    objectsAtChange_ = read ? std::optional(objectCount(read->text)) : std::nullopt;
    objectsAtAttach_ = objectsAtChange_;
    removedSinceChange_.clear();
    auto document = DocumentBlocks::documentOf(ax, element, heldFocus);
    // A block known, followed without the focus (a paragraph of Writer's
    // written into while the caret stays in another): neither it nor any
    // ancestor holds the focus, and it is a block of the same document.
    if (!document && !heldFocus && blocks_.document() && blocks_.find(element))
        document = blocks_.document();
    bool arrived = false;
    if (document) {
        const bool known = blocks_.document() == document;
        blocks_.follow(*document);
        if (!known)
            blocks_.noteDocumentLength(ax.textLengthMark(*document));
        arrived = !known;
    }
    // The document itself, its caret in its own text beside its blocks, is
    // still the same document; any other field is not one.
    else if (!heldFocus || blocks_.document() != element)
        blocks_.forget();
    // A focused field whose text, as attached, holds objects beside its own
    // text is a document of blocks itself (Thunderbird's body).
    if (heldFocus && !blocks_.document() && read &&
        read->text.find(kObjectReplacement) != std::string::npos)
        blocks_.follow(element);
    checkBlocksLeftBehind();
    if (arrived && late)
        checkBlocksWrittenUnheard(element);
}

void DocumentFollow::noteChange(const FieldText& text) {
    // Handed over to the block with the caret, the text is still checked
    // where it was written: the document's own text, or the block it went
    // into.
    const auto& followed = host_.followedField();
    if (followed && host_.followedFieldHeldFocus()) {
        const std::size_t objects = objectCount(text.text);
        const bool madeBlocks = objectsAtChange_ && objects > *objectsAtChange_;
        objectsAtChange_ = objects;
        std::string own = withoutObjects(text.text);
        // A change that made blocks (Return): what is left beside the
        // blocks is read, not taken from the change. The change is worked
        // out from the reports over the text last read, and a report of a
        // key that read already held counts the key twice: the line left
        // would seem to start with that key twice (Chromium), or, after a
        // report took the own text out, to be that key alone (Firefox), and
        // its check would look for a run that is not there. After such a
        // report, nothing left keeps the line the report took.
        if (madeBlocks) {
            const auto now = host_.readFieldText(*followed);
            if (now && now->source == FieldText::Source::value &&
                (!removedSinceChange_.empty() || objectCount(now->text) == objects))
                own = withoutObjects(now->text);
        }
        blocks_.noteOwnText(std::move(own));
    }
    removedSinceChange_.clear();
    followBlockWithCaretInstead(text);
}

void DocumentFollow::noteRemoved(const std::string& text) {
    // Firefox's first Return takes the field's own text out of it into a
    // block, maybe before any read saw it: what went is remembered.
    if (host_.followedField() && host_.followedFieldHeldFocus()) {
        removedSinceChange_ = withoutObjects(text);
        blocks_.noteOwnText(removedSinceChange_);
    }
}

void DocumentFollow::noteContextChanged() {
    // Another field in between (the address bar, a field of another
    // application) leaves the document left behind as it was. A block whose
    // check waits (checked again on the way back, or left within the pause)
    // is left with its check as well: a glance at the document shorter than
    // the pause takes nothing away.
    if (blocks_.document()) {
        LeftBehind left{*blocks_.document(), {}, {}};
        for (const DocumentBlocks::Block* block : blocks_.byUse()) {
            const bool waits = block->pendingCheck && !block->pendingCheck.isCancelled();
            if (!block->checked && !waits)
                continue;
            if (block->element != left.document)
                left.blocks.push_back(block->element);
            else if (block->line)
                left.ownText = left.ownText.empty() ? blocks_.ownText() : left.ownText;
            else if (block->checked)
                left.ownText = block->checked->text;
            else
                left.ownText = blocks_.ownText();
        }
        std::erase_if(leftBehind_,
                      [&](const LeftBehind& l) { return l.document == left.document; });
        if (!left.blocks.empty() || !left.ownText.empty())
            leftBehind_.push_back(std::move(left));
        if (leftBehind_.size() > kMaxDocumentsLeftBehind)
            leftBehind_.erase(leftBehind_.begin());
    }
    blocks_.forget();
    blocks_.forgetOwnText();
    write_.forget();
}

void DocumentFollow::forget() {
    leftBehind_.clear();
    pasteLeftUnchecked_.reset();
    lined_.reset();
    blocks_.forget();
    blocks_.forgetOwnText();
    write_.forget();
}

void DocumentFollow::checkBlocksLeftBehind() {
    if (!blocks_.document())
        return;
    // Another document in between (a second window) keeps this one's.
    const auto found = std::ranges::find(leftBehind_, *blocks_.document(), &LeftBehind::document);
    if (found == leftBehind_.end())
        return;
    const LeftBehind left = std::move(*found);
    leftBehind_.erase(found);
    // Coming back to a document is a focus change onto the whole of it:
    // its boxes went with the display, and each block that had them is
    // checked again, the most recently used first, as many as are checked
    // at once.
    int64_t checked = 0;
    const auto& followed = host_.followedField();
    if (!left.ownText.empty() && followed != left.document) {
        blocks_.noteOwnText(left.ownText);
        checkLater(left.document);
        ++checked;
    }
    for (auto it = left.blocks.rbegin(); it != left.blocks.rend(); ++it) {
        if (checked >= kMaxBlocksCheckedAtOnce)
            break;
        if (*it == followed || blocks_.find(*it))
            continue;
        checkLater(*it);
        ++checked;
    }
}

void DocumentFollow::checkBlocksWrittenUnheard(const AXElement& block) {
    // Writer tells of a window it has just opened only when the focus poll
    // finds it, up to a second later: a paragraph typed and left with
    // Return by then was never heard of, and no way back checks it, for it
    // was never checked. What a second can hold is checked as it reads.
    constexpr int kBlocksWrittenInAPoll = 3;
    const AXElement document = *blocks_.document();
    if (block == document)
        return;
    const auto children = readElements(host_.accessibility(), document, kAXChildrenAttribute)
                              .value_or(std::vector<AXElement>{});
    const auto at = std::ranges::find(children, block);
    if (at == children.end())
        return;
    int room = kBlocksWrittenInAPoll;
    for (auto it = std::make_reverse_iterator(at); it != children.rend() && room > 0;
         ++it, --room) {
        if (!blocks_.hasPendingCheck(*it))
            checkLater(*it);
    }
}

// --- Checks -----------------------------------------------------------------------

bool DocumentFollow::checkStarts(const AXElement& element) {
    // A block the caret left before the pause is checked all the same, as
    // long as its document is followed.
    if (element != host_.followedField() && !blocks_.find(element))
        return false;
    blocks_.notePendingCheckDone(element);
    return true;
}

DocumentFollow::Checked DocumentFollow::whatToCheck(const AXElement& element, FieldText read) {
    // Return took the document's own text into a block of its own
    // (Firefox): that block holds what was written.
    if (element != host_.followedField()) {
        if (const auto block = blockTakingOwnText(element, read.text)) {
            blocks_.numberOf(*block);
            if (const auto moved = host_.readFieldText(*block))
                return whatToCheck(*block, *moved);
        }
    }
    // Beside the document's blocks its own text is a block too: the run the
    // caret is in is checked, not its neighbours' object characters.
    if (auto run = ownTextRun(element, read))
        read = std::move(*run);
    return Checked{element, std::move(read)};
}

uint64_t DocumentFollow::noteChecked(const AXElement& element,
                                     const std::optional<FieldText>& text) {
    if (!blocks_.document())
        return 0;
    const uint64_t number = blocks_.numberOf(element);
    blocks_.find(number)->checked = text;
    return number;
}

std::optional<FieldText> DocumentFollow::ownTextRun(const AXElement& element,
                                                    const FieldText& read) {
    if (read.source != FieldText::Source::value ||
        read.text.find(kObjectReplacement) == std::string::npos)
        return std::nullopt;
    const bool followed = element == host_.followedField();
    if (followed && host_.followedFieldHeldFocus() && blocks_.document() != element)
        blocks_.follow(element);
    if (blocks_.document() != element)
        return std::nullopt;
    // The caret left the document's own text before its check: the run
    // written there is checked where it stands now.
    if (!followed && !blocks_.ownText().empty()) {
        for (auto& run : runsOf(read.text)) {
            if (blocks_.isOwnText(withoutObjects(run.text)))
                return std::move(run);
        }
    }
    const auto caret = readRange(host_.accessibility(), element, kAXSelectedTextRangeAttribute);
    return runAround(read.text, caret ? caret->location : 0);
}

std::optional<AXElement> DocumentFollow::blockTakingOwnText(const AXElement& document,
                                                            const std::string& now) {
    if (document != blocks_.document())
        return std::nullopt;
    const std::string own = blocks_.ownText();
    if (own.empty() || now.find(own) != std::string::npos)
        return std::nullopt;
    // Only the document's own children, and only now: a block per line.
    Accessibility& ax = host_.accessibility();
    const auto children =
        readElements(ax, document, kAXChildrenAttribute).value_or(std::vector<AXElement>{});
    for (std::size_t i = 0; i < children.size() && i < kMaxChildrenLooked; ++i) {
        if (withoutObjects(readString(ax, children[i], kAXValueAttribute).value_or("")) == own)
            return children[i];
    }
    return std::nullopt;
}

// --- Writing into a block -------------------------------------------------------

std::optional<int64_t> DocumentFollow::followBlockForApply(uint64_t block) {
    const auto& followed = host_.followedField();
    if (block == 0) {
        // The document's own text followed: what was checked there is a
        // run of it, which the write must not take for the whole.
        const DocumentBlocks::Block* own =
            followed && blocks_.document() == followed ? blocks_.find(*followed) : nullptr;
        if (!own || !own->checked)
            return 0;
        block = own->number;
    }
    const DocumentBlocks::Block* target = blocks_.find(block);
    if (!target || !target->checked) {
        host_.log("apply: the block checked is no longer followed — nothing written");
        return std::nullopt;
    }
    const AXElement element = target->element;
    const FieldText checked = *target->checked;
    if (followed && element != followed) {
        // Written where it was checked; the caret goes back to the user's
        // block once the write is over (or has given up).
        const AXElement userBlock = *followed;
        const auto caret =
            readRange(host_.accessibility(), userBlock, kAXSelectedTextRangeAttribute);
        host_.log("apply: the correction is in a block the caret is not in — writing there");
        followWithinDocument(element);
        if (host_.followedField() != element)
            return std::nullopt;
        // A write into a third block before the caret came back: the caret
        // still goes back to where the user had it first.
        if (caret && !write_.hasUserCaret())
            write_.keepUserCaret(
                {userBlock, *caret, host_.keysTypedOn()},
                host_.scheduleStep(kUserCaretBackSeconds, [this] { restoreUserCaret(false); }));
    }
    if (element != blocks_.document() && !target->line) {
        write_.forgetOwnTextRun();
        host_.setCheckedText(checked);
        return 0;
    }
    // The document's own text, or one line of a block's: written into the
    // whole text, where the run or line checked still stands.
    const auto whole = host_.readFieldText(element);
    const bool line = target->line.has_value();
    const auto shift =
        whole ? text::utf16ToCharacterOffset(whole->text, checked.utf16Start) : std::nullopt;
    const bool stands =
        whole && whole->source == FieldText::Source::value && shift &&
        (line ? lineAt(whole->text, checked.utf16Start) == checked.text
              : runAround(whole->text, checked.utf16Start) ==
                    FieldText{checked.text, FieldText::Source::value, checked.utf16Start});
    if (!stands) {
        host_.log(line ? "apply: the line changed — nothing written"
                       : "apply: the document's own text changed — nothing written");
        return std::nullopt;
    }
    write_.noteOwnTextRun({block, checked.utf16Start, line});
    host_.setCheckedText(*whole);
    return shift;
}

void DocumentFollow::noteWriteStarted(int64_t issuesEnd) {
    std::optional<BlockWrite::CaretAround> around;
    const auto& followed = host_.followedField();
    if (const auto& checked = host_.checkedText(); followed && checked) {
        const text::CharacterText t{checked->text};
        const auto caret =
            readRange(host_.accessibility(), *followed, kAXSelectedTextRangeAttribute);
        if (caret && issuesEnd >= 0 && issuesEnd <= t.count())
            around = BlockWrite::CaretAround{*caret, checked->utf16Start + t.utf16Offset(issuesEnd),
                                             checked->utf16Start + t.utf16Offset(t.count())};
    }
    // A write whose check gave up reports nothing: it is over by then.
    write_.start(followed, around,
                 host_.scheduleStep(kUserCaretBackSeconds, [this] { noteWriteEnded(); }));
}

std::string DocumentFollow::noteWriteVerified(const std::string& text) {
    const auto write = write_.takeOwnTextRun();
    if (!write)
        return text;
    // The new text of the run (or line) written is the block's check, not
    // the whole document's.
    const FieldText run = write->line ? FieldText{lineAt(text, write->utf16Start),
                                                  FieldText::Source::value, write->utf16Start}
                                      : runAround(text, write->utf16Start);
    if (DocumentBlocks::Block* block = blocks_.find(write->block))
        block->checked = run;
    host_.setCheckedText(run);
    return run.text;
}

void DocumentFollow::afterWrite(bool written) {
    noteWriteEnded();
    if (write_.hasUserCaret())
        host_.scheduleStep(0, [this, written] { restoreUserCaret(written); });
}

void DocumentFollow::noteWriteEnded() {
    const auto ended = write_.end();
    if (!ended)
        return;
    if (write_.hasUserCaret())
        return;  // followed once the caret is back in the user's block
    const AXElement& written = ended->block;
    const auto& around = ended->caret;
    // The application took the caret into another block during the write
    // (the user's keys were held): it goes back where the user had it,
    // moved by what the write changed before it.
    if (around && host_.isMonitoring() && caretMovedWithinDocument(host_.searchFocusedField())) {
        Utf16Range caret = around->caret;
        if (around->movesWithWrite()) {
            const auto now = host_.readFieldText(written);
            if (now && now->source == FieldText::Source::value)
                caret = around->movedWith(text::utf16Length(now->text));
        }
        host_.log("observe: the caret went into another block during the write — putting it back");
        putCaretBack(written, caret);
    }
    // Where the caret stands now is followed.
    host_.scheduleStep(0, [this] { host_.lookAtFocus(); });
}

AXError DocumentFollow::putCaretBack(const AXElement& element, Utf16Range caret) {
    Accessibility& ax = host_.accessibility();
    // At the end of the document's own text right before a block, its
    // offset names that block's start as well, and Chromium and Firefox
    // take it so: the end of the line is set in the line's own text object
    // instead (Chromium), or the caret set before the line's last Character
    // steps over it (Firefox, which has no such object).
    if (element == blocks_.document() && caret.length == 0) {
        const auto now = host_.readFieldText(element);
        if (now && now->source == FieldText::Source::value) {
            const FieldText run = runAround(now->text, caret.location);
            const int64_t runEnd = run.utf16Start + text::utf16Length(run.text);
            if (caret.location == runEnd && runEnd < text::utf16Length(now->text) &&
                !run.text.empty()) {
                for (const AXElement& child : readElements(ax, element, kAXChildrenAttribute)
                                                  .value_or(std::vector<AXElement>{})) {
                    if (readString(ax, child, kAXValueAttribute) == run.text &&
                        ax.setAttributeValue(child, kAXSelectedTextRangeAttribute,
                                             AXValue(Utf16Range{text::utf16Length(run.text), 0})) ==
                            AXError::success)
                        return AXError::success;
                }
                const text::CharacterText t{run.text};
                const Utf16Range beforeLast{run.utf16Start + t.utf16Offset(t.count() - 1), 0};
                if (ax.setAttributeValue(element, kAXSelectedTextRangeAttribute,
                                         AXValue(beforeLast)) == AXError::success &&
                    host_.stepCaretRight())
                    return AXError::success;
            }
        }
    }
    return ax.setAttributeValue(element, kAXSelectedTextRangeAttribute, AXValue(caret));
}

void DocumentFollow::restoreUserCaret(bool written) {
    const auto taken = write_.takeUserCaret();
    if (!taken)
        return;
    const BlockWrite::UserCaret& caret = *taken;
    const auto& followed = host_.followedField();
    if (!host_.isMonitoring() || !followed)
        return;
    const auto focused = host_.searchFocusedField();
    // A write that never moved the caret (the block's text set whole)
    // left it with the user: that block is followed again. A caret moved
    // within it by a write that went in is the write's, not the user's (a
    // click ends a write unwritten): the document's caret set back on the
    // block's object after a write into the document's own text, which
    // Chromium takes for the block's start.
    if (focused == caret.block) {
        Accessibility& ax = host_.accessibility();
        if (written && host_.keysTypedOn() == caret.keysTypedOn &&
            readRange(ax, caret.block, kAXSelectedTextRangeAttribute) != caret.range)
            ax.setAttributeValue(caret.block, kAXSelectedTextRangeAttribute, AXValue(caret.range));
        if (caret.block != followed)
            followWithinDocument(caret.block);
        return;
    }
    // Only from where the write left it: a click of the user's meanwhile
    // put the caret where the user wants it. The user's block is followed
    // at once: an application need not tell of a caret set over the bus
    // (Firefox, with our panel just clicked, says nothing), and the next
    // write takes the user's caret from the block followed.
    if (focused == followed &&
        host_.accessibility().setAttributeValue(caret.block, kAXSelectedTextRangeAttribute,
                                                AXValue(caret.range)) == AXError::success)
        followWithinDocument(caret.block);
}

}  // namespace mivo
