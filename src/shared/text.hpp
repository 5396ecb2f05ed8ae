#pragma once

// The one place where Unicode is handled. "Characters" are extended grapheme
// clusters; every count, slice and comparison of user text goes through here.
// Each part has its own header; this one brings them all.

#include "shared/character_text.hpp"     // IWYU pragma: export
#include "shared/plain_code_points.hpp"  // IWYU pragma: export
#include "shared/text_classes.hpp"       // IWYU pragma: export
#include "shared/text_comparison.hpp"    // IWYU pragma: export
#include "shared/text_encoding.hpp"      // IWYU pragma: export
#include "shared/uuid.hpp"               // IWYU pragma: export
