#pragma once

// Decides whether a text read from another application's field is a finished
// Japanese sentence worth checking. It knows nothing of time: the pause that
// finishes an unpunctuated sentence is the caller's debounce.

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/scheduler.hpp"
#include "shared/records.hpp"
#include "shared/text.hpp"

namespace mivo {

class SentenceCompletionDetector {
  public:
    // The clock only stamps candidates with the time they were made.
    explicit SentenceCompletionDetector(const Scheduler& clock) : clock_(clock) {}

    // Least share of Japanese scalars (inclusive).
    double minimumJapaneseRatio = text::minimumJapaneseRatio;
    // Most Characters of a candidate (inclusive).
    int64_t maximumSentenceLength = 500;
    // Least Characters, after trimming, of a text without final punctuation.
    int64_t minimumPauseBoundaryLength = 4;

    // Share of Unicode scalars that are kana or CJK ideographs; 0 for "".
    double japaneseRatio(std::string_view text) const;
    std::optional<CompletedSentenceCandidate> analyze(std::string_view text, TextRange range) const;
    std::optional<CompletedSentenceCandidate::Boundary> detectBoundary(std::string_view text) const;

  private:
    const Scheduler& clock_;
};

}  // namespace mivo
