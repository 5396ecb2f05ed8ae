#pragma once

// The texts the rewrite panel builds from data: loading lines, the preview's
// badge and apply title, the latency, and the composer's limit and counter.
// Fixed texts of the views go through tr() in the views themselves.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tone/tone_types.hpp"

namespace mivo {

// "Improving text...", "Translating to Japanese...", "Rewriting as Polite...",
// "Rewriting as selected tone..." (three full stops, never an ellipsis).
std::string loadingText(RewriteAction action, std::optional<Register> toneRegister);
// "Improved", "Japanese", the register's name, or "Tone" without one.
std::string badgeLabel(RewriteAction action, std::optional<Register> toneRegister);
// "Done" for an unchanged result, else "Apply Improvement" / "Apply Rewrite" /
// "Apply Translation".
std::string applyTitle(RewriteAction action, bool unchanged);
// "850 ms": plain digits, no grouping.
std::string latencyText(int64_t latencyMs);

// Width of one register chip when the row is offered `rowWidth`: the width
// less two gaps of 8, shared by three, rounded down, never negative.
double registerChipWidth(double rowWidth);

// The composer keeps at most this many Characters (grapheme clusters).
inline constexpr int64_t feedbackTextLimit = 1000;
// `text` cut to its first feedbackTextLimit Characters.
std::string limitFeedbackText(std::string_view text);
// "0/1000".
std::string feedbackCounterText(std::string_view text);
// Something besides white space (U+3000 and the other Unicode spaces
// included) is typed and nothing is being sent.
bool canSubmitWrittenFeedback(std::string_view text, bool submissionInFlight);

// Where the loading bar's highlight band is, from -1 (wholly before the
// leading edge) to 1 (wholly past the trailing edge), `elapsed` seconds
// after the bar came on screen; one sweep takes 1.4 s and starts over.
double shimmerPhase(double elapsedSeconds);

}  // namespace mivo
