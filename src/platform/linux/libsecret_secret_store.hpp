#pragma once

// Secrets in the desktop's Secret Service (GNOME Keyring, KWallet) through
// libsecret: one item per (service, account) in the default collection,
// found by those two attributes.

#include "platform/secret_store.hpp"

namespace mivo::linux_desktop {

class LibsecretSecretStore : public SecretStore {
  public:
    std::optional<std::string> read(std::string_view service, std::string_view account) override;
    std::expected<SecretUpdate, SecretStoreError> update(std::string_view service,
                                                         std::string_view account,
                                                         std::string_view value) override;
    std::expected<void, SecretStoreError> add(std::string_view service, std::string_view account,
                                              std::string_view value) override;
    void remove(std::string_view service, std::string_view account) override;
    bool isLocked() override;

  private:
    template <typename Call>
    auto aroundPrompt(bool missingAsks, Call call) const;
};

}  // namespace mivo::linux_desktop
