#include "platform/linux/atspi_text.hpp"

#include <algorithm>

#include "platform/linux/atspi_element.hpp"
#include "platform/linux/gobject_ptr.hpp"
#include "shared/text.hpp"

namespace mivo::linux_desktop {
namespace {

template <typename T>
struct GFreeDeleter {
    void operator()(T* p) const { g_free(p); }
};
template <typename T>
using GFreePtr = std::unique_ptr<T, GFreeDeleter<T>>;

std::unexpected<AXError> failure(const GErrorSlot& error) {
    return std::unexpected(errorForFailure(error.message()));
}

AXError status(const GErrorSlot& error, gboolean ok) {
    if (error.failed())
        return errorForFailure(error.message());
    return ok ? AXError::success : AXError::cannotComplete;
}

gint toGint(int64_t v) {
    return static_cast<gint>(std::clamp<int64_t>(v, 0, G_MAXINT));
}

}  // namespace

std::optional<CodePointRange> codePointRange(const std::string& value, Utf16Range range) {
    if (range.location < 0 || range.length < 0)
        return std::nullopt;
    const auto start = text::utf16ToCodePointOffset(value, range.location);
    const auto end = text::utf16ToCodePointOffset(value, range.end());
    if (!start || !end)
        return std::nullopt;
    return CodePointRange{*start, *end};
}

Utf16Range utf16Range(const std::string& value, CodePointRange range) {
    const int64_t count = static_cast<int64_t>(text::toCodePoints(value).size());
    const int64_t start = std::clamp<int64_t>(std::min(range.start, range.end), 0, count);
    const int64_t end = std::clamp<int64_t>(std::max(range.start, range.end), 0, count);
    const int64_t from = *text::codePointToUtf16Offset(value, start);
    const int64_t to = *text::codePointToUtf16Offset(value, end);
    return Utf16Range{from, to - from};
}

std::expected<std::string, AXError> readText(AtspiText* text) {
    GErrorSlot countError;
    const gint count = atspi_text_get_character_count(text, countError.out());
    if (countError.failed())
        return failure(countError);
    if (count <= 0)
        return std::string();
    // Ask for the counted end rather than -1: not every toolkit's bridge
    // takes -1 as "to the end".
    GErrorSlot error;
    auto value = takeString(atspi_text_get_text(text, 0, count, error.out()));
    if (error.failed())
        return failure(error);
    if (!value)
        return std::unexpected(AXError::noValue);
    return *value;
}

std::expected<CodePointRange, AXError> readSelection(AtspiText* text) {
    GErrorSlot countError;
    const gint selections = atspi_text_get_n_selections(text, countError.out());
    if (countError.failed())
        return failure(countError);
    if (selections > 0) {
        GErrorSlot error;
        GFreePtr<AtspiRange> range(atspi_text_get_selection(text, 0, error.out()));
        if (error.failed())
            return failure(error);
        if (range != nullptr && range->start_offset != range->end_offset) {
            return CodePointRange{std::min(range->start_offset, range->end_offset),
                                  std::max(range->start_offset, range->end_offset)};
        }
    }
    GErrorSlot caretError;
    const gint caret = atspi_text_get_caret_offset(text, caretError.out());
    if (caretError.failed())
        return failure(caretError);
    if (caret < 0)
        return std::unexpected(AXError::noValue);
    return CodePointRange{caret, caret};
}

std::expected<Rect, AXError> rangeExtents(AtspiText* text, CodePointRange range,
                                          int64_t characterCount) {
    const auto toRect = [](const AtspiRect& r) {
        // A toolkit without geometry answers -1 or 0 sizes: no answer.
        if (r.width < 0 || r.height < 0)
            return Rect{};
        return Rect{static_cast<double>(r.x), static_cast<double>(r.y),
                    static_cast<double>(r.width), static_cast<double>(r.height)};
    };
    if (range.end > range.start) {
        GErrorSlot error;
        GFreePtr<AtspiRect> r(atspi_text_get_range_extents(
            text, toGint(range.start), toGint(range.end), ATSPI_COORD_TYPE_SCREEN, error.out()));
        if (error.failed())
            return failure(error);
        return r != nullptr ? toRect(*r) : Rect{};
    }
    // ATK refuses an empty range (GTK logs a critical and answers zeros), so
    // the caret bar comes from the Character at the offset, or from the
    // right edge of the one before it at the end of the text.
    if (characterCount <= 0)
        return Rect{};
    const bool atEnd = range.start >= characterCount;
    const int64_t offset = atEnd ? characterCount - 1 : range.start;
    GErrorSlot error;
    GFreePtr<AtspiRect> r(atspi_text_get_character_extents(text, toGint(offset),
                                                           ATSPI_COORD_TYPE_SCREEN, error.out()));
    if (error.failed())
        return failure(error);
    if (r == nullptr)
        return Rect{};
    Rect bar = toRect(*r);
    if (bar.isZero())
        return bar;
    if (atEnd)
        bar.x += bar.width;
    bar.width = 0;
    return bar;
}

AXError selectRange(AtspiText* text, CodePointRange range) {
    if (range.end == range.start) {
        // An empty selection is a caret: drop every selection, then place it.
        GErrorSlot countError;
        const gint selections = atspi_text_get_n_selections(text, countError.out());
        if (countError.failed())
            return errorForFailure(countError.message());
        for (gint i = selections - 1; i >= 0; --i) {
            GErrorSlot removeError;
            atspi_text_remove_selection(text, i, removeError.out());
        }
        GErrorSlot error;
        const gboolean ok = atspi_text_set_caret_offset(text, toGint(range.start), error.out());
        return status(error, ok);
    }
    GErrorSlot error;
    gboolean ok =
        atspi_text_set_selection(text, 0, toGint(range.start), toGint(range.end), error.out());
    if (error.failed() || !ok) {
        // GTK answers false to set_selection while there is no selection
        // yet; adding one is the way to make the first.
        GErrorSlot addError;
        ok = atspi_text_add_selection(text, toGint(range.start), toGint(range.end), addError.out());
        return status(addError, ok);
    }
    return AXError::success;
}

AXError replaceRange(AtspiText* text, AtspiEditableText* editable, CodePointRange range,
                     const std::string& insert) {
    if (range.end > range.start) {
        GErrorSlot error;
        const gboolean ok = atspi_editable_text_delete_text(editable, toGint(range.start),
                                                            toGint(range.end), error.out());
        if (AXError e = status(error, ok); e != AXError::success)
            return e;
    }
    if (!insert.empty()) {
        GErrorSlot error;
        const gboolean ok =
            atspi_editable_text_insert_text(editable, toGint(range.start), insert.c_str(),
                                            static_cast<gint>(insert.size()), error.out());
        if (AXError e = status(error, ok); e != AXError::success)
            return e;
    }
    // The caret goes after the inserted text, as typing would leave it; the
    // text is in, so a toolkit that will not move it is no failure.
    const auto inserted = static_cast<int64_t>(text::toCodePoints(insert).size());
    GErrorSlot caretError;
    atspi_text_set_caret_offset(text, toGint(range.start + inserted), caretError.out());
    return AXError::success;
}

AXError replaceAll(AtspiEditableText* editable, const std::string& value) {
    GErrorSlot error;
    const gboolean ok = atspi_editable_text_set_text_contents(editable, value.c_str(), error.out());
    return status(error, ok);
}

}  // namespace mivo::linux_desktop
