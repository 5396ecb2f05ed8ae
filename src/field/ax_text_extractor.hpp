#pragma once

// Finding the text field the user is typing in, in any application, and
// reading its text, selection and caret through the accessibility port.
// Stateless: every call asks the other application afresh.
//
// Two units meet here. Accessibility units are UTF-16 code units of the
// element's whole value (every Utf16Range); Characters are grapheme clusters
// of a text this process holds (TextRange, TextFragment, TextTargetRange's
// characterStart). Each operation says which it takes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/accessibility.hpp"
#include "platform/workspace.hpp"
#include "shared/records.hpp"

namespace mivo::AXTextExtractor {

// One piece of visible text of an editor that exposes its text as many
// static-text elements rather than one value.
struct TextFragment {
    AXElement element;  // the "AXStaticText" element
    std::string text;   // its value, never empty
    // Its place, in Characters, in the text formed by joining all pieces
    // with one line feed between neighbours.
    TextRange characterRange;
};

// Where a target text was found inside a text.
struct TextTargetRange {
    int64_t characterStart = 0;
    int64_t characterLength = 0;
    Utf16Range accessibilityRange;  // the same occurrence, in UTF-16 units of the searched text
    bool operator==(const TextTargetRange&) const = default;
};

inline constexpr int64_t defaultWindowCharsAroundCaret = 1500;

// A text read from a field together with how its offsets relate to the
// element's own: a whole value and a caret window are positions of the value
// (the window from `utf16Start` on); static text joined from the element's
// children has offsets of its own.
struct ExtractedText {
    enum class Source { value, caretWindow, staticText };
    std::string text;
    Source source = Source::value;
    int64_t utf16Start = 0;
    bool operator==(const ExtractedText&) const = default;
};

// --- Finding the field -----------------------------------------------------

// The field being typed in: the frontmost application's, else the
// system-wide focused element's.
std::optional<AXElement> focusedTextElement(Accessibility& ax, Workspace& workspace);
// Asks an application to expose its full tree; failures are ignored.
void enableEnhancedAX(Accessibility& ax, const AXElement& application);
std::optional<AXElement> textElement(Accessibility& ax, const AXElement& application);
// Exactly one editable element below `element`: a focused one at once, else
// the only candidate; none or several give nothing.
std::optional<AXElement> findTextDescendant(Accessibility& ax, const AXElement& element, int depth,
                                            int maxDepth);
bool elementSupportsTextEditing(Accessibility& ax, const AXElement& element);
bool isExplicitlyEditable(Accessibility& ax, const AXElement& element);

// --- Reading text ----------------------------------------------------------

// The whole value; else a window of about `windowCharsAroundCaret` units
// around the caret; else the static-text children joined. Nothing only for
// an element that no longer exists; otherwise possibly the empty string.
std::optional<ExtractedText> readText(Accessibility& ax, const AXElement& element,
                                      int64_t windowCharsAroundCaret);
std::optional<std::string> extractText(Accessibility& ax, const AXElement& element,
                                       int64_t windowCharsAroundCaret);
// End of the selected range (UTF-16 units), at most `fullTextLength`.
std::optional<int64_t> caretOffset(Accessibility& ax, const AXElement& element,
                                   int64_t fullTextLength);
std::optional<Utf16Range> selectedTextRange(Accessibility& ax, const AXElement& element);
// "AXStringForRange" when it gives non-blank text (returned untrimmed).
std::optional<std::string> stringForRange(Accessibility& ax, Utf16Range range,
                                          const AXElement& element);

// Static text down to six levels below `element` (depth 0 to 5 read their
// children), in order; the element itself is never a fragment.
std::vector<std::pair<AXElement, std::string>> rawStaticTextFragments(Accessibility& ax,
                                                                      const AXElement& element,
                                                                      int depth);
std::string assembleTextFromChildren(Accessibility& ax, const AXElement& element, int depth);
std::vector<TextFragment> textFragments(Accessibility& ax, const AXElement& element);

// --- Selection and targets -------------------------------------------------

// The best reading of the selected text, trimmed; nothing when no reading
// gives non-blank text.
std::optional<std::string> selectedText(Accessibility& ax, const AXElement& element);
// The part of `text` under a UTF-16 range, with a directly following
// sentence end added; untrimmed, nothing when blank or out of range.
std::optional<std::string> selectedText(std::string_view text, Utf16Range range);
// One of 。！？!?
bool isSentenceEnd(std::string_view character);
std::optional<std::string> bestSelectedTextCandidate(const std::vector<std::string>& candidates);

// Whether the selection reads as `expected`: "AXSelectedText", else the best
// reading of the selection above. Only the reading is trimmed: an expected
// text with white space of its own must be read exactly.
bool selectionReadsAs(Accessibility& ax, const AXElement& element, std::string_view expected);
// The same with the text of `range` as the second reading, for a range just
// selected whose reading above may take in what follows it.
bool selectedRangeReadsAs(Accessibility& ax, const AXElement& element, Utf16Range range,
                          std::string_view expected);

// The occurrence of `target` (trimmed) in `text` nearest the caret (in
// Characters of `text`); ties and a missing caret go to the earliest.
std::optional<TextTargetRange> targetRange(std::string_view target, std::string_view text,
                                           std::optional<int64_t> caretOffset);

}  // namespace mivo::AXTextExtractor
