// A document of blocks: a browser's rich-text field once Return made a
// block of each line, Writer's paragraphs, an HTML message. The line the
// user writes in is a block of its own inside it, and that block is the
// field followed; the blocks left keep their checks and their boxes.

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "monitor/accessibility_monitor.hpp"
#include "platform/ax_reads.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

// U+FFFC stands in a field's own text for each block or inline object.
constexpr std::string_view kObjectReplacement = "\xEF\xBF\xBC";
// A write that never reports its end (its check gave up) is over by then.
constexpr double kUserCaretBackSeconds = 3.5;
// The blocks a document's own text may have gone into are among its first.
constexpr std::size_t kMaxChildrenLooked = 16;
// More blocks made at once are a document pasted whole, not lines written.
constexpr int64_t kMaxBlocksMadeAtOnce = 16;
// The pause a check waits for.
constexpr double kBlockCheckSeconds = 0.75;

std::size_t objectCount(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t at = text.find(kObjectReplacement); at != std::string_view::npos;
         at = text.find(kObjectReplacement, at + kObjectReplacement.size()))
        ++n;
    return n;
}

// Whether the object character between `before` and `after` (0: none)
// stands for a block rather than an inline object (a link, an image) of the
// line around it: nothing of a sentence goes on across it.
bool isBlockBoundary(char32_t before, char32_t after) {
    const auto ends = [](char32_t c) {
        return c == 0 || c == U'\uFFFC' || c == U'\n' || c == U'。' || c == U'！' || c == U'？' ||
               c == U'.' || c == U'!' || c == U'?';
    };
    return ends(before) || after == 0 || after == U'\uFFFC' || after == U'\n';
}

// The runs of `text` between its block objects, each with its first
// UTF-16 unit.
std::vector<FieldText> runsOf(const std::string& text) {
    struct CodePoint {
        char32_t c;
        std::size_t byte;
        int64_t units;
    };
    std::vector<CodePoint> points;
    int64_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t at = i;
        const char32_t c = text::decodeNext(text, i);
        points.push_back({c, at, units});
        units += c >= 0x10000 ? 2 : 1;
    }
    std::vector<FieldText> runs;
    std::size_t runByte = 0;
    int64_t runUnits = 0;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const CodePoint& p = points[k];
        if (p.c != U'\uFFFC' || !isBlockBoundary(k > 0 ? points[k - 1].c : 0,
                                                 k + 1 < points.size() ? points[k + 1].c : 0))
            continue;
        runs.push_back(
            FieldText{text.substr(runByte, p.byte - runByte), FieldText::Source::value, runUnits});
        runByte = p.byte + kObjectReplacement.size();
        runUnits = p.units + 1;
    }
    runs.push_back(FieldText{text.substr(runByte), FieldText::Source::value, runUnits});
    return runs;
}

// The run that holds UTF-16 unit `caret`, or that ends at the block the
// caret stands on.
FieldText runAround(const std::string& text, int64_t caret) {
    auto runs = runsOf(text);
    for (auto& run : runs) {
        if (caret <= run.utf16Start + text::utf16Length(run.text))
            return std::move(run);
    }
    return std::move(runs.back());
}

// The document's own text, its objects and the line feeds at its ends
// (Firefox ends a line with one before its first Return) left out.
std::string withoutObjects(std::string text) {
    for (std::size_t at = text.find(kObjectReplacement); at != std::string::npos;
         at = text.find(kObjectReplacement, at))
        text.erase(at, kObjectReplacement.size());
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    while (!text.empty() && text.front() == '\n')
        text.erase(0, 1);
    return text;
}

}  // namespace

