#pragma once

// The account's small text values between runs (tokens, their expiry, the
// user's id and e-mail): one Secret Service item per key under one service
// name, or, for development only, a private JSON file. Nothing here fails
// towards the caller: reads answer nothing, write failures are logged.
//
// Off the loop (the Offload constructor) every Secret Service call runs on a
// worker thread, each bounded: the session's values are read once into
// memory (whenLoaded), reads answer from there, and writes change memory at
// once and reach the service behind. A service that fails or does not answer
// in time is given up for the run: the session then lives in memory only,
// and onNotRemembered tells the user once, when a value could not be kept.

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/log.hpp"
#include "platform/main_loop.hpp"
#include "platform/scheduler.hpp"
#include "platform/secret_store.hpp"

namespace mivo {

class DevFileStore;

class KeychainStore final {
  public:
    // How long one Secret Service call may take before the service is given
    // up for this run. An unlocked keyring answers in milliseconds.
    static constexpr double kSecretServiceBoundSeconds = 5;
    // The values whenLoaded() reads.
    static constexpr const char* kSessionKeys[] = {
        "access_token", "refresh_token", "access_token_expires_at", "user_id", "user_email"};

    struct Offload {
        // Brings the worker's results back to the main loop.
        MainLoopPost post;
        // Times each call's bound.
        Scheduler* scheduler = nullptr;
        double boundSeconds = kSecretServiceBoundSeconds;
    };

    // `devFile` set: the values live in that file instead of `secrets`, and
    // the choice is logged. Otherwise the Secret Service is called on the
    // caller's thread.
    KeychainStore(std::string service, SecretStore& secrets, Log& log,
                  std::optional<std::filesystem::path> devFile = std::nullopt);
    // The Secret Service off the loop, as described above; `secrets` must be
    // safe to call from another thread, and is shared with the worker, which
    // may still be inside a call when the store goes.
    KeychainStore(std::string service, std::shared_ptr<SecretStore> secrets, Log& log,
                  Offload offload);
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

    // Runs `done` on the main loop once the session's values are readable:
    // at once unless off the loop, else when the service answered or its
    // bound passed (then nothing is stored, as far as this run knows).
    void whenLoaded(std::function<void()> done);
    // Whether values still reach the service (or the file).
    bool remembers() const;
    // Calls of the service whose outcome (or bound) is still to come.
    std::size_t callsUnderWay() const;
    // Once per run, on the main loop: a value could not be kept beyond this
    // run (no keyring collection, a locked or absent or stuck service).
    std::function<void()> onNotRemembered;

    // The session's values were not read because the keyring is locked and
    // the user dismissed its unlock prompt: they stay in it, it is not asked
    // again, and its lock is looked at (without a prompt) every few seconds.
    bool isLocked() const;
    static constexpr double kUnlockCheckSeconds = 5;
    // On the main loop, once a keyring found locked was unlocked elsewhere
    // and the values have been read: the session can come back.
    std::function<void()> onUnlocked;

    std::optional<std::string> get(std::string_view key) const;
    void set(std::string_view key, std::string_view value);
    void remove(std::string_view key);

    // "access_token_expires_at" as a calendar instant; nothing when absent or
    // not a finite number. A value stored by an older build as seconds of
    // uptime reads as a moment in 1970: long expired, so it is refreshed.
    std::optional<Date> loadAccessTokenExpiresAt() const;

    // Seconds since 1970 as stored: the whole text must be a finite number
    // (C locale, no surrounding space).
    static std::optional<double> parseExpiry(std::string_view text);
    // The shortest plain decimal that reads back to the same double, always
    // with a fraction ("1700000000.0").
    static std::string formatExpiry(Date expiry);
    // Seconds since 1970 and instants, both ways without losing digits.
    static Date instantFromSeconds(double secondsSince1970);
    static double secondsFromInstant(Date instant);

  private:
    struct Offloaded;

    std::optional<std::string> keychainGet(std::string_view key) const;
    void keychainSet(std::string_view key, std::string_view value);
    // The update-then-add of one value; the log lines of what failed.
    static std::vector<std::string> storeValue(SecretStore& secrets, const std::string& service,
                                               const std::string& key, const std::string& value);

    // The off-the-loop side (keychain_store_offload.cpp).
    void loadWhenReady(std::function<void()> done);
    std::optional<std::string> cachedValue(std::string_view key) const;
    void offloadSet(std::string_view key, std::string_view value);
    void offloadRemove(std::string_view key);
    // Queues `job` on the worker with the bound. Its log lines are written
    // on the main loop; lines or a passed bound give the service up, and
    // tell the user when `mattersToUser`.
    void offload(std::function<std::vector<std::string>()> job, bool mattersToUser);
    void giveUp(bool tellUser);
    void watchUnlock();
    Cancel boundOutsidePrompts(std::function<void()> expired);

    std::string service_;
    SecretStore& secrets_;
    Log& log_;
    std::unique_ptr<DevFileStore> devFile_;
    std::shared_ptr<Offloaded> offloaded_;
};

}  // namespace mivo
