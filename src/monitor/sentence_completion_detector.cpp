#include "monitor/sentence_completion_detector.hpp"

#include <array>

#include "shared/text.hpp"

namespace mivo {
// Hiragana and katakana (with ・ and ー), CJK extension A, the unified
// ideographs. Punctuation such as 。「」 and fullwidth forms count only in the
// total.
bool isJapaneseScalar(char32_t c) {
    return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF);
}

namespace {

constexpr std::array<std::string_view, 5> kSentenceEnds{"。", "！", "？", "!", "?"};

}  // namespace

double SentenceCompletionDetector::japaneseRatio(std::string_view text) const {
    if (text.empty())
        return 0.0;
    std::size_t total = 0;
    std::size_t japanese = 0;
    for (std::size_t i = 0; i < text.size();) {
        ++total;
        if (isJapaneseScalar(text::decodeNext(text, i)))
            ++japanese;
    }
    return static_cast<double>(japanese) / static_cast<double>(total);
}

std::optional<CompletedSentenceCandidate> SentenceCompletionDetector::analyze(
    std::string_view text, TextRange range) const {
    // The length test comes first: an over-long text costs one count only.
    if (text::characterCount(text) > maximumSentenceLength)
        return std::nullopt;
    const double ratio = japaneseRatio(text);
    if (!(minimumJapaneseRatio <= ratio))
        return std::nullopt;
    const auto boundary = detectBoundary(text);
    if (!boundary)
        return std::nullopt;
    CompletedSentenceCandidate c;
    c.id = text::makeUuid();
    c.text = std::string(text);
    c.range = range;
    c.japaneseRatio = ratio;
    c.boundary = *boundary;
    c.detectedAt = clock_.wallClockNow();
    return c;
}

std::optional<CompletedSentenceCandidate::Boundary> SentenceCompletionDetector::detectBoundary(
    std::string_view text) const {
    if (text.empty())
        return std::nullopt;
    // Whole Characters: a final "\r\n" is one Character and not "\n".
    const std::string last = text::characterSuffix(text, 1);
    for (auto end : kSentenceEnds) {
        if (last == end)
            return CompletedSentenceCandidate::Boundary::punctuation;
    }
    if (last == "\n")
        return CompletedSentenceCandidate::Boundary::newline;
    if (text::characterCount(text::trimWhitespaceAndNewlines(text)) >= minimumPauseBoundaryLength)
        return CompletedSentenceCandidate::Boundary::sentenceFinalPattern;
    return std::nullopt;
}

}  // namespace mivo
