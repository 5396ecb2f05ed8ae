#include "shared/text.hpp"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <random>

namespace mivo::text {
namespace {

// Creating a break iterator loads rule data; one per thread is kept and
// re-pointed at each text.
icu::BreakIterator* characterIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> it = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> bi(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(bi) : nullptr;
    }();
    return it.get();
}

const icu::Normalizer2* nfcNormalizer() {
    UErrorCode status = U_ZERO_ERROR;
    static const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(status);
    return U_SUCCESS(status) ? n : nullptr;
}

bool isAscii(std::string_view s) {
    for (unsigned char c : s) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

inline bool isPlain(char32_t c) {
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

// The length of the plain code point (see isPlainCodePoint) whose UTF-8
// starts at `i`, or 0 for any other, bad bytes included. Decoded inline:
// every Character of every analysed sentence passes here.
std::size_t plainLength(std::string_view s, std::size_t i) {
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
    return c >= 0x800 && isPlain(c) ? 3 : 0;
}

// Japanese prose is nearly all plain code points: one Character each. The
// boundaries are then read off while decoding, without the break iterator
// (whose set-up alone costs more than a short word); nothing when some code
// point needs the full rules.
std::optional<std::vector<std::size_t>> plainBoundaries(std::string_view s) {
    std::vector<std::size_t> out;
    out.reserve(s.size() + 1);
    out.push_back(0);
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = plainLength(s, i);
        if (n == 0)
            return std::nullopt;
        // CR LF is one Character.
        if (n == 1 && s[i] == '\n' && i > 0 && s[i - 1] == '\r')
            out.back() = i + 1;
        else
            out.push_back(i + n);
        i += n;
    }
    return out;
}

std::vector<std::size_t> boundaries(std::string_view s) {
    if (auto plain = plainBoundaries(s))
        return std::move(*plain);
    std::vector<std::size_t> out;
    out.reserve(s.size() + 1);
    out.push_back(0);
    icu::BreakIterator* bi = characterIterator();
    UErrorCode status = U_ZERO_ERROR;
    UText* ut = utext_openUTF8(nullptr, s.data(), static_cast<int64_t>(s.size()), &status);
    if (bi == nullptr || U_FAILURE(status)) {
        if (ut)
            utext_close(ut);
        // Without ICU data, fall back to code points so nothing is lost.
        std::size_t i = 0;
        while (i < s.size()) {
            decodeNext(s, i);
            out.push_back(i);
        }
        return out;
    }
    bi->setText(ut, status);
    for (int32_t b = bi->next(); b != icu::BreakIterator::DONE; b = bi->next()) {
        out.push_back(static_cast<std::size_t>(b));
    }
    // Drop the iterator's reference to our buffer before it goes away.
    bi->setText(icu::UnicodeString());
    utext_close(ut);
    if (out.back() != s.size())
        out.push_back(s.size());
    return out;
}

int utf16Units(char32_t c) {
    return c >= 0x10000 ? 2 : 1;
}

}  // namespace

bool isPlainCodePoint(char32_t c) {
    return isPlain(c);
}

CharacterText::CharacterText(std::string text)
    : text_(std::move(text)), bounds_(boundaries(text_)) {}

std::size_t CharacterText::byteOffset(int64_t index) const {
    if (index <= 0)
        return 0;
    if (index >= count())
        return text_.size();
    return bounds_[static_cast<std::size_t>(index)];
}

std::optional<int64_t> CharacterText::characterIndex(std::size_t byteOffset) const {
    auto it = std::lower_bound(bounds_.begin(), bounds_.end(), byteOffset);
    if (it == bounds_.end() || *it != byteOffset)
        return std::nullopt;
    return static_cast<int64_t>(it - bounds_.begin());
}

std::string_view CharacterText::sliceView(int64_t start, int64_t end) const {
    if (start < 0)
        start = 0;
    if (end > count())
        end = count();
    if (start >= end)
        return {};
    const std::size_t b = byteOffset(start);
    return std::string_view(text_).substr(b, byteOffset(end) - b);
}

std::string CharacterText::slice(int64_t start, int64_t end) const {
    return std::string(sliceView(start, end));
}

int64_t CharacterText::utf16Offset(int64_t index) const {
    return utf16Length(std::string_view(text_).substr(0, byteOffset(index)));
}

std::optional<int64_t> CharacterText::characterIndexAtUtf16(int64_t utf16Offset) const {
    if (utf16Offset < 0)
        return std::nullopt;
    int64_t units = 0;
    for (int64_t k = 0;; ++k) {
        if (units == utf16Offset)
            return k;
        if (units > utf16Offset || k == count())
            return std::nullopt;
        units += utf16Length(sliceView(k, k + 1));
    }
}

int64_t characterCount(std::string_view s) {
    return CharacterText(std::string(s)).count();
}

std::vector<std::string> characters(std::string_view s) {
    const auto b = boundaries(s);
    std::vector<std::string> out;
    out.reserve(b.size());
    for (std::size_t i = 0; i + 1 < b.size(); ++i)
        out.emplace_back(s.substr(b[i], b[i + 1] - b[i]));
    return out;
}

std::string characterSlice(std::string_view s, int64_t start, int64_t end) {
    return CharacterText(std::string(s)).slice(start, end);
}

std::string characterPrefix(std::string_view s, int64_t n) {
    return characterSlice(s, 0, n);
}

std::string characterSuffix(std::string_view s, int64_t n) {
    CharacterText t{std::string(s)};
    return t.slice(t.count() - n, t.count());
}

std::string nfc(std::string_view s) {
    if (isAscii(s))
        return std::string(s);
    const icu::Normalizer2* n = nfcNormalizer();
    if (n == nullptr)
        return std::string(s);
    UErrorCode status = U_ZERO_ERROR;
    const icu::StringPiece utf8(s.data(), static_cast<int32_t>(s.size()));
    if (n->isNormalizedUTF8(utf8, status) && U_SUCCESS(status))
        return std::string(s);
    status = U_ZERO_ERROR;
    const auto u = icu::UnicodeString::fromUTF8(utf8);
    icu::UnicodeString out = n->normalize(u, status);
    if (U_FAILURE(status))
        return std::string(s);
    std::string r;
    out.toUTF8String(r);
    return r;
}

bool isNfc(std::string_view s) {
    if (isAscii(s))
        return true;
    // Plain code points neither decompose nor compose with their neighbours.
    bool plain = true;
    for (std::size_t i = 0, n = 0; plain && i < s.size(); i += n)
        plain = (n = plainLength(s, i)) != 0;
    if (plain)
        return true;
    const icu::Normalizer2* n = nfcNormalizer();
    if (n == nullptr)
        return true;
    // Checked on the UTF-8 bytes directly: the rules ask this of every
    // morpheme they look up, so no UTF-16 copy is made.
    UErrorCode status = U_ZERO_ERROR;
    const bool r =
        n->isNormalizedUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())), status);
    return U_SUCCESS(status) ? r : true;
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b)
        return true;
    return nfc(a) == nfc(b);
}

