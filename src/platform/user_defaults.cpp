#include "platform/user_defaults.hpp"

namespace mivo {

namespace {

template <typename T>
std::optional<T> as(const std::optional<DefaultsValue>& value) {
    if (value && std::holds_alternative<T>(*value)) {
        return std::get<T>(*value);
    }
    return std::nullopt;
}

}  // namespace

std::optional<bool> UserDefaults::boolean(std::string_view key) const {
    return as<bool>(object(key));
}

std::optional<std::string> UserDefaults::string(std::string_view key) const {
    return as<std::string>(object(key));
}

std::optional<DefaultsData> UserDefaults::data(std::string_view key) const {
    return as<DefaultsData>(object(key));
}

std::optional<double> UserDefaults::number(std::string_view key) const {
    const auto value = object(key);
    if (!value) {
        return std::nullopt;
    }
    if (const auto* i = std::get_if<std::int64_t>(&*value)) {
        return static_cast<double>(*i);
    }
    if (const auto* d = std::get_if<double>(&*value)) {
        return *d;
    }
    return std::nullopt;
}

}  // namespace mivo
