#pragma once

// The NFC form of a text, as MeCab is given it, with the place of every
// Character of the original in it. Ranges that MeCab reports in the
// normalised bytes come back as Characters of the caller's own text, also
// where normalisation changed lengths (decomposed kana, for instance).

#include "shared/records.hpp"
#include "shared/text.hpp"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

class NormalizedText {
  public:
    // `original` must outlive this object.
    explicit NormalizedText(const text::CharacterText& original);
    NormalizedText(const NormalizedText&) = delete;
    NormalizedText& operator=(const NormalizedText&) = delete;

    std::string_view str() const { return changed_ ? std::string_view(normalized_) : original_; }

    // The Characters of the original that the normalised bytes [begin, end)
    // touch: a start inside a Character rounds down, an end inside one up.
    TextRange characterRange(std::size_t begin, std::size_t end) const;

  private:
    std::string_view original_;
    bool changed_ = false;
    std::string normalized_;
    // Byte offset in str() where Character k of the original starts;
    // count()+1 entries, the last one str().size().
    std::vector<std::size_t> starts_;
};

}  // namespace mivo
