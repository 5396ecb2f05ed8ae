#pragma once

// Where text, carets and elements of other applications are on the screen.
// The accessibility interface answers in its own global coordinates (origin
// top-left of the primary screen, y down); every rectangle returned here is
// converted to the global coordinates of the screens (origin bottom-left, y
// up) and is at least 16 high. The zero rectangle is never an answer.

#include <cstdint>
#include <optional>
#include <string_view>

#include "field/ax_text_extractor.hpp"
#include "platform/screens.hpp"

namespace mivo::AXTextExtractor {

// Text and element rectangles are raised to at least this height.
inline constexpr double kMinimumTextHeight = 16;

// Height of the first screen whose frame origin is (0, 0), else of the first
// screen, else 1080.
double primaryScreenHeight(Screens& screens);
// An accessibility rectangle (screen pixels, y down) in global coordinates;
// a rectangle lower than 16 then grows upward from its bottom edge.
Rect screenToGlobal(const Rect& screen, double primaryHeight);
Point appKitToQuartzPoint(Point appKit, Screens& screens);

// "AXBoundsForRange" of a range in the element's UTF-16 units.
std::optional<Rect> directBoundsForRange(Accessibility& ax, Screens& screens, Utf16Range range,
                                         const AXElement& element);
// From "AXPosition" and "AXSize".
std::optional<Rect> elementFrame(Accessibility& ax, Screens& screens, const AXElement& element);
// Characters [localStart, localStart + localLength) of one fragment's text:
// its own bounds, else a share of its frame's width (at least 8 wide).
// Nothing for a range that is empty or not inside the fragment.
std::optional<Rect> boundsForFragmentRange(Accessibility& ax, Screens& screens,
                                           const TextFragment& fragment, int64_t localStart,
                                           int64_t localLength);
// A range of Characters of the element's static text joined with line
// feeds: the union of the pieces in each fragment; the joining line feeds
// belong to no fragment. Where the element has a value of its own that the
// join does not read as, the range counts the value's Characters (that is
// the text read from it) and the element measures it. Nothing for an
// element without static text.
std::optional<Rect> boundsForFragmentBackedRange(Accessibility& ax, Screens& screens, int64_t start,
                                                 int64_t length, const AXElement& element);
std::optional<Rect> boundsForTextTargetRange(Accessibility& ax, Screens& screens,
                                             const TextTargetRange& range,
                                             const AXElement& element);
// The occurrence of `target` nearest the caret in the element's text.
std::optional<Rect> boundsForTargetText(Accessibility& ax, Screens& screens,
                                        std::string_view target, const AXElement& element);

// The caret from the bounds of the selection's start: which probe answered,
// what it answered, and that converted.
struct CaretBounds {
    Utf16Range probe;
    Rect screen;
    Rect rect;
};
std::optional<CaretBounds> caretBoundsAtSelection(Accessibility& ax, Screens& screens,
                                                  const AXElement& element);
// The caret, else fallbackCaretRect.
std::optional<Rect> caretRect(Accessibility& ax, Screens& screens, const AXElement& element);
// The last Character of the static text, else a strip along the bottom of
// the element.
std::optional<Rect> fallbackCaretRect(Accessibility& ax, Screens& screens,
                                      const AXElement& element);
std::optional<Rect> lastStaticCharacterRect(Accessibility& ax, Screens& screens,
                                            const AXElement& element);
// The element's frame with its height clamped to 16...20.
std::optional<Rect> elementBottomStrip(Accessibility& ax, Screens& screens,
                                       const AXElement& element);

}  // namespace mivo::AXTextExtractor
