#pragma once

// Secrets in memory, for tests, with failures a test can switch on to see
// how callers report them.

#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/secret_store.hpp"

namespace mivo::sim {

class MemorySecretStore : public SecretStore {
  public:
    std::optional<std::string> read(std::string_view service, std::string_view account) override;
    std::expected<SecretUpdate, SecretStoreError> update(std::string_view service,
                                                         std::string_view account,
                                                         std::string_view value) override;
    std::expected<void, SecretStoreError> add(std::string_view service, std::string_view account,
                                              std::string_view value) override;
    void remove(std::string_view service, std::string_view account) override;

    // From now on every update (or add) fails with this code; none: works.
    void failUpdates(std::optional<int> code) { updateFailure_ = code; }
    void failAdds(std::optional<int> code) { addFailure_ = code; }
    // Reads answer nothing, as a locked or unreachable service would.
    void failReads(bool fail) { failReads_ = fail; }
    // A locked keyring whose unlock prompt the user dismisses: every read
    // shows the prompt once and answers nothing; isLocked() says so.
    void lock(bool locked) { locked_ = locked; }
    bool isLocked() override { return locked_; }
    int unlockPrompts() const { return unlockPrompts_; }

    std::size_t itemCount() const { return items_.size(); }
    int writeCount() const { return writes_; }

  private:
    using Key = std::pair<std::string, std::string>;
    std::map<Key, std::string> items_;
    std::optional<int> updateFailure_;
    std::optional<int> addFailure_;
    bool failReads_ = false;
    std::atomic<bool> locked_ = false;
    std::atomic<int> unlockPrompts_ = 0;
    int writes_ = 0;
};

}  // namespace mivo::sim
