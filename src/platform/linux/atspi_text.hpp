#pragma once

// Text reads and writes over AT-SPI's Text and EditableText interfaces.
// AT-SPI counts code points and answers UTF-8; the ports count UTF-16 code
// units. Every offset crosses between the two here, through the text just
// read from the object, and nowhere else.

#include <atspi/atspi.h>

#include <cstdint>
#include <expected>
#include <optional>
#include <string>

#include "platform/ax_value.hpp"
#include "platform/geometry.hpp"

namespace mivo::linux_desktop {

// A range of code points, [start, end).
struct CodePointRange {
    int64_t start = 0;
    int64_t end = 0;
    bool operator==(const CodePointRange&) const = default;
};

// Nothing for a range outside the text or with an end inside a surrogate pair.
std::optional<CodePointRange> codePointRange(const std::string& value, Utf16Range range);
// Code points past the end are clamped to it: applications report offsets
// of text they have changed since.
Utf16Range utf16Range(const std::string& value, CodePointRange range);

std::expected<std::string, AXError> readText(AtspiText* text);
// The first selection, else the caret as an empty range.
std::expected<CodePointRange, AXError> readSelection(AtspiText* text);
// AT-SPI screen coordinates (top-left origin, y down); for an empty range
// the caret bar before the offset. The zero rectangle when the application
// has no geometry for it.
std::expected<Rect, AXError> rangeExtents(AtspiText* text, CodePointRange range,
                                          int64_t characterCount);

AXError selectRange(AtspiText* text, CodePointRange range);
AXError replaceRange(AtspiText* text, AtspiEditableText* editable, CodePointRange range,
                     const std::string& insert);
AXError replaceAll(AtspiEditableText* editable, const std::string& value);

}  // namespace mivo::linux_desktop
