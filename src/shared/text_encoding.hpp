#pragma once

// Unicode scalars in their encodings: UTF-8 decoding and encoding, UTF-16
// conversions, and offsets counted in code points or UTF-16 units.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mivo::text {

// Code points and encodings.
bool isValidUtf8(std::string_view s);
std::u32string toCodePoints(std::string_view s);
std::string fromCodePoints(std::u32string_view s);
std::u16string toUtf16(std::string_view s);
std::string fromUtf16(std::u16string_view s);
std::string fromCodePoint(char32_t c);
// The code point starting at byte `i`, advancing `i`; U+FFFD for bad bytes.
char32_t decodeNext(std::string_view s, std::size_t& i);

int64_t utf16Length(std::string_view s);
int64_t codePointLength(std::string_view s);
// Byte offset of a UTF-16 offset; nothing inside a surrogate pair or past the end.
std::optional<std::size_t> utf16ToByteOffset(std::string_view s, int64_t utf16Offset);
// Code points <-> UTF-16 offsets over a given text, for interfaces that count
// code points. Nothing past the end, and nothing for a UTF-16 offset inside a
// surrogate pair.
std::optional<int64_t> codePointToUtf16Offset(std::string_view s, int64_t codePointOffset);
std::optional<int64_t> utf16ToCodePointOffset(std::string_view s, int64_t utf16Offset);

}  // namespace mivo::text
