#include "platform/sim/memory_user_defaults.hpp"

namespace mivo::sim {

std::optional<DefaultsValue> MemoryUserDefaults::object(std::string_view key) const {
    const auto found = values_.find(key);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void MemoryUserDefaults::set(std::string_view key, DefaultsValue value) {
    ++writes_;
    values_.insert_or_assign(std::string(key), std::move(value));
}

void MemoryUserDefaults::remove(std::string_view key) {
    const auto found = values_.find(key);
    if (found != values_.end()) {
        ++writes_;
        values_.erase(found);
    }
}

}  // namespace mivo::sim
