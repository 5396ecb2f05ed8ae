#include "shared/text_encoding.hpp"

namespace mivo::text {
namespace {

int utf16Units(char32_t c) {
    return c >= 0x10000 ? 2 : 1;
}

}  // namespace

int64_t utf16Length(std::string_view s) {
    int64_t n = 0;
    std::size_t i = 0;
    while (i < s.size())
        n += utf16Units(decodeNext(s, i));
    return n;
}

int64_t codePointLength(std::string_view s) {
    int64_t n = 0;
    for (const char c : s)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

std::optional<std::size_t> utf16ToByteOffset(std::string_view s, int64_t utf16Offset) {
    if (utf16Offset < 0)
        return std::nullopt;
    int64_t units = 0;
    std::size_t i = 0;
    while (units < utf16Offset && i < s.size())
        units += utf16Units(decodeNext(s, i));
    if (units != utf16Offset)
        return std::nullopt;
    return i;
}

std::optional<int64_t> codePointToUtf16Offset(std::string_view s, int64_t codePointOffset) {
    if (codePointOffset < 0)
        return std::nullopt;
    int64_t units = 0;
    std::size_t i = 0;
    for (int64_t k = 0; k < codePointOffset; ++k) {
        if (i >= s.size())
            return std::nullopt;
        units += utf16Units(decodeNext(s, i));
    }
    return units;
}

std::optional<int64_t> utf16ToCodePointOffset(std::string_view s, int64_t utf16Offset) {
    if (utf16Offset < 0)
        return std::nullopt;
    int64_t units = 0;
    int64_t codePoints = 0;
    std::size_t i = 0;
    while (units < utf16Offset && i < s.size()) {
        units += utf16Units(decodeNext(s, i));
        ++codePoints;
    }
    if (units != utf16Offset)
        return std::nullopt;
    return codePoints;
}

char32_t decodeNext(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) {
        ++i;
        return c;
    }
    int len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((c & 0xE0) == 0xC0) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + static_cast<std::size_t>(len) > s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < len; ++k) {
        const unsigned char cc = byte(i + static_cast<std::size_t>(k));
        if ((cc & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += static_cast<std::size_t>(len);
    return cp;
}

bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t before = i;
        const char32_t c = decodeNext(s, i);
        // A genuine U+FFFD takes three bytes; a replacement for a bad byte one.
        if (c == 0xFFFD && i - before != 3)
            return false;
    }
    return true;
}

std::u32string toCodePoints(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size())
        out.push_back(decodeNext(s, i));
    return out;
}

std::string fromCodePoint(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

std::string fromCodePoints(std::u32string_view s) {
    std::string out;
    out.reserve(s.size() * 3);
    for (char32_t c : s)
        out += fromCodePoint(c);
    return out;
}

std::u16string toUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        char32_t c = decodeNext(s, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string fromUtf16(std::u16string_view s) {
    std::string out;
    out.reserve(s.size() * 3);
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // a lone surrogate cannot be written as UTF-8
        }
        out += fromCodePoint(c);
    }
    return out;
}

}  // namespace mivo::text
