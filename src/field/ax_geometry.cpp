#include "field/ax_geometry.hpp"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ax_reads.hpp"
#include "shared/text.hpp"

namespace mivo::AXTextExtractor {
namespace {

constexpr double kDefaultScreenHeight = 1080;
// A proportional estimate is never narrower than this.
constexpr double kMinimumEstimateWidth = 8;
constexpr double kMaximumStripHeight = 20;

std::optional<Rect> rawBoundsForRange(Accessibility& ax, Utf16Range range,
                                      const AXElement& element) {
    const AXResult r = ax.copyParameterizedAttributeValue(
        element, kAXBoundsForRangeParameterizedAttribute, AXValue(range));
    auto rect = r ? r->asRect() : std::nullopt;
    if (!rect || rect->isZero())
        return std::nullopt;
    return rect;
}

// The caret position of the text read as a Character offset of that text:
// the selection's end, moved into the window when the text is one.
std::optional<int64_t> caretCharacterOffset(Accessibility& ax, const AXElement& element,
                                            const ExtractedText& read) {
    const text::CharacterText t{read.text};
    if (read.source == ExtractedText::Source::staticText)
        return caretOffset(ax, element, t.count());
    const auto range = selectedTextRange(ax, element);
    if (!range)
        return std::nullopt;
    const int64_t units =
        std::clamp<int64_t>(range->end() - read.utf16Start, 0, t.utf16Offset(t.count()));
    // Inside a Character: the Character's start.
    for (int64_t u = units; u >= 0; --u) {
        if (auto i = t.characterIndexAtUtf16(u))
            return i;
    }
    return std::nullopt;
}

// Whether the element's static text, joined with line feeds, reads as its
// own value, so that a Character of the one is the same Character of the
// other, as where an editor exposes the value's lines. Chromium gives every run
// of a line an object of its own (bold, a coloured span, a link's text, a
// list bullet, the line feed of a <br>): joined, they number the line's
// Characters differently from the value that was read and checked.
bool joinReadsAs(const std::vector<TextFragment>& fragments, std::string_view value) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < fragments.size(); ++i) {
        if (i > 0) {
            if (at >= value.size() || value[at] != '\n')
                return false;
            ++at;
        }
        const std::string& piece = fragments[i].text;
        if (value.substr(at, piece.size()) != piece)
            return false;
        at += piece.size();
    }
    return at == value.size();
}

// Characters [start, start + length) of the element's own value, measured
// by the element itself.
std::optional<Rect> boundsInValue(Accessibility& ax, Screens& screens, const std::string& value,
                                  int64_t start, int64_t length, const AXElement& element) {
    const text::CharacterText t{value};
    if (start < 0 || start + length > t.count())
        return std::nullopt;
    const int64_t location = t.utf16Offset(start);
    return directBoundsForRange(
        ax, screens, Utf16Range{location, t.utf16Offset(start + length) - location}, element);
}

}  // namespace

double primaryScreenHeight(Screens& screens) {
    const auto all = screens.screens();
    for (const auto& s : all) {
        if (s.frame.x == 0 && s.frame.y == 0)
            return s.frame.height;
    }
    return all.empty() ? kDefaultScreenHeight : all.front().frame.height;
}

Rect screenToGlobal(const Rect& screen, double primaryHeight) {
    Rect global = toGlobalCoordinates(screen, Rect{0, 0, 0, primaryHeight});
    global.height = std::max(screen.height, kMinimumTextHeight);
    return global;
}

Point appKitToQuartzPoint(Point appKit, Screens& screens) {
    return Point{appKit.x, primaryScreenHeight(screens) - appKit.y};
}

std::optional<Rect> directBoundsForRange(Accessibility& ax, Screens& screens, Utf16Range range,
                                         const AXElement& element) {
    const auto rect = rawBoundsForRange(ax, range, element);
    if (!rect)
        return std::nullopt;
    return screenToGlobal(*rect, primaryScreenHeight(screens));
}

std::optional<Rect> elementFrame(Accessibility& ax, Screens& screens, const AXElement& element) {
    const auto position = readPoint(ax, element, kAXPositionAttribute);
    const auto size = readSize(ax, element, kAXSizeAttribute);
    if (!position || !size)
        return std::nullopt;
    return screenToGlobal(Rect{position->x, position->y, size->width, size->height},
                          primaryScreenHeight(screens));
}

std::optional<Rect> boundsForFragmentRange(Accessibility& ax, Screens& screens,
                                           const TextFragment& fragment, int64_t localStart,
                                           int64_t localLength) {
    const text::CharacterText t{fragment.text};
    if (localLength < 1 || localStart < 0 || localStart + localLength > t.count())
        return std::nullopt;
    const int64_t location = t.utf16Offset(localStart);
    const Utf16Range units{location, t.utf16Offset(localStart + localLength) - location};
    if (auto direct = directBoundsForRange(ax, screens, units, fragment.element))
        return direct;

    const auto frame = elementFrame(ax, screens, fragment.element);
    if (!frame)
        return std::nullopt;
    const double n = static_cast<double>(std::max<int64_t>(1, t.count()));
    const double x0 = frame->minX() + static_cast<double>(localStart) / n * frame->width;
    const double x1 =
        frame->minX() + static_cast<double>(localStart + localLength) / n * frame->width;
    return Rect{x0, frame->minY(), std::max(x1 - x0, kMinimumEstimateWidth),
                std::max(frame->height, kMinimumTextHeight)};
}

