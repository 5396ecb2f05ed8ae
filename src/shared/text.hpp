#pragma once

// The one place where Unicode is handled. "Characters" are extended grapheme
// clusters; every count, slice and comparison of user text goes through here.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo::text {

// A UTF-8 text with its grapheme-cluster boundaries computed once, for code
// that slices the same text many times (the rules, the monitor).
class CharacterText {
  public:
    CharacterText() = default;
    explicit CharacterText(std::string text);

    const std::string& str() const { return text_; }
    int64_t count() const { return static_cast<int64_t>(bounds_.size()) - 1; }
    bool empty() const { return count() == 0; }

    // Byte offset of Character `index`; `index` == count() gives the size.
    std::size_t byteOffset(int64_t index) const;
    // Character index of a byte offset, or nothing when the byte offset does
    // not fall on a Character boundary.
    std::optional<int64_t> characterIndex(std::size_t byteOffset) const;

    // Characters [start, end), clamped to the text.
    std::string slice(int64_t start, int64_t end) const;
    std::string_view sliceView(int64_t start, int64_t end) const;
    std::string_view at(int64_t index) const { return sliceView(index, index + 1); }

    // UTF-16 length of the first `index` Characters.
    int64_t utf16Offset(int64_t index) const;
    // Character index at a UTF-16 offset; nothing inside a Character.
    std::optional<int64_t> characterIndexAtUtf16(int64_t utf16Offset) const;

  private:
    std::string text_;
    std::vector<std::size_t> bounds_{0};  // count()+1 byte offsets
};

// A code point that is a Character on its own whatever stands around it and
// is in NFC, neither decomposing nor composing with a neighbour: Latin
// below U+0300, kana and CJK punctuation (not the combining voiced marks and
// tone marks), CJK ideographs, full-width and half-width forms (not the
// half-width voiced marks). Text of these alone needs no Unicode tables.
bool isPlainCodePoint(char32_t c);

// Character (grapheme cluster) helpers on plain strings.
int64_t characterCount(std::string_view s);
std::vector<std::string> characters(std::string_view s);
std::string characterSlice(std::string_view s, int64_t start, int64_t end);
std::string characterPrefix(std::string_view s, int64_t n);
std::string characterSuffix(std::string_view s, int64_t n);

// Canonical equivalence: NFC both sides, compare bytes.
std::string nfc(std::string_view s);
bool isNfc(std::string_view s);
bool canonicallyEqual(std::string_view a, std::string_view b);
bool hasPrefix(std::string_view s, std::string_view prefix);  // canonical, Character-aligned
bool hasSuffix(std::string_view s, std::string_view suffix);  // canonical, Character-aligned
// Character offset of the first occurrence of `needle` at or after Character
// `from`, matched Character by Character under canonical equivalence.
std::optional<int64_t> find(std::string_view haystack, std::string_view needle, int64_t from = 0);
std::vector<int64_t> findAll(std::string_view haystack, std::string_view needle);
bool contains(std::string_view haystack, std::string_view needle);

// UTF-16 <-> Character offsets over a given text. A position inside a
// Character (a surrogate pair or a cluster) yields nothing.
int64_t utf16Length(std::string_view s);
std::optional<int64_t> utf16ToCharacterOffset(std::string_view s, int64_t utf16Offset);
std::optional<int64_t> characterToUtf16Offset(std::string_view s, int64_t characterOffset);
// Byte offset of a UTF-16 offset; nothing inside a surrogate pair or past the end.
std::optional<std::size_t> utf16ToByteOffset(std::string_view s, int64_t utf16Offset);
// Code points <-> UTF-16 offsets over a given text, for interfaces that count
// code points. Nothing past the end, and nothing for a UTF-16 offset inside a
// surrogate pair.
std::optional<int64_t> codePointToUtf16Offset(std::string_view s, int64_t codePointOffset);
std::optional<int64_t> utf16ToCodePointOffset(std::string_view s, int64_t utf16Offset);

// Code points and encodings.
bool isValidUtf8(std::string_view s);
std::u32string toCodePoints(std::string_view s);
std::string fromCodePoints(std::u32string_view s);
std::u16string toUtf16(std::string_view s);
std::string fromUtf16(std::u16string_view s);
std::string fromCodePoint(char32_t c);
// The code point starting at byte `i`, advancing `i`; U+FFFD for bad bytes.
char32_t decodeNext(std::string_view s, std::size_t& i);

// Kana and CJK ideographs (extension A included): what counts as Japanese for
// the sentence detector's ratio, the rewrite engine's "already Japanese" test
// and the rewrite client's check that a Japanese text came back Japanese. One
// definition, so they never differ.
bool isJapaneseScalar(char32_t c);
// Share of Unicode scalars that are Japanese; 0 for "".
double japaneseRatio(std::string_view s);
// Least share (inclusive) of Japanese scalars for a text to count as Japanese.
inline constexpr double minimumJapaneseRatio = 0.3;

// White space and line breaks, U+3000 (ideographic space) included.
bool isWhitespaceOrNewline(char32_t c);
std::string trimWhitespaceAndNewlines(std::string_view s);

// Transforms through ICU transliterators ("Hiragana-Katakana", ...); the
// input unchanged when the transform is unknown.
std::string transliterate(std::string_view s, const char* icuTransformId);

// A fresh random UUID (version 4) in upper-case hyphenated form.
std::string makeUuid();

}  // namespace mivo::text