bool hasPrefix(std::string_view s, std::string_view prefix) {
    if (prefix.empty())
        return true;
    const auto n = characterCount(prefix);
    return characterCount(s) >= n && canonicallyEqual(characterPrefix(s, n), prefix);
}

bool hasSuffix(std::string_view s, std::string_view suffix) {
    if (suffix.empty())
        return true;
    const auto n = characterCount(suffix);
    if (characterCount(s) < n)
        return false;
    return canonicallyEqual(characterSuffix(s, n), suffix);
}

namespace {
std::vector<std::string> nfcCharacters(std::string_view s) {
    auto cs = characters(s);
    for (auto& c : cs)
        c = nfc(c);
    return cs;
}
}  // namespace

std::optional<int64_t> find(std::string_view haystack, std::string_view needle, int64_t from) {
    const auto h = nfcCharacters(haystack);
    const auto n = nfcCharacters(needle);
    if (from < 0)
        from = 0;
    if (n.empty())
        return from <= static_cast<int64_t>(h.size()) ? std::optional<int64_t>(from) : std::nullopt;
    for (std::size_t i = static_cast<std::size_t>(from); i + n.size() <= h.size(); ++i) {
        bool ok = true;
        for (std::size_t j = 0; j < n.size() && ok; ++j)
            ok = h[i + j] == n[j];
        if (ok)
            return static_cast<int64_t>(i);
    }
    return std::nullopt;
}

