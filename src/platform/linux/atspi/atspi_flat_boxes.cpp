#include "platform/linux/atspi/atspi_flat_boxes.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/linux/atspi/gobject_ptr.hpp"
#include "shared/text.hpp"

namespace mivo::linux_desktop {
namespace {

// A line is this much taller than its widest full-width character, where
// nothing better tells its height; never below a readable box.
constexpr double kLineToCharacter = 1.3;
constexpr double kMinimumLineHeight = 16;

struct GFreeRect {
    void operator()(AtspiRect* r) const { g_free(r); }
};

std::optional<Rect> screenBox(AtspiText* text, int64_t offset) {
    GErrorSlot error;
    std::unique_ptr<AtspiRect, GFreeRect> r(atspi_text_get_character_extents(
        text, static_cast<gint>(offset), ATSPI_COORD_TYPE_SCREEN, error.out()));
    if (error.failed() || r == nullptr || r->width < 0 || r->height < 0)
        return std::nullopt;
    return Rect{static_cast<double>(r->x), static_cast<double>(r->y), static_cast<double>(r->width),
                static_cast<double>(r->height)};
}

std::optional<Rect> fieldFrame(AtspiAccessible* accessible) {
    GObjectPtr<AtspiComponent> component(atspi_accessible_get_component_iface(accessible));
    if (component == nullptr)
        return std::nullopt;
    GErrorSlot error;
    std::unique_ptr<AtspiRect, GFreeRect> r(
        atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, error.out()));
    if (error.failed() || r == nullptr || r->width <= 0 || r->height <= 0)
        return std::nullopt;
    return Rect{static_cast<double>(r->x), static_cast<double>(r->y), static_cast<double>(r->width),
                static_cast<double>(r->height)};
}

// Toolkit offsets of the starts of the line holding `offset` and of the
// lines before and after it (nothing where there is none).
struct Lines {
    int64_t start = 0;
    std::optional<int64_t> previousStart;
    std::optional<int64_t> nextStart;
};

Lines linesAround(Toolkit toolkit, const std::string& value, int64_t offset) {
    std::vector<int64_t> starts{0};
    int64_t at = 0;
    std::size_t i = 0;
    while (i < value.size()) {
        const std::size_t from = i;
        const char32_t c = text::decodeNext(value, i);
        at += toolkitLength(toolkit, std::string_view(value).substr(from, i - from));
        if (c == U'\n')
            starts.push_back(at);
    }
    const int64_t length = at;
    Lines lines;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        if (starts[k] > offset)
            break;
        lines.start = starts[k];
        lines.previousStart = k > 0 ? std::optional(starts[k - 1]) : std::nullopt;
        lines.nextStart = k + 1 < starts.size() && starts[k + 1] < length
                              ? std::optional(starts[k + 1])
                              : std::nullopt;
    }
    return lines;
}

double lineHeight(const ToolkitText& t, ToolkitRange range, const Rect& box, const Lines& lines) {
    // The caret's box, where the editor gives it a height.
    GErrorSlot caretError;
    const gint caret = atspi_text_get_caret_offset(t.text, caretError.out());
    if (!caretError.failed() && caret >= 0) {
        if (const auto bar = screenBox(t.text, caret); bar && bar->height > 0)
            return bar->height;
    }
    // The distance to the next or the previous line.
    const auto top = screenBox(t.text, lines.start);
    for (const auto& other : {lines.nextStart, lines.previousStart}) {
        if (!other || !top)
            continue;
        if (const auto r = screenBox(t.text, *other); r && std::abs(r->y - top->y) >= 1)
            return std::abs(r->y - top->y);
    }
    // The widest character of the range.
    const int64_t count = std::max<int64_t>(1, range.end - range.start);
    return std::max(kMinimumLineHeight, std::round(box.width / count * kLineToCharacter));
}

}  // namespace

std::optional<Rect> mendFlatBox(const ToolkitText& text, const std::string& value,
                                ToolkitRange range, const Rect& box) {
    const auto field = fieldFrame(text.accessible);
    if (!field)
        return std::nullopt;
    const Lines lines = linesAround(text.toolkit, value, range.start);
    const auto first = screenBox(text.text, lines.start);
    if (!first)
        return std::nullopt;
    return flatBoxRepaired(box, lineHeight(text, range, box, lines), first->x, *field);
}

}  // namespace mivo::linux_desktop
