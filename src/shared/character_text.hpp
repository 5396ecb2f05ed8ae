#pragma once

// Characters, that is extended grapheme clusters: counting, splitting and
// slicing user text, and Character offsets against UTF-16 ones.

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

// Character (grapheme cluster) helpers on plain strings.
int64_t characterCount(std::string_view s);
std::vector<std::string> characters(std::string_view s);
std::string characterSlice(std::string_view s, int64_t start, int64_t end);
std::string characterPrefix(std::string_view s, int64_t n);
std::string characterSuffix(std::string_view s, int64_t n);

// UTF-16 <-> Character offsets over a given text. A position inside a
// Character (a surrogate pair or a cluster) yields nothing.
std::optional<int64_t> utf16ToCharacterOffset(std::string_view s, int64_t utf16Offset);
std::optional<int64_t> characterToUtf16Offset(std::string_view s, int64_t characterOffset);

}  // namespace mivo::text
