#include "platform/sim/memory_secret_store.hpp"

namespace mivo::sim {

std::optional<std::string> MemorySecretStore::read(std::string_view service,
                                                   std::string_view account) {
    if (locked_) {
        ++unlockPrompts_;
        return std::nullopt;
    }
    if (failReads_)
        return std::nullopt;
    auto it = items_.find(Key(service, account));
    if (it == items_.end())
        return std::nullopt;
    return it->second;
}

std::expected<SecretUpdate, SecretStoreError> MemorySecretStore::update(std::string_view service,
                                                                        std::string_view account,
                                                                        std::string_view value) {
    if (updateFailure_)
        return std::unexpected(SecretStoreError{*updateFailure_, "update refused"});
    auto it = items_.find(Key(service, account));
    if (it == items_.end())
        return SecretUpdate::notFound;
    it->second = value;
    ++writes_;
    return SecretUpdate::updated;
}

std::expected<void, SecretStoreError> MemorySecretStore::add(std::string_view service,
                                                             std::string_view account,
                                                             std::string_view value) {
    if (addFailure_)
        return std::unexpected(SecretStoreError{*addFailure_, "add refused"});
    items_[Key(service, account)] = value;
    ++writes_;
    return {};
}

void MemorySecretStore::remove(std::string_view service, std::string_view account) {
    items_.erase(Key(service, account));
}

}  // namespace mivo::sim
