#pragma once

// What kind of text a scalar is (Japanese, white space), and transforms
// between scripts.

#include <string>
#include <string_view>

namespace mivo::text {

// Kana and CJK ideographs (extension A included): what counts as Japanese for
// the sentence detector's ratio, the rewrite engine's "already Japanese" test
// and the rewrite client's check that a Japanese text came back Japanese. One
// definition, so they never differ.
bool isJapaneseScalar(char32_t c);
// Share of Unicode scalars that are Japanese; 0 for "".
double japaneseRatio(std::string_view s);
// Least share (inclusive) of Japanese scalars for a text to count as Japanese.
inline constexpr double minimumJapaneseRatio = 0.3;

// The value of an ASCII hexadecimal digit (0-9, a-f, A-F); -1 for any
// other character.
int hexDigitValue(char c);

// White space and line breaks, U+3000 (ideographic space) included.
bool isWhitespaceOrNewline(char32_t c);
std::string trimWhitespaceAndNewlines(std::string_view s);

// Transforms through ICU transliterators ("Hiragana-Katakana", ...); the
// input unchanged when the transform is unknown.
std::string transliterate(std::string_view s, const char* icuTransformId);

}  // namespace mivo::text
