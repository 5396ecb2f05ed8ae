#pragma once

// The account's small text values between runs (tokens, their expiry, the
// user's id and e-mail): one Secret Service item per key under one service
// name, or, for development only, a private JSON file. Nothing here fails
// towards the caller: reads answer nothing, write failures are logged.

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/log.hpp"
#include "platform/scheduler.hpp"
#include "platform/secret_store.hpp"

namespace mivo {

class DevFileStore;

class KeychainStore final {
  public:
    // `devFile` set: the values live in that file instead of `secrets`, and
    // the choice is logged.
    KeychainStore(std::string service, SecretStore& secrets, Log& log,
                  std::optional<std::filesystem::path> devFile = std::nullopt);
    ~KeychainStore();
    KeychainStore(const KeychainStore&) = delete;
    KeychainStore& operator=(const KeychainStore&) = delete;

    // Development mode is chosen only by MIVO_DEV_AUTH_FILE=1, read once per
    // process: every Linux build would otherwise look like a development
    // build and keep the tokens in plaintext.
    static bool detectDevMode();
    // The token file to pass as `devFile`: its default place in development
    // mode, otherwise none.
    static std::optional<std::filesystem::path> devFileFromEnvironment();

    const std::string& service() const { return service_; }
    bool usesDevFile() const { return devFile_ != nullptr; }

    std::optional<std::string> get(std::string_view key) const;
    void set(std::string_view key, std::string_view value);
    void remove(std::string_view key);

    // "access_token_expires_at" as an instant; nothing when absent or not a
    // finite number.
    std::optional<TimePoint> loadAccessTokenExpiresAt() const;

    // Seconds since 1970 as stored: the whole text must be a finite number
    // (C locale, no surrounding space).
    static std::optional<double> parseExpiry(std::string_view text);
    // The shortest plain decimal that reads back to the same double, always
    // with a fraction ("1700000000.0").
    static std::string formatExpiry(TimePoint expiry);
    // Seconds since 1970 and instants, both ways without losing digits.
    static TimePoint instantFromSeconds(double secondsSince1970);
    static double secondsFromInstant(TimePoint instant);

  private:
    std::optional<std::string> keychainGet(std::string_view key) const;
    void keychainSet(std::string_view key, std::string_view value);

    std::string service_;
    SecretStore& secrets_;
    Log& log_;
    std::unique_ptr<DevFileStore> devFile_;
};

}  // namespace mivo
