#pragma once

// Word segmentation without MeCab, on ICU's word-break rules for Japanese.
// ICU segments Japanese text with its own dictionary but knows no readings
// of kanji, so only words without kanji get a reading (themselves); words
// with kanji give nothing.

#include "morphology/byte_range.hpp"
#include "morphology/furigana.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace mivo {

struct SystemTokenizerAnnotation {
    std::string base;
    std::string reading;
    ByteRange range;  // bytes of the segmented text

    bool operator==(const SystemTokenizerAnnotation&) const = default;
};

// Every word-boundary segment of `s` that has a reading, in text order.
std::vector<SystemTokenizerAnnotation> systemTokenizerFuriganaAnnotations(std::string_view s);

// The kanji-only furigana of those segments, readings in hiragana.
std::vector<FuriganaAnnotation> furiganaReplacements(std::string_view s);

}  // namespace mivo
