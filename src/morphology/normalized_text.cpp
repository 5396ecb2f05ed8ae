#include "morphology/normalized_text.hpp"

#include <algorithm>

namespace mivo {

NormalizedText::NormalizedText(const text::CharacterText& original) : original_(original.str()) {
    const int64_t n = original.count();
    starts_.reserve(static_cast<std::size_t>(n) + 1);
    if (text::isNfc(original_)) {
        for (int64_t k = 0; k <= n; ++k)
            starts_.push_back(original.byteOffset(k));
        return;
    }
    // Composition stays inside a grapheme cluster, so normalising Character
    // by Character gives the NFC of the whole and keeps every boundary.
    changed_ = true;
    normalized_.reserve(original_.size());
    for (int64_t k = 0; k < n; ++k) {
        starts_.push_back(normalized_.size());
        normalized_ += text::nfc(original.sliceView(k, k + 1));
    }
    starts_.push_back(normalized_.size());
}

TextRange NormalizedText::characterRange(std::size_t begin, std::size_t end) const {
    // Last Character starting at or before `begin`.
    auto first = std::upper_bound(starts_.begin(), starts_.end(), begin);
    const int64_t start = std::max<int64_t>(0, (first - starts_.begin()) - 1);
    // First boundary at or after `end`.
    auto last = std::lower_bound(starts_.begin(), starts_.end(), end);
    const int64_t stop =
        std::min<int64_t>(last - starts_.begin(), static_cast<int64_t>(starts_.size()) - 1);
    return TextRange{std::min(start, stop), stop};
}

}  // namespace mivo
