#pragma once

// The development token file: the account's values as one JSON object of
// strings, in place of the Secret Service when MIVO_DEV_AUTH_FILE=1. The file
// is private from its first byte (created 0600 beside the old one, then
// renamed over it) and its folder is created 0700. Only a regular file of at
// most 1 MiB is read, never through a link; anything else at the path (a
// folder, a named pipe, a file that does not parse or cannot be read) is
// logged and kept aside as dev-auth.json.broken, and reads as no values. A
// folder of another user, or no known home folder, is not used at all.

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/log.hpp"

namespace mivo {

class DevFileStore {
  public:
    // Creates the folder (0700) when it is missing; the file comes with the
    // first write.
    // The log must outlive the store.
    DevFileStore(std::filesystem::path file, Log& log);

    // "dev-auth.json" in the folder "Mivo" of $XDG_DATA_HOME (else
    // ~/.local/share); empty when no home folder is known.
    static std::filesystem::path defaultPath();

    static constexpr std::size_t kMaxFileBytes = 1024 * 1024;

    const std::filesystem::path& path() const { return file_; }

    std::optional<std::string> get(std::string_view key) const;
    void set(std::string_view key, std::string_view value);
    // Writes the file also when the key was absent.
    void remove(std::string_view key);

  private:
    using Values = std::map<std::string, std::string, std::less<>>;
    // A missing or damaged file reads as no values.
    Values load() const;
    void persist(const Values& values) const;
    // Why the file must not be used; nothing when it may.
    std::optional<std::string> refusal() const;
    // Whether the file may be used; says once in the log why not.
    bool usable() const;

    std::filesystem::path file_;
    Log& log_;
    mutable std::atomic<bool> refusalLogged_ = false;
};

}  // namespace mivo
