#include "shared/text.hpp"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <set>

// The kernel's generator as this test binary sees it: while `kernelBytesForced`
// is set, it hands out 0x5A bytes, so a test can tell where an id's bytes
// came from.
namespace {
std::atomic<bool> kernelBytesForced{false};
}

extern "C" ssize_t getrandom(void* buffer, size_t length, unsigned int flags) {
    if (kernelBytesForced) {
        std::memset(buffer, 0x5A, length);
        return static_cast<ssize_t>(length);
    }
    return syscall(SYS_getrandom, buffer, length, flags);
}

namespace mivo::text {
namespace {

// Texts that break byte- or code-point-counting code.
const std::string kFamily = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // 👨‍👩‍👧
const std::string kKaDakuten = "\u304B\u3099";                             // か + combining ゛
const std::string kYoshi = "\U00020BB7";                                   // 𠮷

TEST(Characters, ClustersCountAsOneCharacter) {
    EXPECT_EQ(characterCount(kFamily), 1);
    EXPECT_EQ(characterCount(kKaDakuten), 1);
    EXPECT_EQ(characterCount("\r\n"), 1);
    EXPECT_EQ(characterCount("a\r\nb"), 3);
    EXPECT_EQ(characterCount(kYoshi), 1);
    EXPECT_EQ(characterCount(""), 0);
    EXPECT_EQ(characterCount("本をを読む。"), 6);
    EXPECT_EQ(characterCount("x" + kFamily + kKaDakuten + "y"), 4);
}

TEST(Characters, SliceAndAffixesWorkOnClusters) {
    const std::string s = "今" + kFamily + "日" + kKaDakuten;
    EXPECT_EQ(characterSlice(s, 1, 2), kFamily);
    EXPECT_EQ(characterSlice(s, 3, 4), kKaDakuten);
    EXPECT_EQ(characterSlice(s, 2, 99), "日" + kKaDakuten);
    EXPECT_EQ(characterSlice(s, 3, 1), "");
    EXPECT_EQ(characterPrefix(s, 2), "今" + kFamily);
    EXPECT_EQ(characterSuffix(s, 1), kKaDakuten);
    const auto cs = characters(s);
    ASSERT_EQ(cs.size(), 4u);
    EXPECT_EQ(cs[1], kFamily);
}

TEST(Characters, CharacterTextMapsBytesBothWays) {
    CharacterText t("a" + kYoshi + "b");
    EXPECT_EQ(t.count(), 3);
    EXPECT_EQ(t.byteOffset(2), 5u);
    EXPECT_EQ(t.characterIndex(5), 2);
    EXPECT_FALSE(t.characterIndex(2).has_value());  // inside 𠮷
    EXPECT_EQ(t.at(1), kYoshi);
}

TEST(Utf16, LengthsAndOffsets) {
    EXPECT_EQ(utf16Length(kYoshi), 2);
    EXPECT_EQ(utf16Length(kFamily), 8);
    EXPECT_EQ(utf16Length("今日"), 2);
    const std::string s = kYoshi + "を" + kFamily + "見";
    EXPECT_EQ(characterToUtf16Offset(s, 0), 0);
    EXPECT_EQ(characterToUtf16Offset(s, 1), 2);
    EXPECT_EQ(characterToUtf16Offset(s, 3), 11);
    EXPECT_EQ(characterToUtf16Offset(s, 4), 12);  // the end is a valid offset
    EXPECT_FALSE(characterToUtf16Offset(s, 5).has_value());
    EXPECT_EQ(utf16ToCharacterOffset(s, 0), 0);
    EXPECT_EQ(utf16ToCharacterOffset(s, 3), 2);
    EXPECT_EQ(utf16ToCharacterOffset(s, 12), 4);
}

TEST(Utf16, OffsetsInsideACharacterAreRefused) {
    const std::string s = kYoshi + "を" + kFamily;
    EXPECT_FALSE(utf16ToCharacterOffset(s, 1).has_value());   // inside the surrogate pair
    EXPECT_FALSE(utf16ToCharacterOffset(s, 5).has_value());   // inside the family cluster
    EXPECT_FALSE(utf16ToCharacterOffset(s, 12).has_value());  // past the end
    EXPECT_FALSE(utf16ToCharacterOffset(s, -1).has_value());
    EXPECT_FALSE(utf16ToCharacterOffset(kKaDakuten, 1).has_value());
    EXPECT_FALSE(utf16ToByteOffset(kYoshi, 1).has_value());
    EXPECT_EQ(utf16ToByteOffset(kYoshi, 2), 4u);
}

TEST(Utf16, RoundTripsNonBmpText) {
    const std::string s = "a" + kYoshi + kFamily;
    EXPECT_EQ(fromUtf16(toUtf16(s)), s);
    EXPECT_EQ(toUtf16(kYoshi).size(), 2u);
    EXPECT_EQ(fromUtf16(u"\xD800x"), "\uFFFDx");  // lone surrogate
}

TEST(Canonical, EquivalentFormsCompareEqual) {
    EXPECT_TRUE(canonicallyEqual(kKaDakuten, "が"));
    EXPECT_FALSE(canonicallyEqual("か", "が"));
    EXPECT_EQ(nfc(kKaDakuten), "が");
    EXPECT_TRUE(isNfc("が"));
    EXPECT_FALSE(isNfc(kKaDakuten));
    EXPECT_TRUE(hasSuffix("本を読み" + kKaDakuten, "が"));
    EXPECT_TRUE(hasPrefix(kKaDakuten + "っこう", "がっ"));
    EXPECT_FALSE(hasPrefix("か", "かか"));
    EXPECT_FALSE(hasSuffix("x", "yx"));
}

TEST(Canonical, FindMatchesWholeCharactersOnly) {
    const std::string s = "これ" + kKaDakuten + "ペンがペン";
    EXPECT_EQ(find(s, "が"), 2);
    EXPECT_EQ(find(s, "が", 3), 5);
    EXPECT_EQ(findAll(s, "ペン"), (std::vector<int64_t>{3, 6}));
    // か is not found inside the cluster か + ゛.
    EXPECT_FALSE(find(s, "か").has_value());
    EXPECT_FALSE(find(s, "ない").has_value());
    EXPECT_FALSE(contains("", "a"));
}

TEST(Whitespace, TrimsIdeographicSpaceAndLineBreaks) {
    EXPECT_EQ(trimWhitespaceAndNewlines("\u3000 \t今日\r\n"), "今日");
    EXPECT_EQ(trimWhitespaceAndNewlines("\u3000\n"), "");
    EXPECT_EQ(trimWhitespaceAndNewlines("a b"), "a b");
}

TEST(Utf8, ValidationAndDecoding) {
    EXPECT_TRUE(isValidUtf8("今日は\uFFFD"));
    EXPECT_FALSE(isValidUtf8("\xE4\xBB"));      // truncated
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // encoded surrogate
    EXPECT_EQ(toCodePoints(kYoshi), std::u32string(U"\U00020BB7"));
    EXPECT_EQ(fromCodePoints(U"が\U00020BB7"), "が" + kYoshi);
}

TEST(Transliteration, HiraganaAndKatakana) {
    EXPECT_EQ(transliterate("とうきょう", "Hiragana-Katakana"), "トウキョウ");
    EXPECT_EQ(transliterate("abc", "No-Such-Transform"), "abc");
}

TEST(Uuid, UpperCaseVersion4) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const std::string u = makeUuid();
        ASSERT_EQ(u.size(), 36u);
        for (std::size_t k : {8u, 13u, 18u, 23u})
            EXPECT_EQ(u[k], '-');
        EXPECT_EQ(u[14], '4');
        EXPECT_NE(std::string("89AB").find(u[19]), std::string::npos);
        for (char c : u)
            EXPECT_TRUE(c == '-' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
        seen.insert(u);
    }
    EXPECT_EQ(seen.size(), 100u);
}

// Tokens and the installation id are made here: every byte must be the
// kernel's, none from a generator whose state its outputs give away.
TEST(Uuid, EveryByteComesFromTheKernel) {
    kernelBytesForced = true;
    const std::string u = makeUuid();
    kernelBytesForced = false;
    EXPECT_EQ(u, "5A5A5A5A-5A5A-4A5A-9A5A-5A5A5A5A5A5A");
}

}  // namespace
}  // namespace mivo::text
