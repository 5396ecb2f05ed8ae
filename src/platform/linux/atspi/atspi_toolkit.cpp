#include "platform/linux/atspi/atspi_toolkit.hpp"

#include <algorithm>
#include <cmath>

#include "shared/text.hpp"

namespace mivo::linux_desktop {
namespace {

constexpr char32_t kZeroWidthNoBreakSpace = 0xFEFF;
constexpr std::string_view kObjectReplacement = "\xEF\xBF\xBC";  // U+FFFC

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(s[i]) != lower(prefix[i]))
            return false;
    }
    return true;
}

}  // namespace

Toolkit toolkitNamed(std::string_view name, std::string_view version,
                     std::string_view application) {
    if (startsWithNoCase(application, "soffice") || startsWithNoCase(application, "libreoffice"))
        return Toolkit::libreoffice;
    // GTK 2 and 3 answer through ATK ("GTK", older bridges "gail"); GTK 4
    // answers "GTK" itself, with its own version.
    if (startsWithNoCase(name, "gtk") || startsWithNoCase(name, "gail"))
        return version.starts_with("4.") ? Toolkit::gtk4 : Toolkit::gtk;
    if (startsWithNoCase(name, "qt"))
        return Toolkit::qt;
    if (startsWithNoCase(name, "gecko"))
        return Toolkit::gecko;
    if (startsWithNoCase(name, "chromium") || startsWithNoCase(name, "chrome"))
        return Toolkit::chromium;
    return Toolkit::other;
}

std::string_view toolkitLabel(Toolkit toolkit) {
    switch (toolkit) {
        case Toolkit::gtk:
            return "GTK";
        case Toolkit::gtk4:
            return "GTK 4";
        case Toolkit::qt:
            return "Qt";
        case Toolkit::gecko:
            return "Gecko";
        case Toolkit::chromium:
            return "Chromium";
        case Toolkit::libreoffice:
            return "LibreOffice";
        case Toolkit::other:
            break;
    }
    return "other";
}

bool countsUtf16(Toolkit toolkit) {
    return toolkit == Toolkit::qt || toolkit == Toolkit::gecko || toolkit == Toolkit::libreoffice;
}

std::string textFromToolkit(Toolkit toolkit, std::string raw) {
    if (toolkit != Toolkit::gecko)
        return raw;
    // Drop the padding U+FEFF that follows each character outside the BMP;
    // a U+FEFF the user wrote elsewhere stays.
    std::string out;
    out.reserve(raw.size());
    bool afterSupplementary = false;
    std::size_t i = 0;
    while (i < raw.size()) {
        const std::size_t from = i;
        const char32_t c = text::decodeNext(raw, i);
        if (c == kZeroWidthNoBreakSpace && afterSupplementary) {
            afterSupplementary = false;
            continue;
        }
        afterSupplementary = c > 0xFFFF;
        out.append(raw, from, i - from);
    }
    return out;
}

int64_t toolkitLength(Toolkit toolkit, std::string_view value) {
    if (countsUtf16(toolkit))
        return text::utf16Length(value);
    return static_cast<int64_t>(text::toCodePoints(value).size());
}

std::optional<ToolkitRange> toToolkitRange(Toolkit toolkit, std::string_view value,
                                           Utf16Range range) {
    if (range.location < 0 || range.length < 0)
        return std::nullopt;
    // Validated in either case: an offset between the halves of a pair
    // would split a character.
    const auto start = text::utf16ToCodePointOffset(value, range.location);
    const auto end = text::utf16ToCodePointOffset(value, range.end());
    if (!start || !end)
        return std::nullopt;
    if (countsUtf16(toolkit))
        return ToolkitRange{range.location, range.end()};
    return ToolkitRange{*start, *end};
}

Utf16Range fromToolkitRange(Toolkit toolkit, std::string_view value, ToolkitRange range) {
    const int64_t count = toolkitLength(toolkit, value);
    int64_t start = std::clamp<int64_t>(std::min(range.start, range.end), 0, count);
    int64_t end = std::clamp<int64_t>(std::max(range.start, range.end), 0, count);
    if (countsUtf16(toolkit)) {
        // An offset between the halves of a pair widens to the whole pair.
        while (start > 0 && !text::utf16ToCodePointOffset(value, start))
            --start;
        while (end < count && !text::utf16ToCodePointOffset(value, end))
            ++end;
        return Utf16Range{start, end - start};
    }
    const int64_t from = *text::codePointToUtf16Offset(value, start);
    const int64_t to = *text::codePointToUtf16Offset(value, end);
    return Utf16Range{from, to - from};
}

std::optional<int64_t> insertionLength(Toolkit toolkit, std::string_view insert) {
    switch (toolkit) {
        case Toolkit::gtk:
        case Toolkit::gtk4:
        case Toolkit::libreoffice:  // its ATK bridge reads UTF-8 bytes
            return static_cast<int64_t>(insert.size());
        case Toolkit::qt:
            return text::utf16Length(insert);
        case Toolkit::gecko:
        case Toolkit::chromium:
        case Toolkit::other:
            break;
    }
    return std::nullopt;
}

