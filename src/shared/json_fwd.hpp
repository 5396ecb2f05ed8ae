#pragma once

// The JSON type without nlohmann's full header, for headers that only pass
// JSON values along.

#include <nlohmann/json_fwd.hpp>

namespace mivo::json {
// Ordered, so that records are written in their fields' order and packs keep
// the order of their entries.
using Json = nlohmann::ordered_json;
}  // namespace mivo::json