bool AccessibilityMonitor::followBlockWithCaretInstead(const FieldText& text) {
    // A block followed for its caret never holds the focus itself: only the
    // field that does can turn into blocks under the caret (a browser's
    // rich text whose first Return made a block of each line).
    if (!observedElement_ || !observedHeldFocus_ ||
        text.text.find(kObjectReplacement) == std::string_view::npos)
        return false;
    // Typing in the document's own text beside its blocks keeps their
    // number: only a new block (Return) can have taken the caret, and the
    // search reads the document whole.
    const std::size_t objects = objectCount(text.text);
    if (!blocks_.objectsChangedSinceSearch(objects))
        return false;
    const auto focused = searchFocusedField();
    if (!focused || focused == observedElement_)
        return false;
    log("observe: the caret is in a block inside the field — following the block");
    if (!blocks_.document()) {
        blocks_.follow(*observedElement_);
        // Nothing was written in the field before this change made its
        // blocks (lines pasted at once): each was made now, and those
        // beside the caret's are looked at as it is followed. A line written
        // there before is checked where Return took it.
        const auto length = ports_.accessibility.textLengthMark(*observedElement_);
        if (blocks_.ownText().empty() && length)
            blocks_.noteDocumentLength(*length - static_cast<int64_t>(objects));
    }
    scheduleStep(0, [this, element = *observedElement_] {
        if (isMonitoring() && observedElement_ == element)
            handleFocusChanged();
    });
    return true;
}

bool AccessibilityMonitor::caretMovedWithinDocument(const std::optional<AXElement>& focused) {
    // Only a field known to be a document (or one of its blocks) has blocks
    // to move between: any other focus change costs nothing here.
    if (!focused || !observedElement_ || focused == observedElement_ || !blocks_.document())
        return false;
    const auto document = DocumentBlocks::documentOf(ports_.accessibility, *focused);
    if (!document)
        return false;
    // Either the document whose block was followed, or the document itself
    // followed as a whole until Return made blocks of it.
    return document == blocks_.document() || document == observedElement_;
}

void AccessibilityMonitor::followWithinDocument(const AXElement& block) {
    // The change the block left was just told of (a paste, then the caret
    // moved on at once) is read before the block is: it is the block's.
    if (burst_.element && burst_.element == observedElement_) {
        burst_.read.cancel();
        readFieldBurst();
    }
    // The check of the block left runs when the user's pause comes, for
    // that block, wherever the caret is by then.
    if (debounceWork_ && !debounceWork_.isCancelled()) {
        if (!blocks_.document())
            blocks_.follow(*observedElement_);
        blocks_.keepPendingCheck(*observedElement_, std::exchange(debounceWork_, Cancel()));
    }
    observeFocusedElement(std::optional<std::optional<AXElement>>(block));
    if (observedElement_ == block)
        checkBlocksMadeWith(block);
    notifyFieldMayHaveMoved();
}

void AccessibilityMonitor::checkBlocksMadeWith(const AXElement& block) {
    if (!blocks_.document())
        return;
    const AXElement document = *blocks_.document();
    // One length read per move: a Return makes one block, the one the caret
    // is in; only a document grown by more than that is looked into.
    const int64_t grew = blocks_.noteDocumentLength(ports_.accessibility.textLengthMark(document));
    if (grew < 2 || grew > kMaxBlocksMadeAtOnce)
        return;
    const auto children = readElements(ports_.accessibility, document, kAXChildrenAttribute)
                              .value_or(std::vector<AXElement>{});
    const auto at = std::ranges::find(children, block);
    if (at == children.end())
        return;
    const auto index = static_cast<int64_t>(at - children.begin());
    for (int64_t i = std::max<int64_t>(0, index - grew + 1); i < index; ++i) {
        const AXElement made = children[static_cast<std::size_t>(i)];
        if (blocks_.find(made))
            continue;
        blocks_.numberOf(made);
        blocks_.keepPendingCheck(made, scheduleStep(kBlockCheckSeconds, [this, made] {
                                     const auto read = readFieldText(made);
                                     if (read && !read->text.empty())
                                         analyzeText(made, *read, false);
                                 }));
    }
}

void AccessibilityMonitor::noteDocumentOf(const AXElement& element) {
    if (const auto document =
            DocumentBlocks::documentOf(ports_.accessibility, element, observedHeldFocus_)) {
        const bool known = blocks_.document() == document;
        blocks_.follow(*document);
        if (!known)
            blocks_.noteDocumentLength(ports_.accessibility.textLengthMark(*document));
    }
    // The document itself, its caret in its own text beside its blocks, is
    // still the same document; any other field is not one.
    else if (!observedHeldFocus_ || blocks_.document() != element)
        blocks_.forget();
}

