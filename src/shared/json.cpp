#include "shared/json.hpp"

#include <limits>

namespace mivo::json {

const Json& requireObject(const Json& value, std::string_view what) {
    if (!value.is_object()) throw DecodingError(std::string(what) + ": expected an object");
    return value;
}

const Json& requireArray(const Json& value, std::string_view what) {
    if (!value.is_array()) throw DecodingError(std::string(what) + ": expected an array");
    return value;
}

const Json& member(const Json& object, std::string_view key) {
    requireObject(object, key);
    auto it = object.find(key);
    if (it == object.end()) throw DecodingError("missing key \"" + std::string(key) + "\"");
    return *it;
}

std::string asString(const Json& value, std::string_view what) {
    if (!value.is_string()) throw DecodingError(std::string(what) + ": expected a string");
    return value.get<std::string>();
}

std::string requireString(const Json& object, std::string_view key) {
    return asString(member(object, key), key);
}

double requireNumber(const Json& object, std::string_view key) {
    const Json& v = member(object, key);
    if (!v.is_number()) throw DecodingError(std::string(key) + ": expected a number");
    return v.get<double>();
}

int64_t requireInteger(const Json& object, std::string_view key) {
    const Json& v = member(object, key);
    if (v.is_number_unsigned()) {
        const auto u = v.get<uint64_t>();
        if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
            throw DecodingError(std::string(key) + ": integer out of range");
        }
        return static_cast<int64_t>(u);
    }
    if (!v.is_number_integer()) throw DecodingError(std::string(key) + ": expected an integer");
    return v.get<int64_t>();
}

uint32_t requireUInt32(const Json& object, std::string_view key) {
    const int64_t v = requireInteger(object, key);
    if (v < 0 || v > static_cast<int64_t>(std::numeric_limits<uint32_t>::max())) {
        throw DecodingError(std::string(key) + ": " + std::to_string(v) +
                            " is outside the unsigned 32-bit range");
    }
    return static_cast<uint32_t>(v);
}

bool requireBool(const Json& object, std::string_view key) {
    const Json& v = member(object, key);
    if (!v.is_boolean()) throw DecodingError(std::string(key) + ": expected a boolean");
    return v.get<bool>();
}

Json parse(std::string_view text) {
    try {
        return Json::parse(text.begin(), text.end());
    } catch (const nlohmann::ordered_json::parse_error& e) {
        throw DecodingError(std::string("invalid JSON: ") + e.what());
    }
}

}  // namespace mivo::json
