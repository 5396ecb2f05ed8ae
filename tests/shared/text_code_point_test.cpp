#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "shared/text.hpp"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>

namespace mivo::text {
namespace {

// The shortcut that skips ICU for plain text must agree with ICU's own
// tables for every code point it takes. (© and ® are pictographs, but they
// join a cluster only through a zero-width joiner, which is not plain.)
TEST(PlainCodePoints, StandAloneAndStayInNfcByIcusTables) {
    int plain = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (!isPlainCodePoint(c))
            continue;
        ++plain;
        const auto c32 = static_cast<UChar32>(c);
        const auto gcb = u_getIntPropertyValue(c32, UCHAR_GRAPHEME_CLUSTER_BREAK);
        EXPECT_TRUE(gcb == U_GCB_OTHER || gcb == U_GCB_CONTROL || gcb == U_GCB_CR ||
                    gcb == U_GCB_LF)
            << std::hex << static_cast<uint32_t>(c);
        EXPECT_EQ(u_getIntPropertyValue(c32, UCHAR_NFC_QUICK_CHECK), UNORM_YES)
            << std::hex << static_cast<uint32_t>(c);
        EXPECT_EQ(u_getCombiningClass(c32), 0) << std::hex << static_cast<uint32_t>(c);
    }
    EXPECT_GT(plain, 20'000);
    // Through the public counts: a voiced mark joins its kana, CR LF is one.
    EXPECT_EQ(characterCount("か\u3099き\r\nｶﾞ"), 4);
    EXPECT_TRUE(isNfc("日本語のテキスト、ＡＢＣ"));
    EXPECT_FALSE(isNfc("か\u3099"));
}

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
