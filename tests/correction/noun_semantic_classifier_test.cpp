#include "correction/rules/noun_semantic_classifier.hpp"

#include "pack_test_support.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using C = NounSemanticClass;

Morpheme noun(std::string surface, std::string lemma = "") {
    return testing::handMorphemes(
        {{std::move(surface), std::move(lemma), JapanesePartOfSpeech::noun}})[0];
}

const NounSemanticClassifier& fallbackClassifier() {
    static const NounSemanticClassifier c(NounSemanticClassifier::fallbackRulePack());
    return c;
}

TEST(NounSemanticClassifier, ClassifiesWithTheFallbackPack) {
    struct Row {
        const char* surface;
        const char* lemma;
        C expected;
        const char* why;
    };
    const std::vector<Row> rows{
        {"会社", "", C::destination, "listed destination"},
        {"道", "", C::path, "listed path"},
        {"東京駅", "", C::destination, "suffix 駅"},
        {"駅", "", C::destination, "listed, though also a suffix"},
        {"市", "", C::other, "a suffix needs something before it"},
        {"空港", "", C::destination, "whole-form membership, not a prefix"},
        {"友達", "", C::other, "in no list"},
        {"かいしゃ", "会社", C::destination, "by the lemma"},
        {"道", "会社", C::path, "a path reading beats a destination reading"},
        {"*", "", C::other, "no usable form"},
    };
    for (const auto& r : rows) {
        Morpheme m = noun(r.surface, r.lemma);
        if (std::string(r.surface) == "*")
            m.lemma = "";
        EXPECT_EQ(fallbackClassifier().semanticClass(m), r.expected) << r.surface << ": " << r.why;
    }
}

TEST(NounSemanticClassifier, PathWinsWhenListedAsBoth) {
    auto pack = NounSemanticClassifier::fallbackRulePack();
    pack.explicitPaths.insert("会社");
    EXPECT_EQ(NounSemanticClassifier(pack).semanticClass(noun("会社")), C::path);
    // A listed path that ends with a destination suffix is still a path.
    pack.explicitPaths.insert("駅前通り駅");
    EXPECT_EQ(NounSemanticClassifier(pack).semanticClass(noun("駅前通り駅")), C::path);
}

TEST(NounSemanticClassifier, ComparesUpToCanonicalEquivalence) {
    // ビル as ヒ + combining voiced mark in the noun: still the suffix ビル.
    EXPECT_EQ(fallbackClassifier().semanticClass(noun("駅前\u30D2\u3099\u30EB")), C::destination);
    // A suffix that would end inside a Character is no suffix: か + voiced
    // mark composes to が, which does not end with the mark.
    NounSemanticClassRulePack pack{.destinationSuffixes = {"\u3099"}};
    EXPECT_EQ(NounSemanticClassifier(pack).semanticClass(noun("\u304B\u3099")), C::other);
}

TEST(NounSemanticClassRulePack, DecodesStrictly) {
    const auto decode = [](const char* j) {
        return testing::decoded(&nounSemanticClassRulePackFromJson, j);
    };
    const auto noPaths = decode(
        R"({"explicitDestinations":["会社"],"explicitPaths":[],"destinationSuffixes":["駅"]})");
    ASSERT_TRUE(noPaths);
    EXPECT_EQ(NounSemanticClassifier(*noPaths).semanticClass(noun("道")), C::other);
    EXPECT_FALSE(decode(R"({"explicitDestinations":[],"explicitPaths":[]})"));
    EXPECT_FALSE(
        decode(R"({"explicitDestinations":[],"explicitPaths":[],"destinationSuffixes":[2]})"));
}

TEST(NounSemanticClassifier, DefaultComesFromTheBundleElseTheFallback) {
    testing::TemporaryBundle custom;
    custom.write(
        "RulePacks/noun-semantic-classes.json",
        R"({"explicitDestinations":[],"explicitPaths":["会社"],"destinationSuffixes":[]})");
    EXPECT_EQ(NounSemanticClassifier::loadDefault(custom.bundle()).semanticClass(noun("会社")),
              C::path);

    testing::TemporaryBundle broken;
    broken.write("RulePacks/noun-semantic-classes.json", R"({"explicitDestinations":[]})");
    EXPECT_EQ(NounSemanticClassifier::loadDefault(broken.bundle()).semanticClass(noun("会社")),
              C::destination);
}

}  // namespace
}  // namespace mivo
