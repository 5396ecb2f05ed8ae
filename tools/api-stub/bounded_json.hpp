#pragma once

// JSON that comes from outside, parsed within bounds. A body under the size
// cap may still nest a million arrays deep or hold half a million numbers,
// and its tree would cost some seventy times its bytes, held by every worker
// parsing one at the same moment. So the text is first walked without
// building anything, and the walk stops at the first value past a bound;
// only a text within them becomes a tree. Large texts give their memory
// back to the system once parsed.

#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

namespace mivo::stub {

struct JsonBounds {
    // Arrays and objects inside one another.
    std::size_t depth = 0;
    // Values and object keys, all counted.
    std::size_t elements = 0;
};

// Every body and file the stand-in reads: its requests are flat objects of
// a dozen fields, its account book a list of at most a few hundred sessions.
inline constexpr JsonBounds kJsonBounds{8, 4096};

// The value, or a discarded one when the text is not JSON or goes past a
// bound.
nlohmann::json parseBoundedJson(std::string_view text, JsonBounds bounds = kJsonBounds);
nlohmann::ordered_json parseBoundedOrderedJson(std::string_view text,
                                               JsonBounds bounds = kJsonBounds);

}  // namespace mivo::stub
