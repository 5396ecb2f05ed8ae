#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "shared/text.hpp"

namespace mivo::text {
namespace {

// "a𠮷b😀c": 𠮷 (U+20BB7) and 😀 (U+1F600) take two UTF-16 units each.
const std::string kMixed = "a\U00020BB7b\U0001F600c";

struct Offsets {
    int64_t codePoints;
    int64_t utf16;
};

class CodePointOffsets : public ::testing::TestWithParam<Offsets> {};

TEST_P(CodePointOffsets, ConvertBothWays) {
    const auto [cp, u16] = GetParam();
    EXPECT_EQ(codePointToUtf16Offset(kMixed, cp), u16);
    EXPECT_EQ(utf16ToCodePointOffset(kMixed, u16), cp);
}

INSTANTIATE_TEST_SUITE_P(NonBmpText, CodePointOffsets,
                         ::testing::Values(Offsets{0, 0}, Offsets{1, 1}, Offsets{2, 3},
                                           Offsets{3, 4}, Offsets{4, 6}, Offsets{5, 7}));

TEST(CodePointOffsets, RefuseOffsetsOutsideTheTextOrInsideAPair) {
    EXPECT_EQ(codePointToUtf16Offset(kMixed, 6), std::nullopt);
    EXPECT_EQ(codePointToUtf16Offset(kMixed, -1), std::nullopt);
    EXPECT_EQ(utf16ToCodePointOffset(kMixed, 8), std::nullopt);
    EXPECT_EQ(utf16ToCodePointOffset(kMixed, -1), std::nullopt);
    // Between the two halves of 𠮷 and of 😀.
    EXPECT_EQ(utf16ToCodePointOffset(kMixed, 2), std::nullopt);
    EXPECT_EQ(utf16ToCodePointOffset(kMixed, 5), std::nullopt);
}

TEST(CodePointOffsets, EmptyTextHasOnlyOffsetZero) {
    EXPECT_EQ(codePointToUtf16Offset("", 0), 0);
    EXPECT_EQ(utf16ToCodePointOffset("", 0), 0);
    EXPECT_EQ(codePointToUtf16Offset("", 1), std::nullopt);
}

}  // namespace
}  // namespace mivo::text
