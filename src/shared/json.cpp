#include "shared/json.hpp"

#include <limits>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

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

namespace {

// Builds the value from the parser's events. Every open object keeps its
// keys in a hash set, so a repeated key is found in constant time, and a new
// member is appended without the ordered map's own search for its key (it is
// known to be new): parsing stays linear in the number of keys. A repeated
// key's value is skipped whole, nested values included, so the first
// occurrence stays.
class FirstKeyWinsBuilder final : public nlohmann::json_sax<Json> {
  public:
    Json take() { return std::move(root_); }

    bool null() override { return scalar(Json(nullptr)); }
    bool boolean(bool value) override { return scalar(Json(value)); }
    bool number_integer(number_integer_t value) override { return scalar(Json(value)); }
    bool number_unsigned(number_unsigned_t value) override { return scalar(Json(value)); }
    bool number_float(number_float_t value, const string_t&) override {
        return scalar(Json(value));
    }
    bool string(string_t& value) override { return scalar(Json(std::move(value))); }
    bool binary(binary_t&) override { return false; }

    bool start_object(std::size_t) override { return open(Json::object()); }
    bool start_array(std::size_t) override { return open(Json::array()); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t& key) override {
        if (skippedDepth_ > 0)
            return true;
        if (!open_.back().keys.insert(key).second) {
            skipNext_ = true;
            return true;
        }
        pendingKey_ = std::move(key);
        return true;
    }

    bool parse_error(std::size_t, const std::string&,
                     const nlohmann::detail::exception& error) override {
        // Syntax errors, and numbers out of range (1e400).
        throw DecodingError(std::string("invalid JSON: ") + error.what());
    }

  private:
    struct Open {
        Json* value;
        std::unordered_set<std::string> keys;  // objects only
    };

    // True when the next value is to be dropped; enters skipping for a
    // container.
    bool dropsNext() {
        if (skippedDepth_ > 0)
            return true;
        return std::exchange(skipNext_, false);
    }

    bool scalar(Json&& value) {
        if (!dropsNext())
            place(std::move(value));
        return true;
    }

    bool open(Json&& empty) {
        if (dropsNext()) {
            ++skippedDepth_;
            return true;
        }
        // A child is only ever appended to the innermost open value, so the
        // pointers to the outer ones stay valid.
        open_.push_back({place(std::move(empty)), {}});
        return true;
    }

    bool close() {
        if (skippedDepth_ > 0)
            --skippedDepth_;
        else
            open_.pop_back();
        return true;
    }

    Json* place(Json&& value) {
        if (open_.empty()) {
            root_ = std::move(value);
            return &root_;
        }
        Json& parent = *open_.back().value;
        if (parent.is_array()) {
            auto& array = parent.get_ref<Json::array_t&>();
            array.push_back(std::move(value));
            return &array.back();
        }
        // The ordered map is a vector of pairs underneath; its emplace would
        // search every earlier key again.
        auto& members = static_cast<Json::object_t::Container&>(parent.get_ref<Json::object_t&>());
        members.emplace_back(std::move(pendingKey_), std::move(value));
        return &members.back().second;
    }

    Json root_;
    std::vector<Open> open_;
    std::string pendingKey_;
    bool skipNext_ = false;
    std::size_t skippedDepth_ = 0;
};

}  // namespace

Json parse(std::string_view text) {
    FirstKeyWinsBuilder builder;
    try {
        if (!Json::sax_parse(text.begin(), text.end(), &builder))
            throw DecodingError("invalid JSON");
    } catch (const nlohmann::ordered_json::exception& e) {
        throw DecodingError(std::string("invalid JSON: ") + e.what());
    }
    return builder.take();
}

}  // namespace mivo::json
