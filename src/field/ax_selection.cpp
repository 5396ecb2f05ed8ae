#include <algorithm>
#include <array>

#include "field/ax_text_extractor.hpp"
#include "platform/ax_reads.hpp"
#include "shared/text.hpp"

namespace mivo::AXTextExtractor {
namespace {

bool isBlank(std::string_view s) {
    return text::trimWhitespaceAndNewlines(s).empty();
}

int64_t sentenceEndCount(std::string_view s) {
    const auto characters = text::characters(s);
    return std::count_if(characters.begin(), characters.end(),
                         [](const std::string& c) { return isSentenceEnd(c); });
}

bool isLineBreak(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// Non-empty pieces between line breaks.
int64_t lineCount(std::string_view s) {
    int64_t lines = 0;
    bool inLine = false;
    for (std::size_t i = 0; i < s.size();) {
        if (isLineBreak(text::decodeNext(s, i))) {
            inLine = false;
        } else if (!inLine) {
            inLine = true;
            ++lines;
        }
    }
    return lines;
}

// Only the reading is trimmed: an expected text with white space of its own
// must be read exactly.
bool readsAs(std::string_view reading, std::string_view expected) {
    return text::canonicallyEqual(reading, expected) ||
           text::canonicallyEqual(text::trimWhitespaceAndNewlines(reading), expected);
}

void addIfPresent(std::vector<std::string>& list, std::optional<std::string> s) {
    if (s)
        list.push_back(std::move(*s));
}

}  // namespace

bool isSentenceEnd(std::string_view character) {
    static constexpr std::array<std::string_view, 5> kEnds{"。", "！", "？", "!", "?"};
    return std::find(kEnds.begin(), kEnds.end(), character) != kEnds.end();
}

std::optional<std::string> selectedText(Accessibility& ax, const AXElement& element) {
    // Readings whose offsets are the element's own, ranked against each other.
    std::vector<std::string> aligned;
    // Cut out of a text whose offsets need not be the element's (static text
    // joined from the children): only a last resort, so that a guess never
    // outranks what the selection itself reads.
    std::vector<std::string> unaligned;

    if (auto s = readString(ax, element, kAXSelectedTextAttribute); s && !isBlank(*s))
        aligned.push_back(std::move(*s));
    const auto range = selectedTextRange(ax, element);
    if (range && range->length >= 1) {
        addIfPresent(aligned, stringForRange(ax, *range, element));
        if (const auto read = readText(ax, element, defaultWindowCharsAroundCaret)) {
            switch (read->source) {
                case ExtractedText::Source::value:
                    addIfPresent(aligned, selectedText(read->text, *range));
                    break;
                case ExtractedText::Source::caretWindow:
                    // The window starts at its own offset in the value.
                    if (range->location >= read->utf16Start) {
                        const Utf16Range local{range->location - read->utf16Start, range->length};
                        addIfPresent(aligned, selectedText(read->text, local));
                    }
                    break;
                case ExtractedText::Source::staticText:
                    addIfPresent(unaligned, selectedText(read->text, *range));
                    break;
            }
        }
        addIfPresent(unaligned, selectedText(assembleTextFromChildren(ax, element, 0), *range));
    }
    if (auto best = bestSelectedTextCandidate(aligned))
        return best;
    return bestSelectedTextCandidate(unaligned);
}

std::optional<std::string> selectedText(std::string_view text, Utf16Range range) {
    if (text.empty() || range.location < 0 || range.length < 0)
        return std::nullopt;
    const auto from = text::utf16ToByteOffset(text, range.location);
    const auto to = text::utf16ToByteOffset(text, range.end());
    if (!from || !to)
        return std::nullopt;
    std::string part(text.substr(*from, *to - *from));
    // A sentence end right after the selection belongs to the sentence the
    // user selected.
    const std::string next = text::characterPrefix(text.substr(*to), 1);
    if (isSentenceEnd(next) && (part.empty() || !isSentenceEnd(text::characterSuffix(part, 1))))
        part += next;
    if (isBlank(part))
        return std::nullopt;
    return part;
}

std::optional<std::string> bestSelectedTextCandidate(const std::vector<std::string>& candidates) {
    std::optional<std::string> best;
    for (const auto& candidate : candidates) {
        std::string trimmed = text::trimWhitespaceAndNewlines(candidate);
        if (trimmed.empty())
            continue;
        if (!best) {
            best = std::move(trimmed);
            continue;
        }
        const auto ends = sentenceEndCount(trimmed);
        const auto bestEnds = sentenceEndCount(*best);
        if (ends != bestEnds) {
            if (ends > bestEnds)
                best = std::move(trimmed);
            continue;
        }
        const auto lines = lineCount(trimmed);
        const auto bestLines = lineCount(*best);
        if (lines != bestLines) {
            if (lines > bestLines)
                best = std::move(trimmed);
            continue;
        }
        if (text::characterCount(trimmed) > text::characterCount(*best))
            best = std::move(trimmed);
    }
    return best;
}

bool selectionReadsAs(Accessibility& ax, const AXElement& element, std::string_view expected) {
    if (const auto s = readString(ax, element, kAXSelectedTextAttribute);
        s && readsAs(*s, expected))
        return true;
    const auto s = selectedText(ax, element);
    return s && readsAs(*s, expected);
}

bool selectedRangeReadsAs(Accessibility& ax, const AXElement& element, Utf16Range range,
                          std::string_view expected) {
    if (const auto s = readString(ax, element, kAXSelectedTextAttribute);
        s && readsAs(*s, expected))
        return true;
    const auto s = stringForRange(ax, range, element);
    return s && readsAs(*s, expected);
}

std::optional<TextTargetRange> targetRange(std::string_view target, std::string_view text,
                                           std::optional<int64_t> caretOffset) {
    const std::string needle = text::trimWhitespaceAndNewlines(target);
    if (needle.empty() || text.empty())
        return std::nullopt;
    const int64_t needleLength = text::characterCount(text::nfc(needle));

    std::optional<std::pair<int64_t, int64_t>> best;  // start, distance
    int64_t searchFrom = 0;
    for (const int64_t s : text::findAll(text, needle)) {
        // Occurrences do not overlap: the next starts after this one's end.
        if (s < searchFrom)
            continue;
        const int64_t e = s + needleLength;
        searchFrom = e;
        int64_t distance = 0;
        if (caretOffset) {
            const int64_t c = *caretOffset;
            distance = s > c ? s - c : (c > e ? c - e : 0);
        }
        if (!best || (caretOffset && distance < best->second))
            best = std::make_pair(s, distance);
    }
    if (!best)
        return std::nullopt;
    const text::CharacterText t{std::string(text)};
    const int64_t location = t.utf16Offset(best->first);
    return TextTargetRange{
        best->first, needleLength,
        Utf16Range{location, t.utf16Offset(best->first + needleLength) - location}};
}

}  // namespace mivo::AXTextExtractor
