#include <algorithm>

#include "field/ax_text_extractor.hpp"
#include "platform/ax_reads.hpp"
#include "shared/text.hpp"

namespace mivo::AXTextExtractor {
namespace {

// Static text is looked for down to six levels below the element.
constexpr int kStaticTextMaxDepth = 5;

bool isInvalidElement(const AXResult& r) {
    return !r && r.error() == AXError::invalidUIElement;
}

}  // namespace

std::optional<ExtractedText> readText(Accessibility& ax, const AXElement& element,
                                      int64_t windowCharsAroundCaret) {
    const AXResult value = ax.copyAttributeValue(element, kAXValueAttribute);
    if (isInvalidElement(value))
        return std::nullopt;
    if (value) {
        if (auto s = value->asString(); s && !s->empty())
            return ExtractedText{std::move(*s), ExtractedText::Source::value, 0};
    }

    const AXResult selection = ax.copyAttributeValue(element, kAXSelectedTextRangeAttribute);
    if (isInvalidElement(selection))
        return std::nullopt;
    if (const auto range = selection ? selection->asRange() : std::nullopt) {
        // Half a window on each side of the selection's start.
        const int64_t caret = range->location;
        const int64_t half = std::max<int64_t>(1, windowCharsAroundCaret / 2);
        const int64_t start = std::max<int64_t>(0, caret - half);
        const Utf16Range window{start, caret - start + half};
        const AXResult s = ax.copyParameterizedAttributeValue(
            element, kAXStringForRangeParameterizedAttribute, AXValue(window));
        if (auto text = s ? s->asString() : std::nullopt; text && !text->empty())
            return ExtractedText{std::move(*text), ExtractedText::Source::caretWindow, start};
    }
    return ExtractedText{assembleTextFromChildren(ax, element, 0),
                         ExtractedText::Source::staticText, 0};
}

std::optional<std::string> extractText(Accessibility& ax, const AXElement& element,
                                       int64_t windowCharsAroundCaret) {
    auto r = readText(ax, element, windowCharsAroundCaret);
    if (!r)
        return std::nullopt;
    return std::move(r->text);
}

std::optional<int64_t> caretOffset(Accessibility& ax, const AXElement& element,
                                   int64_t fullTextLength) {
    const auto range = selectedTextRange(ax, element);
    if (!range)
        return std::nullopt;
    return std::min(range->end(), fullTextLength);
}

std::optional<Utf16Range> selectedTextRange(Accessibility& ax, const AXElement& element) {
    return readRange(ax, element, kAXSelectedTextRangeAttribute);
}

std::optional<std::string> stringForRange(Accessibility& ax, Utf16Range range,
                                          const AXElement& element) {
    const AXResult r = ax.copyParameterizedAttributeValue(
        element, kAXStringForRangeParameterizedAttribute, AXValue(range));
    auto s = r ? r->asString() : std::nullopt;
    if (!s || text::trimWhitespaceAndNewlines(*s).empty())
        return std::nullopt;
    return s;
}

std::vector<std::pair<AXElement, std::string>> rawStaticTextFragments(Accessibility& ax,
                                                                      const AXElement& element,
                                                                      int depth) {
    std::vector<std::pair<AXElement, std::string>> out;
    if (depth > kStaticTextMaxDepth)
        return out;
    const auto children = readElements(ax, element, kAXChildrenAttribute);
    if (!children)
        return out;
    for (const AXElement& child : *children) {
        if (readString(ax, child, kAXRoleAttribute) == kAXStaticTextRole) {
            // A static text is a leaf for this walk, even when it is empty.
            if (auto value = readString(ax, child, kAXValueAttribute); value && !value->empty())
                out.emplace_back(child, std::move(*value));
            continue;
        }
        auto below = rawStaticTextFragments(ax, child, depth + 1);
        std::move(below.begin(), below.end(), std::back_inserter(out));
    }
    return out;
}

std::string assembleTextFromChildren(Accessibility& ax, const AXElement& element, int depth) {
    std::string joined;
    bool first = true;
    for (const auto& [child, text] : rawStaticTextFragments(ax, element, depth)) {
        if (!first)
            joined += '\n';
        joined += text;
        first = false;
    }
    return joined;
}

std::vector<TextFragment> textFragments(Accessibility& ax, const AXElement& element) {
    std::vector<TextFragment> out;
    int64_t start = 0;
    for (auto& [child, text] : rawStaticTextFragments(ax, element, 0)) {
        const int64_t end = start + text::characterCount(text);
        out.push_back(TextFragment{child, std::move(text), TextRange{start, end}});
        // The joining line feed takes one Character.
        start = end + 1;
    }
    return out;
}

}  // namespace mivo::AXTextExtractor
