#pragma once

// Strict JSON decoding: every required member present and of the right type,
// or a DecodingError naming what was wrong. Nothing is ever half-filled,
// because decoders build their result only after every read succeeded.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace mivo::json {

// Ordered, so that records are written in their fields' order and packs keep
// the order of their entries.
using Json = nlohmann::ordered_json;

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

// Parses text; a syntax error becomes a DecodingError.
Json parse(std::string_view text);

}  // namespace mivo::json
