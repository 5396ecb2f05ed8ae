#include "shared/records_json.hpp"
#include "shared/text.hpp"

#include <gtest/gtest.h>

namespace mivo {
namespace {

using json::Json;

CorrectionIssue sampleIssue() {
    return CorrectionIssue{"ID-1",
                           "S-1",
                           TextRange{1, 3},
                           CorrectionIssue::Severity::critical,
                           CorrectionIssue::Category::particle,
                           "をを",
                           "を",
                           "Doubled particle.",
                           0.9,
                           CorrectionIssue::Source::rule};
}

TEST(RawValues, AreExactStrings) {
    EXPECT_EQ(severityFromRaw("critical"), CorrectionIssue::Severity::critical);
    for (const char* bad : {"Critical", "critical ", "", " critical", "CRITICAL"}) {
        EXPECT_FALSE(severityFromRaw(bad).has_value()) << bad;
    }
    EXPECT_EQ(boundaryFromRaw("sentenceFinalPattern"),
              CompletedSentenceCandidate::Boundary::sentenceFinalPattern);
    EXPECT_FALSE(boundaryFromRaw("sentence_final_pattern").has_value());
    EXPECT_FALSE(boundaryFromRaw("SentenceFinalPattern").has_value());
    EXPECT_EQ(categoryFromRaw("conjugation"), CorrectionIssue::Category::conjugation);
    EXPECT_EQ(sourceFromRaw("hybrid"), CorrectionIssue::Source::hybrid);
    EXPECT_EQ(rawValue(CorrectionIssue::Category::vocabulary), "vocabulary");
    EXPECT_EQ(rawValue(CompletedSentenceCandidate::Boundary::newline), "newline");
}

TEST(IssueJson, EncodesInFieldOrderAndRoundTrips) {
    const Json j = toJson(sampleIssue());
    std::vector<std::string> keys;
    for (auto it = j.begin(); it != j.end(); ++it)
        keys.push_back(it.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"id", "sentenceId", "range", "severity", "category",
                                              "original", "suggestion", "explanationEn",
                                              "confidence", "source"}));
    const CorrectionIssue back = correctionIssueFromJson(j);
    EXPECT_EQ(back.id, "ID-1");
    EXPECT_EQ(back.range, (TextRange{1, 3}));
    EXPECT_EQ(back.category, CorrectionIssue::Category::particle);
    EXPECT_EQ(back.original, "をを");
    EXPECT_DOUBLE_EQ(back.confidence, 0.9);
}

TEST(IssueJson, RefusesIncompleteOrMistypedIssues) {
    const Json good = toJson(sampleIssue());
    auto without = [&](const char* key) {
        Json j = good;
        j.erase(key);
        return j;
    };
    EXPECT_THROW(correctionIssueFromJson(without("explanationEn")), json::DecodingError);
    EXPECT_THROW(correctionIssueFromJson(without("source")), json::DecodingError);
    Json j = good;
    j["severity"] = "Critical";
    EXPECT_THROW(correctionIssueFromJson(j), json::DecodingError);
    j = good;
    j["confidence"] = "0.9";
    EXPECT_THROW(correctionIssueFromJson(j), json::DecodingError);
    j = good;
    j["range"]["start"] = 1.5;
    EXPECT_THROW(correctionIssueFromJson(j), json::DecodingError);
    j = good;
    j["original"] = 3;
    EXPECT_THROW(correctionIssueFromJson(j), json::DecodingError);
    j = good;
    j["unknownMember"] = true;  // members not listed are ignored
    EXPECT_NO_THROW(correctionIssueFromJson(j));
}

TEST(IssueJson, ErrorNamesTheOffendingValue) {
    Json j = toJson(sampleIssue());
    j["category"] = "spelling";
    try {
        correctionIssueFromJson(j);
        FAIL() << "decoded an unknown category";
    } catch (const json::DecodingError& e) {
        EXPECT_NE(std::string(e.what()).find("spelling"), std::string::npos);
    }
}

TEST(CandidateJson, RoundTripsAndCountsCharacters) {
    const std::string text = "家族\U0001F468\u200D\U0001F469\u200D\U0001F467で\u304B\u3099。";
    CompletedSentenceCandidate c{text::makeUuid(),
                                 text,
                                 TextRange{0, text::characterCount(text)},
                                 0.9,
                                 CompletedSentenceCandidate::Boundary::punctuation,
                                 std::chrono::system_clock::now()};
    EXPECT_EQ(c.range.end, 6);
    const auto back = candidateFromJson(toJson(c));
    EXPECT_EQ(back.text, text);
    EXPECT_EQ(back.range, c.range);
    EXPECT_EQ(back.boundary, CompletedSentenceCandidate::Boundary::punctuation);
    EXPECT_LT(std::chrono::abs(back.detectedAt - c.detectedAt), std::chrono::milliseconds(1));
    Json j = toJson(c);
    j["boundary"] = "sentence_final_pattern";
    EXPECT_THROW(candidateFromJson(j), json::DecodingError);
    j = toJson(c);
    j.erase("detectedAt");
    EXPECT_THROW(candidateFromJson(j), json::DecodingError);
    // Dates the clock cannot hold are refused, not converted.
    for (double seconds : {1e300, -1e300, 1e19}) {
        j = toJson(c);
        j["detectedAt"] = seconds;
        EXPECT_THROW(candidateFromJson(j), json::DecodingError) << seconds;
    }
}

TEST(HotKey, DefaultAndEquality) {
    const HotKeyConfig d = HotKeyConfig::defaultConfig();
    EXPECT_NE((HotKeyConfig{38, 0x300, "Cmd+Shift+J"}), d);
    EXPECT_EQ(toJson(d).dump(), R"({"keyCode":38,"carbonModifiers":768,"display":"⌘⇧J"})");
    EXPECT_EQ(decodeHotKeyConfig(toJson(d).dump()), d);
}

TEST(HotKey, RefusesBadStoredValues) {
    EXPECT_FALSE(decodeHotKeyConfig(R"({"keyCode":38,"carbonModifiers":768})"));
    EXPECT_FALSE(decodeHotKeyConfig(R"({"keyCode":-1,"carbonModifiers":768,"display":"J"})"));
    EXPECT_FALSE(
        decodeHotKeyConfig(R"({"keyCode":4294967296,"carbonModifiers":768,"display":"J"})"));
    EXPECT_FALSE(decodeHotKeyConfig(R"({"keyCode":"38","carbonModifiers":768,"display":"J"})"));
    EXPECT_FALSE(decodeHotKeyConfig(R"({"keyCode":38.5,"carbonModifiers":768,"display":"J"})"));
    EXPECT_FALSE(decodeHotKeyConfig(R"({"keyCode":1e400,"carbonModifiers":768,"display":"J"})"));
    EXPECT_FALSE(decodeHotKeyConfig(R"({"keyCode":38,"carbonModifiers":-1e400,"display":"J"})"));
    EXPECT_FALSE(decodeHotKeyConfig("not json"));
    EXPECT_FALSE(decodeHotKeyConfig("[]"));
    const auto max =
        decodeHotKeyConfig(R"({"keyCode":4294967295,"carbonModifiers":0,"display":""})");
    ASSERT_TRUE(max);
    EXPECT_EQ(max->keyCode, 4294967295u);
    EXPECT_EQ(max->carbonModifiers, 0u);  // zero is a value, not "unset"
}

}  // namespace
}  // namespace mivo
