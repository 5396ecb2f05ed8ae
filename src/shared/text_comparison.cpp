#include "shared/text_comparison.hpp"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include "shared/character_text.hpp"
#include "shared/plain_code_points.hpp"

namespace mivo::text {
namespace {

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

std::vector<std::string> nfcCharacters(std::string_view s) {
    auto cs = characters(s);
    for (auto& c : cs)
        c = nfc(c);
    return cs;
}

}  // namespace

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
        plain = (n = plainCodePointLength(s, i)) != 0;
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

}  // namespace mivo::text
