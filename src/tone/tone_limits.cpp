#include "tone/tone_limits.hpp"

#include <charconv>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shared/text.hpp"

namespace mivo::ToneLimits {

namespace {

std::optional<int64_t> runtimeMaxTargetCharacters;

// A whole number above 0 from the environment: blanks around it are allowed,
// a sign only as the first character, nothing else ("1.5", "12ab", "+" and
// values beyond 64 bits give the fallback).
int64_t positiveIntEnvironmentValue(const char* name, int64_t fallback) {
    const char* raw = std::getenv(name);
    if (raw == nullptr)
        return fallback;
    std::string value = text::trimWhitespaceAndNewlines(raw);
    std::string_view digits = value;
    if (digits.starts_with('+'))
        digits.remove_prefix(1);
    else if (digits.starts_with('-'))
        return fallback;  // any negative number, "-0" included, is not above 0
    if (digits.empty() || digits.starts_with('+') || digits.starts_with('-'))
        return fallback;
    int64_t parsed = 0;
    const char* end = digits.data() + digits.size();
    auto [ptr, ec] = std::from_chars(digits.data(), end, parsed);
    if (ec != std::errc{} || ptr != end)
        return fallback;
    return parsed > 0 ? parsed : fallback;
}

}  // namespace

int64_t maxTargetCharacters() {
    if (runtimeMaxTargetCharacters)
        return *runtimeMaxTargetCharacters;
    return positiveIntEnvironmentValue("MIVO_TONE_MAX_TARGET_CHARS", defaultMaxTargetCharacters);
}

void update(std::optional<int64_t> maxTargetCharacters) {
    if (maxTargetCharacters && *maxTargetCharacters >= 1)
        runtimeMaxTargetCharacters = maxTargetCharacters;
    else
        runtimeMaxTargetCharacters.reset();
}

}  // namespace mivo::ToneLimits
