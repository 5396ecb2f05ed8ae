#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "shared/plain_code_points.hpp"
#include "shared/text_encoding.hpp"

namespace mivo::text {
namespace {

// The fast path decodes UTF-8 on its own: wherever it takes a code point,
// it must take exactly the bytes the full decoder takes, and it must never
// take a plain code point's bytes that are cut off by the end of the view.
TEST(PlainCodePointLength, TakesWhatTheDecoderTakesForEveryBmpCodePoint) {
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const std::string bytes = fromCodePoint(c);
        const std::size_t n = plainCodePointLength(bytes, 0);
        if (!isPlainCodePoint(c)) {
            ASSERT_EQ(n, 0u) << std::hex << static_cast<uint32_t>(c);
            continue;
        }
        std::size_t decoded = 0;
        decodeNext(bytes, decoded);
        ASSERT_EQ(n, decoded) << std::hex << static_cast<uint32_t>(c);
    }
}

struct BadBytes {
    const char* name;
    std::string_view bytes;
    std::size_t at;
};

void PrintTo(const BadBytes& b, std::ostream* os) {
    *os << b.name;
}

class PlainCodePointLengthRefuses : public ::testing::TestWithParam<BadBytes> {};

TEST_P(PlainCodePointLengthRefuses, BytesThatAreNoPlainCodePoint) {
    EXPECT_EQ(plainCodePointLength(GetParam().bytes, GetParam().at), 0u) << GetParam().name;
}

// "あい" is E3 81 82 E3 81 84; the views below end inside い while the
// bytes after the view's end are still there to be misread.
constexpr std::string_view kAi = "\xE3\x81\x82\xE3\x81\x84";

INSTANTIATE_TEST_SUITE_P(
    Table, PlainCodePointLengthRefuses,
    ::testing::Values(BadBytes{"three-byte cut after two", kAi.substr(0, 5), 3},
                      BadBytes{"three-byte cut after one", kAi.substr(0, 4), 3},
                      BadBytes{"two-byte cut after one", std::string_view("a\xC3\xA9", 2), 1},
                      BadBytes{"lone continuation byte", "\x81", 0},
                      BadBytes{"overlong two-byte NUL", "\xC0\x80", 0},
                      BadBytes{"overlong three-byte slash", "\xE0\x80\xAF", 0},
                      BadBytes{"surrogate", "\xED\xA0\x80", 0},
                      BadBytes{"second byte no continuation", "\xE3\x41\x82", 0},
                      BadBytes{"third byte no continuation", "\xE3\x81\x41", 0},
                      BadBytes{"four-byte lead", "\xF0\x9F\x98\x80", 0}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == ' ' || ch == '-')
                ch = '_';
        return name;
    });

}  // namespace
}  // namespace mivo::text
