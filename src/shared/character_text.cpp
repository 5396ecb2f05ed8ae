#include "shared/character_text.hpp"

#include <unicode/brkiter.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

#include <algorithm>
#include <memory>

#include "shared/plain_code_points.hpp"
#include "shared/text_encoding.hpp"

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

// Japanese prose is nearly all plain code points: one Character each. The
// boundaries are then read off while decoding, without the break iterator
// (whose set-up alone costs more than a short word); nothing when some code
// point needs the full rules.
std::optional<std::vector<std::size_t>> plainBoundaries(std::string_view s) {
    std::vector<std::size_t> out;
    out.reserve(s.size() + 1);
    out.push_back(0);
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = plainCodePointLength(s, i);
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

}  // namespace

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

std::optional<int64_t> utf16ToCharacterOffset(std::string_view s, int64_t utf16Offset) {
    return CharacterText(std::string(s)).characterIndexAtUtf16(utf16Offset);
}

std::optional<int64_t> characterToUtf16Offset(std::string_view s, int64_t characterOffset) {
    CharacterText t{std::string(s)};
    if (characterOffset < 0 || characterOffset > t.count())
        return std::nullopt;
    return t.utf16Offset(characterOffset);
}

}  // namespace mivo::text
