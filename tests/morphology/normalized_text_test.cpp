#include "morphology/normalized_text.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

struct MapCase {
    const char* why;
    std::string original;
    std::string normalized;
    // A byte range of the normalised text and the Characters it maps to.
    std::size_t begin, end;
    TextRange characters;
};

const MapCase kCases[] = {
    {"NFC text maps onto itself", "本を読む", "本を読む", 3, 6, {1, 2}},
    {"after a decomposed kana", "か\u3099くを", "がくを", 6, 9, {2, 3}},
    {"the composed kana itself", "か\u3099くを", "がくを", 0, 3, {0, 1}},
    {"start inside a Character rounds down", "👍🏽本", "👍🏽本", 4, 8, {0, 1}},
    {"end inside a Character rounds up", "a👍🏽", "a👍🏽", 0, 2, {0, 2}},
    {"empty range at the end", "ab", "ab", 2, 2, {2, 2}},
    {"empty text", "", "", 0, 0, {0, 0}},
    // Hangul jamo compose into one syllable: 3 code points, 1 Character.
    // Only what is not NFC changes: a kanji, a decomposed é, a decomposed が.
    {"after a decomposed Latin letter", "字e\u0301か\u3099", "字\u00E9が", 3, 5, {1, 2}},
    {"decomposed kana after another", "字e\u0301か\u3099", "字\u00E9が", 5, 8, {2, 3}},
    {"conjoining jamo", "\u1112\u1161\u11AB글", "한글", 3, 6, {1, 2}},
};

TEST(NormalizedTextTest, MapsNormalisedBytesToOriginalCharacters) {
    for (const auto& c : kCases) {
        const text::CharacterText original{c.original};
        const NormalizedText n(original);
        EXPECT_EQ(n.str(), c.normalized) << c.why;
        EXPECT_EQ(n.characterRange(c.begin, c.end), c.characters) << c.why;
    }
}

}  // namespace
}  // namespace mivo
