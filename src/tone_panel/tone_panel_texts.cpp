#include "tone_panel/tone_panel_texts.hpp"

#include <cmath>

#include "shared/text.hpp"

namespace mivo {

namespace {

// Code points that count as white space or line ends at the ends of the
// composer's text.
bool isBlank(char32_t c) {
    switch (c) {
        case U' ':
        case U'\t':
        case U'\n':
        case U'\v':
        case U'\f':
        case U'\r':
        case 0x85:
        case 0xA0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return c >= 0x2000 && c <= 0x200A;
    }
}

// Decodes the code point that starts at `i`; `length` gets its byte count.
char32_t decodeAt(std::string_view s, std::size_t i, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) {
        length = 1;
        return lead;
    }
    const std::size_t n = (lead >> 5) == 0x6    ? 2
                          : (lead >> 4) == 0xE  ? 3
                          : (lead >> 3) == 0x1E ? 4
                                                : 1;
    if (i + n > s.size() || n == 1) {
        length = 1;
        return 0xFFFD;
    }
    char32_t c = lead & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    length = n;
    return c;
}

// Start byte of the code point that ends right before `end`.
std::size_t previousStart(std::string_view s, std::size_t end) {
    std::size_t i = end - 1;
    while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) {
        --i;
    }
    return i;
}

}  // namespace

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

std::string trimWhitespaceAndNewlines(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t length = 0;
        if (!isBlank(decodeAt(text, begin, length))) {
            break;
        }
        begin += length;
    }
    std::size_t end = text.size();
    while (end > begin) {
        const std::size_t start = previousStart(text, end);
        std::size_t length = 0;
        if (!isBlank(decodeAt(text, start, length))) {
            break;
        }
        end = start;
    }
    return std::string(text.substr(begin, end - begin));
}

bool canSubmitWrittenFeedback(std::string_view text, bool submissionInFlight) {
    return !submissionInFlight && !trimWhitespaceAndNewlines(text).empty();
}

double shimmerPhase(double elapsedSeconds) {
    constexpr double period = 1.4;
    const double t = std::fmod(std::max(elapsedSeconds, 0.0), period) / period;
    return -1 + 2 * t;
}

}  // namespace mivo