void AccessibilityMonitor::noteDocumentText(const AXElement& element,
                                            const std::optional<FieldText>& read) {
    if (observedHeldFocus_ && !blocks_.document() && read &&
        read->text.find(kObjectReplacement) != std::string::npos)
        blocks_.follow(element);
}

uint64_t AccessibilityMonitor::blockNumberOf(const AXElement& element) {
    return blocks_.document() ? blocks_.numberOf(element) : 0;
}

std::optional<int64_t> AccessibilityMonitor::followBlockForApply(uint64_t block) {
    if (block == 0) {
        // The document's own text followed: what was checked there is a
        // run of it, which the write must not take for the whole.
        const DocumentBlocks::Block* own =
            observedElement_ && blocks_.document() == observedElement_
                ? blocks_.find(*observedElement_)
                : nullptr;
        if (!own || !own->checked)
            return 0;
        block = own->number;
    }
    const DocumentBlocks::Block* target = blocks_.find(block);
    if (!target || !target->checked) {
        log("apply: the block checked is no longer followed — nothing written");
        return std::nullopt;
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
            return std::nullopt;
        // A write into a third block before the caret came back: the caret
        // still goes back to where the user had it first.
        if (caret && !write_.hasUserCaret())
            write_.keepUserCaret({userBlock, *caret}, scheduleStep(kUserCaretBackSeconds,
                                                                   [this] { restoreUserCaret(); }));
    }
    if (element == blocks_.document()) {
        // The document's own text: written into its whole text, where the
        // run checked still stands.
        const auto whole = readFieldText(element);
        const int64_t unitsBefore = checked.utf16Start;
        const auto run = whole ? std::optional(runAround(whole->text, unitsBefore)) : std::nullopt;
        if (!whole || whole->source != FieldText::Source::value || run->text != checked.text ||
            run->utf16Start != unitsBefore) {
            log("apply: the document's own text changed — nothing written");
            return std::nullopt;
        }
        std::size_t byteStart = 0;
        for (int64_t units = 0; byteStart < whole->text.size() && units < unitsBefore;) {
            const char32_t c = text::decodeNext(whole->text, byteStart);
            units += c >= 0x10000 ? 2 : 1;
        }
        const int64_t shift =
            text::characterCount(std::string_view(whole->text).substr(0, byteStart));
        write_.noteOwnTextRun({block, unitsBefore});
        setLastAnalyzedText(*whole);
        return shift;
    }
    write_.forgetOwnTextRun();
    setLastAnalyzedText(checked);
    return 0;
}

std::optional<FieldText> AccessibilityMonitor::ownTextRun(const AXElement& element,
                                                          const FieldText& read) {
    if (read.source != FieldText::Source::value ||
        read.text.find(kObjectReplacement) == std::string::npos)
        return std::nullopt;
    if (element == observedElement_ && observedHeldFocus_ && blocks_.document() != element)
        blocks_.follow(element);
    if (blocks_.document() != element)
        return std::nullopt;
    // The caret left the document's own text before its check: the run
    // written there is checked where it stands now.
    if (element != observedElement_ && !blocks_.ownText().empty()) {
        for (auto& run : runsOf(read.text)) {
            if (blocks_.isOwnText(run.text))
                return std::move(run);
        }
    }
    const auto caret = readRange(ports_.accessibility, element, kAXSelectedTextRangeAttribute);
    return runAround(read.text, caret ? caret->location : 0);
}

void AccessibilityMonitor::noteDocumentOwnText(const FieldText& text) {
    if (!observedElement_ || !observedHeldFocus_)
        return;
    blocks_.noteOwnText(withoutObjects(text.text));
}