std::vector<int64_t> findAll(std::string_view haystack, std::string_view needle) {
    std::vector<int64_t> out;
    const auto h = nfcCharacters(haystack);
    const auto n = nfcCharacters(needle);
    if (n.empty())
        return out;
    for (std::size_t i = 0; i + n.size() <= h.size(); ++i) {
        bool ok = true;
        for (std::size_t j = 0; j < n.size() && ok; ++j)
            ok = h[i + j] == n[j];
        if (ok)
            out.push_back(static_cast<int64_t>(i));
    }
    return out;
}

bool contains(std::string_view haystack, std::string_view needle) {
    return find(haystack, needle).has_value();
}

int64_t utf16Length(std::string_view s) {
    int64_t n = 0;
    std::size_t i = 0;
    while (i < s.size())
        n += utf16Units(decodeNext(s, i));
    return n;
}

std::optional<int64_t> utf16ToCharacterOffset(std::string_view s, int64_t utf16Offset) {
    return CharacterText(std::string(s)).characterIndexAtUtf16(utf16Offset);
}

std::optional<int64_t> characterToUtf16Offset(std::string_view s, int64_t characterOffset) {
    CharacterText t{std::string(s)};
    if (characterOffset < 0 || characterOffset > t.count())
        return std::nullopt;
    return t.utf16Offset(characterOffset);
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

bool isWhitespaceOrNewline(char32_t c) {
    return u_isUWhiteSpace(static_cast<UChar32>(c)) || c == 0x3000 || c == 0x85 || c == 0x2028 ||
           c == 0x2029;
}

std::string trimWhitespaceAndNewlines(std::string_view s) {
    const auto cps = toCodePoints(s);
    std::size_t b = 0;
    std::size_t e = cps.size();
    while (b < e && isWhitespaceOrNewline(cps[b]))
        ++b;
    while (e > b && isWhitespaceOrNewline(cps[e - 1]))
        --e;
    return fromCodePoints(std::u32string_view(cps).substr(b, e - b));
}

std::string transliterate(std::string_view s, const char* icuTransformId) {
    thread_local std::map<std::string, std::unique_ptr<icu::Transliterator>> cache;
    auto it = cache.find(icuTransformId);
    if (it == cache.end()) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> t(icu::Transliterator::createInstance(
            icu::UnicodeString::fromUTF8(icuTransformId), UTRANS_FORWARD, status));
        if (U_FAILURE(status))
            t.reset();
        it = cache.emplace(icuTransformId, std::move(t)).first;
    }
    if (!it->second)
        return std::string(s);
    auto u =
        icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
    it->second->transliterate(u);
    std::string out;
    u.toUTF8String(out);
    return out;
}

std::string makeUuid() {
    thread_local std::mt19937_64 rng{[] {
        std::random_device rd;
        std::seed_seq seq{rd(), rd(), rd(), rd(), rd(), rd(), rd(), rd()};
        return std::mt19937_64(seq);
    }()};
    std::array<unsigned char, 16> b{};
    for (std::size_t i = 0; i < b.size(); i += 8) {
        const uint64_t r = rng();
        for (std::size_t k = 0; k < 8; ++k)
            b[i + k] = static_cast<unsigned char>(r >> (8 * k));
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char out[37];
    std::snprintf(out, sizeof out,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return out;
}

// Hiragana and katakana (with ・ and ー), CJK extension A, the unified
// ideographs. Punctuation such as 。「」 and fullwidth forms count only in the
// total.
bool isJapaneseScalar(char32_t c) {
    return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF);
}

double japaneseRatio(std::string_view s) {
    if (s.empty())
        return 0.0;
    std::size_t total = 0;
    std::size_t japanese = 0;
    for (std::size_t i = 0; i < s.size();) {
        ++total;
        if (isJapaneseScalar(decodeNext(s, i)))
            ++japanese;
    }
    return static_cast<double>(japanese) / static_cast<double>(total);
}

}  // namespace mivo::text
