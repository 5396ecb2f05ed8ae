#pragma once

// Text reads and writes over AT-SPI's Text and EditableText interfaces.
// AT-SPI answers UTF-8 and counts offsets in the unit of the toolkit behind
// the object (atspi_toolkit); the ports count UTF-16 code units. Every
// offset crosses between the two here, through the text just read from the
// object, and nowhere else.

#include <atspi/atspi.h>

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ax_value.hpp"
#include "platform/geometry.hpp"
#include "platform/linux/atspi/atspi_toolkit.hpp"

namespace mivo::linux_desktop {

// The object's text interface and the toolkit that answers for it.
struct ToolkitText {
    AtspiText* text = nullptr;
    Toolkit toolkit = Toolkit::other;
    AtspiAccessible* accessible = nullptr;
};

Toolkit toolkitOf(AtspiAccessible* accessible);
// The same asked afresh; nothing when the application does not say.
std::optional<Toolkit> askToolkit(AtspiAccessible* accessible);

std::expected<std::string, AXError> readText(const ToolkitText& text);
// The first selection, else the caret as an empty range; `value` is the
// text just read, `ours` the selection last made in the object, if any.
std::expected<ToolkitRange, AXError> readSelection(const ToolkitText& text, std::string_view value,
                                                   const std::optional<OurSelection>& ours = {});
// AT-SPI screen coordinates (top-left origin, y down), or window
// coordinates where the toolkit answers no others; for an empty range the
// caret bar before the offset. The zero rectangle when the application has
// no geometry for it; a rectangle of no height where Qt's KTextEditor
// answers one (flat_boxes mends it).
std::expected<Rect, AXError> rangeExtents(const ToolkitText& text, const std::string& value,
                                          ToolkitRange range);

// Where the application believes its window is: the screen minus the
// window coordinates of the character at `offset`. Nothing when it has no
// geometry for the character.
std::optional<Point> answeredWindowOffset(const ToolkitText& text, int64_t offset);

AXError selectRange(const ToolkitText& text, ToolkitRange range);
// Asks for the caret at `offset` (the toolkit's unit) without waiting for
// an answer: sent also to an application that does not answer now, which
// handles it after every request of ours that reached it before.
void requestCaretUnanswered(AtspiAccessible* accessible, int64_t offset);
// Puts `insert` in place of `range`, inserted behind it before the range is
// deleted, so that it takes the range's format; refused where the toolkit's
// insert cannot be trusted.
AXError replaceRange(const ToolkitText& text, AtspiEditableText* editable, ToolkitRange range,
                     const std::string& insert);
// Refused when the current or the new text holds embedded objects, and
// where the toolkit's whole-value write loses formatting.
AXError replaceAll(const ToolkitText& text, AtspiEditableText* editable, const std::string& current,
                   const std::string& value);

}  // namespace mivo::linux_desktop
