#include "shared/json.hpp"

#include <gtest/gtest.h>

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
