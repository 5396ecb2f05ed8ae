#pragma once

// What a rewrite works on, read in one pass from the focused field of the
// frontmost application: the selected text, or else the sentence at the
// caret; up to 600 Characters of context before it and 400 after it; and a
// rectangle to place the rewrite panel by.
//
// The rules for slicing a field's text (the context around a target, the
// sentence at a caret) live here once; the warm buffer applies the same
// rules to the text it keeps.
//
// Stateless: every call asks the other application afresh.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "field/ax_text_extractor.hpp"
#include "platform/desktop.hpp"
#include "shared/text.hpp"

namespace mivo::AXSelectionReader {

inline constexpr int64_t maxPrecedingCharacters = 600;
inline constexpr int64_t maxFollowingCharacters = 400;
// Characters of a field read around the caret when its whole value cannot
// be read.
inline constexpr int64_t textWindowCharacters = 1500;

struct Result {
    std::string targetText;  // the selection as read, or the trimmed sentence at the caret
    bool isSelection = false;
    std::optional<Rect> elementFrame;  // panel anchor, screen coordinates (y up)
    std::optional<std::string> bundleIdentifier;
    AXElement element;  // the field that was read
    std::optional<std::string> precedingContext;
    std::optional<std::string> followingContext;
};

// Nothing when no text field has the focus, when it is a password field, or
// when there is neither a selection nor a non-blank sentence at the caret.
std::optional<Result> read(Desktop desktop);

// --- The slicing rules ----------------------------------------------------

struct Context {
    std::optional<std::string> preceding;
    std::optional<std::string> following;
    bool operator==(const Context&) const = default;
};

// Up to 600 Characters before Character `start` and 400 after `end`, each
// trimmed of white space and absent when nothing is left.
Context contextAround(const text::CharacterText& text, int64_t start, int64_t end);

// One of 。！？!? or the line feed: the only Characters that end a sentence.
bool isSentenceTerminator(std::string_view character);

// The sentence around a caret (0...count) as half-open Character bounds:
// from just after the last terminator before the caret to just after the
// first terminator at or after it (the terminator belongs to the sentence).
std::pair<int64_t, int64_t> sentenceBounds(const text::CharacterText& text, int64_t caret);

// The sentence the user means at a caret: the one around it, or, when that
// holds nothing but white space (the caret right after the "。" just typed,
// or on an empty line after it), the nearest non-blank sentence before it.
std::pair<int64_t, int64_t> sentenceAtCaret(const text::CharacterText& text, int64_t caret);

// --- One field ------------------------------------------------------------

// The caret (the end of the selected range) as a Character index into a text
// read from the field, clamped to it; the text's end when the field has no
// selected range.
int64_t caretIndex(Accessibility& ax, const AXElement& element,
                   const AXTextExtractor::ExtractedText& read, const text::CharacterText& chars);

// The target of a field with its context. A selection's context is taken
// around the occurrence of the selection that the caret is at, not the
// first one in the text.
struct Capture {
    std::string targetText;
    bool isSelection = false;
    Context context;
};
std::optional<Capture> capture(Accessibility& ax, const AXElement& element);

// The field's subrole marks it as a password field.
bool isSecureTextField(Accessibility& ax, const AXElement& element);

// The panel anchor for a target: its own rectangle, else the caret's, else
// the field's frame.
std::optional<Rect> anchorFrame(Accessibility& ax, Screens& screens, std::string_view target,
                                const AXElement& element);

}  // namespace mivo::AXSelectionReader
