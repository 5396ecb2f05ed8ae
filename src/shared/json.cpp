#include "shared/json.hpp"

#include <algorithm>
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
    // The keys seen so far of each open object, by depth: keys[d] belongs to
    // the object that opened at depth d. A repeated key is discarded so the
    // first occurrence stays. Objects inside a discarded value report their
    // start but never their end, so each start resets its own level (and
    // drops whatever deeper levels a skipped value left behind) rather than
    // trusting starts and ends to pair up.
    std::vector<std::vector<std::string>> keys;
    Json::parser_callback_t firstKeyWins = [&keys](int depth, Json::parse_event_t event,
                                                   Json& parsed) {
        const auto level = static_cast<std::size_t>(std::max(depth, 0));
        switch (event) {
            case Json::parse_event_t::object_start:
                keys.resize(level);
                keys.emplace_back();
                return true;
            case Json::parse_event_t::key: {
                // A key at depth d belongs to the object that opened at d - 1.
                if (level == 0)
                    return true;
                if (keys.size() < level)
                    keys.resize(level);
                auto& seen = keys[level - 1];
                const auto& key = parsed.get_ref<const std::string&>();
                if (std::find(seen.begin(), seen.end(), key) != seen.end())
                    return false;
                seen.push_back(key);
                return true;
            }
            default:
                return true;
        }
    };
    try {
        return Json::parse(text.begin(), text.end(), firstKeyWins);
    } catch (const nlohmann::ordered_json::exception& e) {
        // Syntax errors, and numbers out of range (1e400), which nlohmann
        // reports as another kind of exception.
        throw DecodingError(std::string("invalid JSON: ") + e.what());
    }
}

}  // namespace mivo::json
