#include "platform/linux/atspi/atspi_text.hpp"

#include <algorithm>
#include <map>

#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/gobject_ptr.hpp"
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

Rect toRect(const AtspiRect& r, bool keepFlat = false) {
    // A toolkit without geometry answers -1 sizes, one that has not laid
    // the text out yet no height (Chromium: the page's origin, 0 x 0): no
    // answer, to be asked again later. Qt's KTextEditor answers boxes of no
    // height for good: kept, for the caller to mend.
    if (keepFlat && r.width > 0 && r.height == 0)
        return Rect{static_cast<double>(r.x), static_cast<double>(r.y),
                    static_cast<double>(r.width), 0};
    if (r.width < 0 || r.height <= 0)
        return Rect{};
    return Rect{static_cast<double>(r.x), static_cast<double>(r.y), static_cast<double>(r.width),
                static_cast<double>(r.height)};
}

AtspiCoordType coordinatesOf(Toolkit toolkit) {
    return answersScreenCoordinates(toolkit) ? ATSPI_COORD_TYPE_SCREEN : ATSPI_COORD_TYPE_WINDOW;
}

std::expected<Rect, AXError> characterExtents(const ToolkitText& t, int64_t offset) {
    GErrorSlot error;
    GFreePtr<AtspiRect> r(atspi_text_get_character_extents(t.text, toGint(offset),
                                                           coordinatesOf(t.toolkit), error.out()));
    if (error.failed())
        return failure(error);
    return r != nullptr ? toRect(*r, t.toolkit == Toolkit::qt) : Rect{};
}

// The characters asked one by one, the first and last few of a long range.
std::expected<Rect, AXError> unionOfCharacters(const ToolkitText& t, ToolkitRange range) {
    constexpr int64_t kEachEnd = 32;
    std::optional<Rect> all;
    for (int64_t i = range.start; i < range.end; ++i) {
        if (i == range.start + kEachEnd && range.end - kEachEnd > i)
            i = range.end - kEachEnd;
        auto r = characterExtents(t, i);
        // One character not laid out yet leaves the whole range unknown.
        if (!r || r->isZero())
            return r;
        all = all ? all->united(*r) : *r;
    }
    return all.value_or(Rect{});
}

// AddSelection without waiting for the reply some toolkits never send; the
// next call on the same connection is answered after it was handled.
AXError addSelectionUnanswered(const ToolkitText& t, ToolkitRange range) {
    DBusConnection* bus = atspi_get_a11y_bus();
    const AtspiObject* object = ATSPI_OBJECT(t.accessible);
    if (bus == nullptr || object->app == nullptr || object->app->bus_name == nullptr ||
        object->path == nullptr)
        return AXError::cannotComplete;
    // A selection that is already there would be kept: the caret drops it.
    GErrorSlot caretError;
    atspi_text_set_caret_offset(t.text, toGint(range.start), caretError.out());
    DBusMessage* message = dbus_message_new_method_call(object->app->bus_name, object->path,
                                                        "org.a11y.atspi.Text", "AddSelection");
    if (message == nullptr)
        return AXError::cannotComplete;
    dbus_int32_t start = toGint(range.start);
    dbus_int32_t end = toGint(range.end);
    dbus_message_append_args(message, DBUS_TYPE_INT32, &start, DBUS_TYPE_INT32, &end,
                             DBUS_TYPE_INVALID);
    dbus_message_set_no_reply(message, TRUE);
    const bool sent = dbus_connection_send(bus, message, nullptr);
    dbus_message_unref(message);
    if (!sent)
        return AXError::cannotComplete;
    dbus_connection_flush(bus);
    GErrorSlot error;
    GFreePtr<AtspiRange> now(atspi_text_get_selection(t.text, 0, error.out()));
    if (error.failed())
        return errorForFailure(error.message());
    return now != nullptr && now->start_offset == range.start && now->end_offset == range.end
               ? AXError::success
               : AXError::cannotComplete;
}

}  // namespace

void requestCaretUnanswered(AtspiAccessible* accessible, int64_t offset) {
    DBusConnection* bus = atspi_get_a11y_bus();
    const AtspiObject* object = ATSPI_OBJECT(accessible);
    if (bus == nullptr || object->app == nullptr || object->app->bus_name == nullptr ||
        object->path == nullptr)
        return;
    // Some editors (KWrite) keep a selection when only the caret moves.
    const auto send = [&](const char* method, dbus_int32_t argument) {
        DBusMessage* message = dbus_message_new_method_call(object->app->bus_name, object->path,
                                                            "org.a11y.atspi.Text", method);
        if (message == nullptr)
            return;
        dbus_message_append_args(message, DBUS_TYPE_INT32, &argument, DBUS_TYPE_INVALID);
        dbus_message_set_no_reply(message, TRUE);
        dbus_connection_send(bus, message, nullptr);
        dbus_message_unref(message);
    };
    send("RemoveSelection", 0);
    send("SetCaretOffset", toGint(offset));
    dbus_connection_flush(bus);
}

