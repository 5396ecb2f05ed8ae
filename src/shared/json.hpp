#pragma once

// Strict JSON decoding: every required member present and of the right type,
// or a DecodingError naming what was wrong. Nothing is ever half-filled,
// because decoders build their result only after every read succeeded.

#include "shared/json_fwd.hpp"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mivo::json {

class DecodingError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

const Json& member(const Json& object, std::string_view key);
const Json& requireObject(const Json& value, std::string_view what);
const Json& requireArray(const Json& value, std::string_view what);
std::string requireString(const Json& object, std::string_view key);
double requireNumber(const Json& object, std::string_view key);
int64_t requireInteger(const Json& object, std::string_view key);
uint32_t requireUInt32(const Json& object, std::string_view key);
bool requireBool(const Json& object, std::string_view key);
std::string asString(const Json& value, std::string_view what);
std::vector<std::string> requireStringArray(const Json& object, std::string_view key);

// Parses text; a syntax error becomes a DecodingError. Where an object
// repeats a key, the first occurrence wins (as everywhere in our packs).
Json parse(std::string_view text);

}  // namespace mivo::json
