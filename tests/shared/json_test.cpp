#include "shared/json.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mivo::json {
namespace {

TEST(StrictJson, RepeatedKeysKeepTheFirstOccurrence) {
    const Json j = parse(R"({"a":1,"b":{"x":1,"x":2},"a":2,"c":[{"k":"v","k":"w"}]})");
    EXPECT_EQ(j["a"], 1);
    EXPECT_EQ(j["b"]["x"], 1);
    EXPECT_EQ(j["c"][0]["k"], "v");
    EXPECT_EQ(j.size(), 3u);
}

TEST(StrictJson, RepeatedKeyWithNestedValuesLeavesLaterKeysIntact) {
    const Json j =
        parse(R"({"o":{"p":1},"o":{"p":2,"q":{"r":3}},"after":{"z":1,"z":2},"tail":true})");
    EXPECT_EQ(j["o"], parse(R"({"p":1})"));
    EXPECT_EQ(j["after"]["z"], 1);
    EXPECT_EQ(j["tail"], true);
    // The same key in sibling objects is not a repeat.
    const Json s = parse(R"([{"k":1},{"k":2}])");
    EXPECT_EQ(s[1]["k"], 2);
}

TEST(StrictJson, RepeatedKeyWhoseValueIsAnObjectLeavesNoStaleKeys) {
    // The skipped object's own keys must not count as repeats of the
    // enclosing object's later keys.
    const Json j = parse(R"({"x":1,"x":{"patterns":0},"patterns":[1,2]})");
    EXPECT_EQ(j, parse(R"({"x":1,"patterns":[1,2]})"));
    const Json deep = parse(R"({"a":{"b":1,"b":{"c":{"d":0}},"c":2,"d":3},"d":4})");
    EXPECT_EQ(deep, parse(R"({"a":{"b":1,"c":2,"d":3},"d":4})"));
}

// An answer of 100,000 keys (1.1 MB) once took half a minute; its cost is
// measured by bench/wire_bench, this checks the result at that size.
TEST(StrictJson, AHundredThousandKeysAndTheirRepeatsKeepOrderAndFirstValues) {
    constexpr int kKeys = 100'000;
    std::string text = "{";
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < kKeys; ++i) {
            if (text.size() > 1)
                text += ',';
            text += "\"k" + std::to_string(i) + "\":" + std::to_string(pass == 0 ? i : -1);
        }
    }
    text += R"(,"k7":{"nested":[1,{"k8":2}]},"last":true})";
    const Json j = parse(text);
    ASSERT_EQ(j.size(), static_cast<std::size_t>(kKeys + 1));
    int i = 0;
    for (const auto& [key, value] : j.items()) {
        if (i == kKeys) {
            EXPECT_EQ(key, "last");
            break;
        }
        ASSERT_EQ(key, "k" + std::to_string(i));
        ASSERT_EQ(value, i);
        ++i;
    }
}

TEST(StrictJson, ValuesOfEveryKindRoundTrip) {
    const char* text = R"({"n":null,"t":true,"f":false,"i":-3,"u":18446744073709551615,)"
                       R"("d":1.5,"s":"\u3042","a":[[],{},[1,[2]]],"o":{"":{}}})";
    const Json j = parse(text);
    EXPECT_EQ(j.dump(), nlohmann::ordered_json::parse(text).dump());
    EXPECT_EQ(parse("[]"), Json::array());
    EXPECT_EQ(parse(" 7 "), 7);
    for (const char* broken : {"", "{", "[1,]", "{\"a\" 1}", "{\"a\":1}x", "nul"})
        EXPECT_THROW(parse(broken), DecodingError) << broken;
}

TEST(StrictJson, NumbersOutOfRangeAreDecodingErrors) {
    for (const char* text : {R"({"n":1e400})", R"({"n":-1e400})", "[1e400]"})
        EXPECT_THROW(parse(text), DecodingError) << text;
}

TEST(StrictJson, TypedReadsRefuseWrongTypes) {
    const Json j = parse(R"({"s":"x","n":1.5,"i":3,"arr":["a","b"],"bad":["a",1],"b":true})");
    EXPECT_EQ(requireString(j, "s"), "x");
    EXPECT_THROW(requireString(j, "n"), DecodingError);
    EXPECT_THROW(requireInteger(j, "n"), DecodingError);
    EXPECT_EQ(requireInteger(j, "i"), 3);
    EXPECT_DOUBLE_EQ(requireNumber(j, "i"), 3.0);
    EXPECT_EQ(requireStringArray(j, "arr"), (std::vector<std::string>{"a", "b"}));
    EXPECT_THROW(requireStringArray(j, "bad"), DecodingError);
    EXPECT_THROW(requireBool(j, "s"), DecodingError);
    EXPECT_TRUE(requireBool(j, "b"));
    EXPECT_THROW(requireString(j, "missing"), DecodingError);
    EXPECT_THROW(parse("{\"a\":"), DecodingError);
}

}  // namespace
}  // namespace mivo::json
