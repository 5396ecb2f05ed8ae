#include "monitor/sentence_completion_detector.hpp"

#include <array>

#include "shared/text.hpp"

namespace mivo {
namespace {

constexpr std::array<std::string_view, 5> kSentenceEnds{"。", "！", "？", "!", "?"};

}  // namespace

double SentenceCompletionDetector::japaneseRatio(std::string_view text) const {
    return text::japaneseRatio(text);
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