Toolkit toolkitOf(AtspiAccessible* accessible) {
    // The application's root is found by walking up the tree, a call per
    // level: the answer is kept per application (its unique bus name).
    static std::map<std::string, Toolkit, std::less<>> known;
    const std::string bus = busNameOf(accessible);
    if (const auto it = known.find(bus); it != known.end() && bus.starts_with(':'))
        return it->second;
    auto toolkit = askToolkit(accessible);
    if (toolkit && bus.starts_with(':')) {
        if (known.size() > 512)
            known.clear();
        known.emplace(bus, *toolkit);
    }
    return toolkit.value_or(Toolkit::other);
}

std::optional<Toolkit> askToolkit(AtspiAccessible* accessible) {
    // libatspi keeps both names per application: no call after the first.
    GErrorSlot error;
    auto name = takeString(atspi_accessible_get_toolkit_name(accessible, error.out()));
    if (error.failed() || !name)
        return std::nullopt;
    GErrorSlot versionError;
    auto version = takeString(atspi_accessible_get_toolkit_version(accessible, versionError.out()));
    // The application's name, kept by libatspi like the toolkit's.
    std::optional<std::string> application;
    GErrorSlot appError;
    GObjectPtr<AtspiAccessible> app(atspi_accessible_get_application(accessible, appError.out()));
    if (app != nullptr) {
        GErrorSlot nameError;
        application = takeString(atspi_accessible_get_name(app.get(), nameError.out()));
    }
    return toolkitNamed(*name, version.value_or(""), application.value_or(""));
}

std::expected<std::string, AXError> readText(const ToolkitText& t) {
    GErrorSlot countError;
    const gint count = atspi_text_get_character_count(t.text, countError.out());
    if (countError.failed())
        return failure(countError);
    if (count <= 0)
        return std::string();
    // Ask for the counted end rather than -1: GTK 4's entry answers "" for
    // -1, and Qt's count is of UTF-16 units, which its end offset takes.
    GErrorSlot error;
    auto value = takeString(atspi_text_get_text(t.text, 0, count, error.out()));
    if (error.failed())
        return failure(error);
    if (!value)
        return std::unexpected(AXError::noValue);
    return textFromToolkit(t.toolkit, std::move(*value));
}

std::expected<ToolkitRange, AXError> readSelection(const ToolkitText& t, std::string_view value,
                                                   const std::optional<OurSelection>& ours) {
    GErrorSlot countError;
    const gint selections = atspi_text_get_n_selections(t.text, countError.out());
    if (countError.failed())
        return failure(countError);
    std::optional<ToolkitRange> reported;
    if (selections > 0) {
        GErrorSlot error;
        GFreePtr<AtspiRange> range(atspi_text_get_selection(t.text, 0, error.out()));
        if (error.failed())
            return failure(error);
        if (range != nullptr) {
            reported = ToolkitRange{std::min(range->start_offset, range->end_offset),
                                    std::max(range->start_offset, range->end_offset)};
        }
    }
    // The caret is needed where there is no selection, and always in
    // Chromium, whose selection reports need it.
    if (reported && reported->end != reported->start && t.toolkit != Toolkit::chromium)
        return *reported;
    GErrorSlot caretError;
    const gint caret = atspi_text_get_caret_offset(t.text, caretError.out());
    if (caretError.failed())
        return failure(caretError);
    if (caret < 0)
        return std::unexpected(AXError::noValue);
    return selectionFromReport(t.toolkit, value, reported, caret, ours);
}

std::expected<Rect, AXError> rangeExtents(const ToolkitText& t, const std::string& value,
                                          ToolkitRange range) {
    const int64_t characterCount = toolkitLength(t.toolkit, value);
    if (range.end > range.start) {
        const ToolkitRange query = extentsQuery(t.toolkit, value, range);
        // Qt answers nothing for a range whose ends meet: one character is
        // its character extents.
        if (query.end == query.start)
            return characterExtents(t, query.start);
        if (!answersRangeExtents(t.toolkit))
            return unionOfCharacters(t, query);
        GErrorSlot error;
        GFreePtr<AtspiRect> r(atspi_text_get_range_extents(
            t.text, toGint(query.start), toGint(query.end), ATSPI_COORD_TYPE_SCREEN, error.out()));
        if (error.failed())
            return failure(error);
        return r != nullptr ? toRect(*r, t.toolkit == Toolkit::qt) : Rect{};
    }
    // ATK refuses an empty range (GTK logs a critical and answers zeros), so
    // the caret bar comes from the Character at the offset, or from the
    // right edge of the one before it at the end of the text.
    if (characterCount <= 0)
        return Rect{};
    const bool atEnd = range.start >= characterCount;
    int64_t offset = atEnd ? characterCount - 1 : range.start;
    // In UTF-16 counting toolkits the last unit may be a pair's second half.
    if (atEnd && countsUtf16(t.toolkit) && !text::utf16ToCodePointOffset(value, offset))
        --offset;
    auto bar = characterExtents(t, offset);
    if (!bar || bar->isZero())
        return bar;
    if (atEnd)
        bar->x += bar->width;
    bar->width = 0;
    return bar;
}