std::optional<Rect> boundsForFragmentBackedRange(Accessibility& ax, Screens& screens, int64_t start,
                                                 int64_t length, const AXElement& element) {
    if (length < 1)
        return std::nullopt;
    const int64_t end = start + length;
    const auto fragments = textFragments(ax, element);
    if (fragments.empty())
        return std::nullopt;
    // An element with a value of its own is read as that value, and the
    // range counts its Characters.
    if (const auto own = readString(ax, element, kAXValueAttribute);
        own && !own->empty() && !joinReadsAs(fragments, *own))
        return boundsInValue(ax, screens, *own, start, length, element);
    std::optional<Rect> out;
    for (const auto& fragment : fragments) {
        const int64_t lo = fragment.characterRange.start;
        const int64_t s = std::max(lo, start);
        const int64_t e = std::min(fragment.characterRange.end, end);
        if (s >= e)
            continue;
        if (auto r = boundsForFragmentRange(ax, screens, fragment, s - lo, e - s))
            out = out ? out->united(*r) : *r;
    }
    return out;
}

std::optional<Rect> boundsForTextTargetRange(Accessibility& ax, Screens& screens,
                                             const TextTargetRange& range,
                                             const AXElement& element) {
    if (auto r = boundsForFragmentBackedRange(ax, screens, range.characterStart,
                                              range.characterLength, element))
        return r;
    return directBoundsForRange(ax, screens, range.accessibilityRange, element);
}

std::optional<Rect> boundsForTargetText(Accessibility& ax, Screens& screens,
                                        std::string_view target, const AXElement& element) {
    const auto read = readText(ax, element, defaultWindowCharsAroundCaret);
    if (!read || read->text.empty())
        return std::nullopt;
    const auto caret = caretCharacterOffset(ax, element, *read);
    auto range = targetRange(target, read->text, caret);
    if (!range)
        return std::nullopt;
    if (read->source == ExtractedText::Source::caretWindow) {
        // A window's Characters are not the static text's, and its UTF-16
        // offsets start at the window: only the element's own bounds, at
        // the occurrence's place in the whole value, can answer.
        range->accessibilityRange.location += read->utf16Start;
        return directBoundsForRange(ax, screens, range->accessibilityRange, element);
    }
    return boundsForTextTargetRange(ax, screens, *range, element);
}

std::optional<CaretBounds> caretBoundsAtSelection(Accessibility& ax, Screens& screens,
                                                  const AXElement& element) {
    const auto selection = selectedTextRange(ax, element);
    if (!selection)
        return std::nullopt;
    const int64_t loc = selection->location;
    // The Character after the caret, the one before it, then the empty range
    // (which many applications answer with the zero rectangle).
    const std::array<Utf16Range, 3> probes{
        Utf16Range{loc, 1}, Utf16Range{std::max<int64_t>(0, loc - 1), 1}, Utf16Range{loc, 0}};
    for (const auto& probe : probes) {
        if (const auto screen = rawBoundsForRange(ax, probe, element))
            return CaretBounds{probe, *screen,
                               screenToGlobal(*screen, primaryScreenHeight(screens))};
    }
    return std::nullopt;
}

std::optional<Rect> caretRect(Accessibility& ax, Screens& screens, const AXElement& element) {
    if (const auto caret = caretBoundsAtSelection(ax, screens, element))
        return caret->rect;
    return fallbackCaretRect(ax, screens, element);
}

std::optional<Rect> fallbackCaretRect(Accessibility& ax, Screens& screens,
                                      const AXElement& element) {
    if (auto r = lastStaticCharacterRect(ax, screens, element))
        return r;
    return elementBottomStrip(ax, screens, element);
}

std::optional<Rect> lastStaticCharacterRect(Accessibility& ax, Screens& screens,
                                            const AXElement& element) {
    const auto fragments = textFragments(ax, element);
    if (fragments.empty())
        return std::nullopt;
    const auto& last = fragments.back();
    const int64_t count = text::characterCount(last.text);
    return boundsForFragmentRange(ax, screens, last, std::max<int64_t>(0, count - 1), 1);
}

std::optional<Rect> elementBottomStrip(Accessibility& ax, Screens& screens,
                                       const AXElement& element) {
    const auto frame = elementFrame(ax, screens, element);
    if (!frame)
        return std::nullopt;
    return Rect{frame->minX(), frame->minY(), frame->width,
                std::clamp(frame->height, kMinimumTextHeight, kMaximumStripHeight)};
}

}  // namespace mivo::AXTextExtractor