bool editableTextWorks(Toolkit toolkit) {
    return toolkit == Toolkit::gtk || toolkit == Toolkit::gtk4 || toolkit == Toolkit::qt ||
           toolkit == Toolkit::libreoffice;
}

bool writesWholeValue(Toolkit toolkit) {
    // GTK 4 sets a whole text as an action that cannot be undone: the
    // buffer's undo history is cleared with it.
    return editableTextWorks(toolkit) && toolkit != Toolkit::libreoffice &&
           toolkit != Toolkit::gtk4;
}

bool mayAnswerStalePositions(Toolkit toolkit) {
    return toolkit == Toolkit::libreoffice;
}

WriteRouteTrust writeRouteTrustOf(Toolkit toolkit) {
    switch (toolkit) {
        case Toolkit::gtk:
        case Toolkit::gtk4:
        case Toolkit::qt:
        case Toolkit::libreoffice:
            return WriteRouteTrust{.wholeValue = writesWholeValue(toolkit),
                                   .range = true,
                                   .formatting = toolkit == Toolkit::libreoffice};
        case Toolkit::gecko:
        case Toolkit::chromium:
        case Toolkit::other:
            // EditableText is refused there anyway; the selection and
            // paste routes do the work.
            return WriteRouteTrust{.wholeValue = true,
                                   .range = false,
                                   .caretWhileWriting = toolkit != Toolkit::chromium};
    }
    return {};
}

ToolkitRange selectionFromReport(Toolkit toolkit, std::string_view value,
                                 std::optional<ToolkitRange> reported, int64_t caret,
                                 const std::optional<OurSelection>& made) {
    const bool selected = reported && reported->end != reported->start;
    if (toolkit != Toolkit::chromium)
        return selected ? *reported : ToolkitRange{caret, caret};
    // Undo the second conversion: the reported code point offset is where
    // the true offset, read as a UTF-16 unit, falls.
    const auto undo = [&](int64_t offset) {
        return text::codePointToUtf16Offset(value, offset).value_or(offset);
    };
    const std::optional<ToolkitRange> undone =
        selected ? std::optional(ToolkitRange{undo(reported->start), undo(reported->end)})
                 : std::nullopt;
    const std::optional<ToolkitRange> ours =
        made && made->value == value ? std::optional(made->range) : std::nullopt;
    if (ours && ours->end > ours->start && (ours->end == caret || ours->start == caret) &&
        (!undone || *undone == *ours))
        return *ours;
    return undone.value_or(ToolkitRange{caret, caret});
}

bool answersScreenCoordinates(Toolkit toolkit) {
    return toolkit != Toolkit::gtk4;
}

bool answersRangeExtents(Toolkit toolkit) {
    return toolkit == Toolkit::gtk || toolkit == Toolkit::qt || toolkit == Toolkit::libreoffice ||
           toolkit == Toolkit::other;
}

bool looksStale(const Rect& onScreen, Point windowOffset, const Rect& window) {
    // A pixel of slack: toolkits round differently.
    constexpr double kSlack = 1;
    const bool inside = onScreen.x >= window.x - kSlack && onScreen.y >= window.y - kSlack &&
                        onScreen.maxX() <= window.maxX() + kSlack &&
                        onScreen.maxY() <= window.maxY() + kSlack;
    if (!inside)
        return true;
    const bool windowAtOrigin = std::abs(window.x) < kSlack && std::abs(window.y) < kSlack;
    const bool placedAtOrigin =
        std::abs(windowOffset.x) < kSlack && std::abs(windowOffset.y) < kSlack;
    return placedAtOrigin && !windowAtOrigin;
}

std::optional<Rect> flatBoxRepaired(const Rect& box, double lineHeight, double lineStartX,
                                    const Rect& field) {
    // Widgets keep their text this close to their left edge (QTextEdit's
    // document margin and frame); a line that starts further in was moved.
    constexpr double kWidgetPadding = 16;
    constexpr double kPadding = 1;
    if (lineHeight <= 0 || box.width < 0)
        return std::nullopt;
    Rect out = box;
    out.height = lineHeight;
    const double inset = lineStartX - field.x;
    if (inset > kWidgetPadding)
        out.x -= inset - kPadding;
    const bool inside = out.x >= field.x - kPadding && out.maxX() <= field.maxX() + kPadding &&
                        out.y >= field.y - kPadding && out.maxY() <= field.maxY() + kPadding;
    if (!inside)
        return std::nullopt;
    return out;
}

bool repliesToAddSelection(Toolkit toolkit) {
    return toolkit != Toolkit::gtk4;
}

ToolkitRange extentsQuery(Toolkit toolkit, std::string_view value, ToolkitRange range) {
    if (toolkit != Toolkit::qt || range.end <= range.start)
        return range;
    // Qt includes the character at the end offset: end at the start of the
    // last character of the range instead (a pair's first half).
    int64_t last = range.end - 1;
    while (last > range.start && !text::utf16ToCodePointOffset(value, last))
        --last;
    return ToolkitRange{range.start, last};
}

bool holdsEmbeddedObjects(std::string_view text) {
    return text.find(kObjectReplacement) != std::string_view::npos;
}

}  // namespace mivo::linux_desktop
