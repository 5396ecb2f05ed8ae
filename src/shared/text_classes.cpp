#include "shared/text_classes.hpp"

#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <map>
#include <memory>

#include "shared/text_encoding.hpp"

namespace mivo::text {

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

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
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

}  // namespace mivo::text
