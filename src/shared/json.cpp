#include "shared/json.hpp"

#include <limits>

namespace mivo::json {

const Json& requireObject(const Json& value, std::string_view what) {
    if (!value.is_object())
        throw DecodingError(std::string(what) + ": expected an object");
    return value;
}

const Json& requireArray(const Json& value, std::string_view what) {
    if (!value.is_array())
        throw DecodingError(std::string(what) + ": expected an array");
    return value;
}

const Json& member(const Json& object, std::string_view key) {
    requireObject(object, key);
    auto it = object.find(key);
    if (it == object.end())
        throw DecodingError("missing key \"" + std::string(key) + "\"");
    return *it;
}

std::string asString(const Json& value, std::string_view what) {
    if (!value.is_string())
        throw DecodingError(std::string(what) + ": expected a string");
    return value.get<std::string>();
}

std::string requireString(const Json& object, std::string_view key) {
    return asString(member(object, key), key);
}

double requireNumber(const Json& object, std::string_view key) {
    const Json& v = member(object, key);
    if (!v.is_number())
        throw DecodingError(std::string(key) + ": expected a number");
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
    if (!v.is_number_integer())
        throw DecodingError(std::string(key) + ": expected an integer");
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
    if (!v.is_boolean())
        throw DecodingError(std::string(key) + ": expected a boolean");
    return v.get<bool>();
}

std::vector<std::string> requireStringArray(const Json& object, std::string_view key) {
    const Json& v = member(object, key);
    requireArray(v, key);
    std::vector<std::string> out;
    out.reserve(v.size());
    for (const Json& e : v)
        out.push_back(asString(e, key));
    return out;
}

Json parse(std::string_view text) {
    // One set of seen keys per open object; a repeated key is discarded so
    // the first occurrence stays.
    std::vector<std::vector<std::string>> seen;
    Json::parser_callback_t firstKeyWins = [&seen](int /*depth*/, Json::parse_event_t event,
                                                   Json& parsed) {
        switch (event) {
            case Json::parse_event_t::object_start:
                seen.emplace_back();
                return true;
            case Json::parse_event_t::object_end:
                if (!seen.empty())
                    seen.pop_back();
                return true;
            case Json::parse_event_t::key: {
                if (seen.empty())
                    return true;
                const auto& key = parsed.get_ref<const std::string&>();
                auto& keys = seen.back();
                for (const auto& k : keys) {
                    if (k == key)
                        return false;
                }
                keys.push_back(key);
                return true;
            }
            default:
                return true;
        }
    };
    try {
        return Json::parse(text.begin(), text.end(), firstKeyWins);
    } catch (const nlohmann::ordered_json::parse_error& e) {
        throw DecodingError(std::string("invalid JSON: ") + e.what());
    }
}

}  // namespace mivo::json