std::optional<Point> answeredWindowOffset(const ToolkitText& t, int64_t offset) {
    const auto extentsIn = [&](AtspiCoordType type) -> std::optional<Rect> {
        GErrorSlot error;
        GFreePtr<AtspiRect> r(
            atspi_text_get_character_extents(t.text, toGint(offset), type, error.out()));
        if (error.failed() || r == nullptr)
            return std::nullopt;
        const Rect rect = toRect(*r);
        return rect.isZero() ? std::nullopt : std::optional(rect);
    };
    const auto screen = extentsIn(ATSPI_COORD_TYPE_SCREEN);
    const auto window = screen ? extentsIn(ATSPI_COORD_TYPE_WINDOW) : std::nullopt;
    if (!screen || !window)
        return std::nullopt;
    return Point{screen->x - window->x, screen->y - window->y};
}

namespace {

// A caret and nothing selected: every selection dropped first, since
// LibreOffice moves only the selection's moving end when a caret is placed
// (the rest stays selected, and the next key replaces it).
AXError placeCaret(const ToolkitText& t, int64_t offset) {
    GErrorSlot countError;
    const gint selections = atspi_text_get_n_selections(t.text, countError.out());
    if (countError.failed())
        return errorForFailure(countError.message());
    for (gint i = selections - 1; i >= 0; --i) {
        GErrorSlot removeError;
        atspi_text_remove_selection(t.text, i, removeError.out());
    }
    GErrorSlot error;
    const gboolean ok = atspi_text_set_caret_offset(t.text, toGint(offset), error.out());
    return status(error, ok);
}

}  // namespace

AXError selectRange(const ToolkitText& t, ToolkitRange range) {
    if (range.end == range.start)
        return placeCaret(t, range.start);
    if (!repliesToAddSelection(t.toolkit))
        return addSelectionUnanswered(t, range);
    GErrorSlot error;
    gboolean ok =
        atspi_text_set_selection(t.text, 0, toGint(range.start), toGint(range.end), error.out());
    if (error.failed() || !ok) {
        // GTK answers false to set_selection while there is no selection
        // yet; adding one is the way to make the first.
        GErrorSlot addError;
        ok = atspi_text_add_selection(t.text, toGint(range.start), toGint(range.end),
                                      addError.out());
        return status(addError, ok);
    }
    return AXError::success;
}

AXError replaceRange(const ToolkitText& t, AtspiEditableText* editable, ToolkitRange range,
                     const std::string& insert) {
    // Refused before anything is deleted: a delete whose insert cannot
    // follow would lose the user's text.
    const auto length = insertionLength(t.toolkit, insert);
    if (!insert.empty() && !length)
        return AXError::attributeUnsupported;
    // The new text goes in behind the old before the old goes: inserted
    // text takes the format of the character before it, which is then the
    // replaced text's own, not that of a bold word in front of it.
    const int64_t inserted = toolkitLength(t.toolkit, insert);
    if (!insert.empty()) {
        GErrorSlot error;
        const gboolean ok = atspi_editable_text_insert_text(
            editable, toGint(range.end), insert.c_str(), toGint(*length), error.out());
        if (AXError e = status(error, ok); e != AXError::success)
            return e;
    }
    if (range.end > range.start) {
        GErrorSlot error;
        const gboolean ok = atspi_editable_text_delete_text(editable, toGint(range.start),
                                                            toGint(range.end), error.out());
        if (AXError e = status(error, ok); e != AXError::success) {
            // Never both texts: the new one goes out again.
            GErrorSlot undoError;
            atspi_editable_text_delete_text(editable, toGint(range.end),
                                            toGint(range.end + inserted), undoError.out());
            return e;
        }
    }
    // The caret goes after the inserted text, as typing would leave it, and
    // the selection made for the write goes (it would now hold the
    // correction); the text is in, so a toolkit that will not do so is no
    // failure.
    placeCaret(t, range.start + inserted);
    return AXError::success;
}

AXError replaceAll(const ToolkitText& t, AtspiEditableText* editable, const std::string& current,
                   const std::string& value) {
    if (!writesWholeValue(t.toolkit))
        return AXError::attributeUnsupported;
    if (holdsEmbeddedObjects(current) || holdsEmbeddedObjects(value))
        return AXError::cannotComplete;
    GErrorSlot error;
    const gboolean ok = atspi_editable_text_set_text_contents(editable, value.c_str(), error.out());
    return status(error, ok);
}

}  // namespace mivo::linux_desktop