std::optional<AXElement> AccessibilityMonitor::blockTakingOwnText(const AXElement& document,
                                                                  const std::string& now) {
    if (document != blocks_.document())
        return std::nullopt;
    const std::string own = blocks_.ownText();
    if (own.empty() || now.find(own) != std::string::npos)
        return std::nullopt;
    // Only the document's own children, and only now: a block per line.
    const auto children = readElements(ports_.accessibility, document, kAXChildrenAttribute)
                              .value_or(std::vector<AXElement>{});
    for (std::size_t i = 0; i < children.size() && i < kMaxChildrenLooked; ++i) {
        if (withoutObjects(
                readString(ports_.accessibility, children[i], kAXValueAttribute).value_or("")) ==
            own)
            return children[i];
    }
    return std::nullopt;
}

void AccessibilityMonitor::replacementCompleted(const std::string& text) {
    std::string checked = text;
    if (const auto write = write_.takeOwnTextRun()) {
        // The new text of the run written is the block's check, not the
        // whole document's.
        const FieldText run = runAround(text, write->utf16Start);
        checked = run.text;
        if (DocumentBlocks::Block* block = blocks_.find(write->block))
            block->checked = run;
        lastAnalyzedText_ = run;
    }
    if (onReplacementCompleted)
        onReplacementCompleted(checked);
    afterWriteIntoBlock();
}

void AccessibilityMonitor::noteWriteStarted(int64_t issuesEnd) {
    std::optional<BlockWrite::CaretAround> around;
    if (observedElement_ && lastAnalyzedText_) {
        const text::CharacterText t{lastAnalyzedText_->text};
        const auto caret =
            readRange(ports_.accessibility, *observedElement_, kAXSelectedTextRangeAttribute);
        if (caret && issuesEnd >= 0 && issuesEnd <= t.count())
            around = BlockWrite::CaretAround{
                *caret, lastAnalyzedText_->utf16Start + t.utf16Offset(issuesEnd),
                lastAnalyzedText_->utf16Start + t.utf16Offset(t.count())};
    }
    // A write whose check gave up reports nothing: it is over by then.
    write_.start(observedElement_, around,
                 scheduleStep(kUserCaretBackSeconds, [this] { noteWriteEnded(); }));
}

void AccessibilityMonitor::noteWriteEnded() {
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
    if (around && isMonitoring() && caretMovedWithinDocument(searchFocusedField())) {
        Utf16Range caret = around->caret;
        if (around->movesWithWrite()) {
            const auto now = readFieldText(written);
            if (now && now->source == FieldText::Source::value)
                caret = around->movedWith(text::utf16Length(now->text));
        }
        log("observe: the caret went into another block during the write — putting it back");
        putCaretBack(written, caret);
    }
    // Where the caret stands now is followed.
    scheduleStep(0, [this] { handleFocusChanged(); });
}

void AccessibilityMonitor::putCaretBack(const AXElement& element, Utf16Range caret) {
    // At the end of the document's own text right before a block, its
    // offset names that block's start as well (Chromium takes it so): the
    // end of the line is set in the line's own text object instead.
    if (element == blocks_.document() && caret.length == 0) {
        const auto now = readFieldText(element);
        if (now && now->source == FieldText::Source::value) {
            const FieldText run = runAround(now->text, caret.location);
            const int64_t runEnd = run.utf16Start + text::utf16Length(run.text);
            if (caret.location == runEnd && runEnd < text::utf16Length(now->text)) {
                for (const AXElement& child :
                     readElements(ports_.accessibility, element, kAXChildrenAttribute)
                         .value_or(std::vector<AXElement>{})) {
                    if (readString(ports_.accessibility, child, kAXValueAttribute) == run.text &&
                        ports_.accessibility.setAttributeValue(
                            child, kAXSelectedTextRangeAttribute,
                            AXValue(Utf16Range{text::utf16Length(run.text), 0})) ==
                            AXError::success)
                        return;
                }
            }
        }
    }
    ports_.accessibility.setAttributeValue(element, kAXSelectedTextRangeAttribute, AXValue(caret));
}

void AccessibilityMonitor::restoreUserCaret() {
    const auto taken = write_.takeUserCaret();
    if (!taken)
        return;
    const BlockWrite::UserCaret& caret = *taken;
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
