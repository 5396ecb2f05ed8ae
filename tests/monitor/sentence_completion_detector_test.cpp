#include "monitor/sentence_completion_detector.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "monitor/text_buffer_store.hpp"
#include "platform/sim/virtual_clock.hpp"

namespace mivo {
namespace {

using Boundary = CompletedSentenceCandidate::Boundary;

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

class DetectorTest : public ::testing::Test {
  protected:
    sim::VirtualClock clock;
    SentenceCompletionDetector detector{clock};
};

struct BoundaryCase {
    const char* why;
    std::string text;
    std::optional<Boundary> boundary;  // of the whole analysis; nullopt: no candidate
};

TEST_F(DetectorTest, CandidatesAndTheirBoundaries) {
    const BoundaryCase cases[] = {
        {"empty text", "", std::nullopt},
        {"no kana at all", "Hello。", std::nullopt},
        {"kana with 。", "はい。", Boundary::punctuation},
        {"a third Japanese is enough", "OK です。", Boundary::punctuation},
        {"fullwidth ！ ends a sentence", "すごい！", Boundary::punctuation},
        {"fullwidth ？ ends a sentence", "本当？", Boundary::punctuation},
        {"ASCII ? ends a sentence", "本当?", Boundary::punctuation},
        {"five kana without punctuation", "こんにちは", Boundary::sentenceFinalPattern},
        {"four kana are the least", "ありがと", Boundary::sentenceFinalPattern},
        {"three kana are too few", "ありが", std::nullopt},
        {"a line feed", "はい\n", Boundary::newline},
        {"a final space hides the 。", "今日は晴れ。 ", Boundary::sentenceFinalPattern},
        {"short after trimming the space", "はい。 ", std::nullopt},
        {"CR LF is not a line feed", "はい\r\n", std::nullopt},
        {"CR LF judged by trimmed length", "はいはい\r\n", Boundary::sentenceFinalPattern},
        {"a final CR alone", "はいはい\r", Boundary::sentenceFinalPattern},
        {"ideographic spaces are trimmed", "\u3000はい\u3000", std::nullopt},
        {"three decomposed kana are three Characters", "か\u3099か\u3099か\u3099", std::nullopt},
        {"four decomposed kana are four Characters", "か\u3099か\u3099か\u3099か\u3099",
         Boundary::sentenceFinalPattern},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto candidate = detector.analyze(c.text, TextRange{0, 0});
        ASSERT_EQ(candidate.has_value(), c.boundary.has_value());
        if (candidate) {
            EXPECT_EQ(candidate->boundary, *c.boundary);
        }
    }
}

struct RatioCase {
    std::string text;
    double ratio;
};

TEST_F(DetectorTest, RatioCountsKanaAndIdeographsAmongAllScalars) {
    const RatioCase cases[] = {
        {"はい。", 2.0 / 3}, {"OK です。", 2.0 / 6},
        {"はい\n", 2.0 / 3}, {"人々", 0.5},  // the iteration mark counts only in the total
        {"「本」", 1.0 / 3},                 // so do the corner brackets
        {"ＡＢ！", 0.0},                     // fullwidth forms
        {"ｱｲｳ", 0.0},                        // halfwidth katakana
        {"ヴ・ー", 1.0},                     // the katakana block's ends are inside
        {"㐀", 1.0},                         // extension A
        {"𠮷", 0.0},                         // beyond the two ideograph blocks
        {"か\u3099", 1.0},                   // a combining voiced mark is a Japanese scalar
        {"\u3000あ", 0.5},                   // the ideographic space is not
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(detector.japaneseRatio(c.text), c.ratio);
    }
}

TEST_F(DetectorTest, RatioThresholdIsInclusive) {
    const std::string threeOfTen = "abcdefgあいう";
    EXPECT_EQ(detector.japaneseRatio(threeOfTen), 0.3);
    EXPECT_TRUE(detector.analyze(threeOfTen, TextRange{0, 10}));
    EXPECT_FALSE(detector.analyze("abcdefghあい", TextRange{0, 10}));
}

TEST_F(DetectorTest, LengthLimitIsInclusiveInCharacters) {
    const std::string exactly500 = repeat("あ", 499) + "。";
    EXPECT_TRUE(detector.analyze(exactly500, TextRange{0, 500}));
    EXPECT_FALSE(detector.analyze("あ" + exactly500, TextRange{0, 501}));
    // Counted in Characters, not scalars: 500 decomposed kana pass.
    const std::string decomposed = repeat("か\u3099", 499) + "。";
    EXPECT_TRUE(detector.analyze(decomposed, TextRange{0, 500}));
}

TEST_F(DetectorTest, ThresholdsOfZeroAreHonoured) {
    detector.maximumSentenceLength = 0;
    EXPECT_FALSE(detector.analyze("はい。", TextRange{0, 3}));
    detector.maximumSentenceLength = 500;
    detector.minimumJapaneseRatio = 0;
    EXPECT_TRUE(detector.analyze("Hello。", TextRange{0, 6}));
    detector.minimumPauseBoundaryLength = 0;
    EXPECT_EQ(detector.detectBoundary(" "), Boundary::sentenceFinalPattern);
}

TEST_F(DetectorTest, CandidateCarriesTextRangeAndTime) {
    clock.advance(12.5);
    const std::string text = " 今日は良い天気です。";
    const auto c = detector.analyze(text, TextRange{3, 14});
    ASSERT_TRUE(c);
    EXPECT_EQ(c->text, text);  // untrimmed
    EXPECT_EQ(c->range, (TextRange{3, 14}));
    EXPECT_DOUBLE_EQ(c->japaneseRatio, 9.0 / 11);
    EXPECT_EQ(c->detectedAt, clock.wallClockNow());
    EXPECT_NE(detector.analyze(text, TextRange{3, 14})->id, c->id);
}

TEST(TextBufferStoreTest, KeepsTheFirstIdentifiersUntilCleared) {
    sim::VirtualClock clock;
    TextBufferStore store(clock);
    EXPECT_FALSE(store.currentState());

    store.update("101", "focused", "今日は", Utf16Range{3, 0});
    const TimePoint first = clock.now();
    clock.advance(2);
    store.update("202", "other", "今日は晴れ", Utf16Range{5, 0});
    auto s = store.currentState();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->appId(), "101");
    EXPECT_EQ(s->elementId(), "focused");
    EXPECT_EQ(s->lastVisibleValue, "今日は晴れ");
    EXPECT_EQ(s->selectedRange, (Utf16Range{5, 0}));
    EXPECT_EQ(s->lastCommittedAt, first + seconds(2));

    store.clear();
    EXPECT_FALSE(store.currentState());
    store.update("202", "focused", "", Utf16Range{0, 0});
    EXPECT_EQ(store.currentState()->appId(), "202");
}

}  // namespace
}  // namespace mivo
