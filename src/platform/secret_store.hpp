#pragma once

// Small secrets kept by the desktop's secret service between runs: one
// generic-password item per (service, account) pair, holding the value's
// bytes. Reads answer nothing when the item is absent or unreadable; writes
// report the backend's numeric error code so the caller can log it.

#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace mivo {

struct SecretStoreError {
    // The backend's own error number (a GError code for libsecret).
    int code = 0;
    std::string detail;
};

enum class SecretUpdate { updated, notFound };

// "libsecret error=<code>", then the backend's message in parentheses when
// it gave one: the log line of a failed write.
std::string describeSecretError(const SecretStoreError& error);

class SecretStore {
  public:
    virtual ~SecretStore() = default;

    // Told on the calling thread, with true, just before a call makes the
    // service ask the user something first (the desktop keyring's "Choose
    // password for new keyring", or its unlock prompt), and with false once
    // the user answered or the prompt went away. A caller that bounds its
    // calls in time must not count the user's time. Set before any call.
    void setPromptListener(std::function<void(bool prompting)> listener) {
        promptListener_ = std::move(listener);
    }

    virtual std::optional<std::string> read(std::string_view service, std::string_view account) = 0;
    // Replaces the value of an existing item; `notFound` when there is none,
    // and then nothing is created.
    virtual std::expected<SecretUpdate, SecretStoreError> update(std::string_view service,
                                                                 std::string_view account,
                                                                 std::string_view value) = 0;
    // Creates the item (replacing one that appeared meanwhile).
    virtual std::expected<void, SecretStoreError> add(std::string_view service,
                                                      std::string_view account,
                                                      std::string_view value) = 0;
    // Removing an absent item is no error; failures are not reported.
    virtual void remove(std::string_view service, std::string_view account) = 0;
    // Whether the keyring that holds the items is locked now, so that a read
    // would ask the user to unlock it first (a read that answered nothing
    // while it stays locked: the user dismissed the prompt). Asks the user
    // nothing.
    virtual bool isLocked() { return false; }

  protected:
    void prompting(bool shown) const {
        if (promptListener_)
            promptListener_(shown);
    }

  private:
    std::function<void(bool)> promptListener_;
};

}  // namespace mivo
