#include "tone_panel/tone_panel_texts.hpp"

#include <cmath>

#include "shared/text.hpp"

namespace mivo {

std::string loadingText(RewriteAction action, std::optional<Register> toneRegister) {
    switch (action) {
        case RewriteAction::improve:
            return "Improving text...";
        case RewriteAction::translate:
            return "Translating to Japanese...";
        case RewriteAction::tone:
            return "Rewriting as " +
                   std::string(toneRegister ? label(*toneRegister) : "selected tone") + "...";
    }
    return {};
}

std::string badgeLabel(RewriteAction action, std::optional<Register> toneRegister) {
    switch (action) {
        case RewriteAction::improve:
            return "Improved";
        case RewriteAction::translate:
            return "Japanese";
        case RewriteAction::tone:
            return toneRegister ? std::string(label(*toneRegister)) : "Tone";
    }
    return {};
}

std::string applyTitle(RewriteAction action, bool unchanged) {
    if (unchanged) {
        return "Done";
    }
    switch (action) {
        case RewriteAction::improve:
            return "Apply Improvement";
        case RewriteAction::tone:
            return "Apply Rewrite";
        case RewriteAction::translate:
            return "Apply Translation";
    }
    return {};
}

std::string latencyText(int64_t latencyMs) {
    return std::to_string(latencyMs) + " ms";
}

double registerChipWidth(double rowWidth) {
    return std::floor(std::max(rowWidth - 2 * 8, 0.0) / 3);
}

std::string limitFeedbackText(std::string_view text) {
    return text::characterPrefix(text, feedbackTextLimit);
}

std::string feedbackCounterText(std::string_view text) {
    return std::to_string(text::characterCount(text)) + "/" + std::to_string(feedbackTextLimit);
}

bool canSubmitWrittenFeedback(std::string_view text, bool submissionInFlight) {
    return !submissionInFlight && !text::trimWhitespaceAndNewlines(text).empty();
}

double shimmerPhase(double elapsedSeconds) {
    constexpr double period = 1.4;
    const double t = std::fmod(std::max(elapsedSeconds, 0.0), period) / period;
    return -1 + 2 * t;
}

}  // namespace mivo
