#pragma once

// Plain code points: those that are a Character on their own whatever stands
// around them and are in NFC. Japanese prose is nearly all of them, so the
// Character splitter and the NFC check read them off the bytes without ICU.
// Defined here, inline: every Character of every analysed sentence passes
// through plainCodePointLength.

#include <cstddef>
#include <string_view>

namespace mivo::text {

// A code point that is a Character on its own whatever stands around it and
// is in NFC, neither decomposing nor composing with a neighbour: Latin
// below U+0300, kana and CJK punctuation (not the combining voiced marks and
// tone marks), CJK ideographs, full-width and half-width forms (not the
// half-width voiced marks). Text of these alone needs no Unicode tables.
inline bool isPlainCodePoint(char32_t c) {
    if (c < 0x300)
        return true;
    if (c >= 0x3000 && c <= 0x30FF)  // CJK symbols, kana
        return !(c >= 0x302A && c <= 0x302F) && c != 0x3099 && c != 0x309A;
    if ((c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF))  // ideographs
        return true;
    if (c >= 0xFF01 && c <= 0xFFEF)  // full-width and half-width forms
        return c != 0xFF9E && c != 0xFF9F;
    return c == 0xFFFD;
}

// The length of the plain code point whose UTF-8 starts at `i`, or 0 for
// any other, bad bytes included.
inline std::size_t plainCodePointLength(std::string_view s, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80)
        return 1;
    if (b0 >= 0xC2 && b0 <= 0xCB) {  // U+0080 to U+02FF
        return i + 1 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80 ? 2 : 0;
    }
    if ((b0 & 0xF0) != 0xE0 || i + 2 >= s.size())
        return 0;
    const auto b1 = static_cast<unsigned char>(s[i + 1]);
    const auto b2 = static_cast<unsigned char>(s[i + 2]);
    if ((b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80)
        return 0;
    const char32_t c = (char32_t(b0 & 0x0F) << 12) | (char32_t(b1 & 0x3F) << 6) | (b2 & 0x3F);
    return c >= 0x800 && isPlainCodePoint(c) ? 3 : 0;
}

}  // namespace mivo::text
