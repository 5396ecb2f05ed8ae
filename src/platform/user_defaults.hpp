#pragma once

// The user's preferences by dotted key ("settings.tone.hotKey"). Values keep
// their type, because a value stored with another type than the reader
// expects reads as the reader's default.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace mivo {

// Opaque bytes (a JSON document, a saved frame); distinct from text.
struct DefaultsData {
    std::string bytes;
    bool operator==(const DefaultsData&) const = default;
};

using DefaultsValue = std::variant<bool, std::int64_t, double, std::string, DefaultsData>;

class UserDefaults {
  public:
    virtual ~UserDefaults() = default;

    virtual std::optional<DefaultsValue> object(std::string_view key) const = 0;
    virtual void set(std::string_view key, DefaultsValue value) = 0;
    virtual void remove(std::string_view key) = 0;

    // Typed reads: nothing when the key is absent or holds another type.
    std::optional<bool> boolean(std::string_view key) const;
    std::optional<std::string> string(std::string_view key) const;
    std::optional<DefaultsData> data(std::string_view key) const;
    // Integers and fractions both read as a number.
    std::optional<double> number(std::string_view key) const;
};

}  // namespace mivo
