#pragma once

// The longest target text, in Characters, that may be sent for rewriting:
// an override set at run time, else MIVO_TONE_MAX_TARGET_CHARS, else 1000.

#include <cstdint>
#include <optional>

namespace mivo::ToneLimits {

inline constexpr int64_t defaultMaxTargetCharacters = 1000;

// The limit in force, always at least 1. Reads the environment on every call.
int64_t maxTargetCharacters();

// Sets the override; nothing, or a value below 1, clears it. Main thread only,
// like every read of the limit.
void update(std::optional<int64_t> maxTargetCharacters);

}  // namespace mivo::ToneLimits
