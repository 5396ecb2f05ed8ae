#pragma once

// The development token file: the account's values as one JSON object of
// strings, in place of the Secret Service when MIVO_DEV_AUTH_FILE=1. The file
// is private from its first byte (created 0600 beside the old one, then
// renamed over it) and its folder is created 0700.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace mivo {

class DevFileStore {
  public:
    // Creates the folder (0700) when it is missing; the file comes with the
    // first write.
    explicit DevFileStore(std::filesystem::path file);

    // "dev-auth.json" in the folder "Mivo" of $XDG_DATA_HOME (else
    // ~/.local/share).
    static std::filesystem::path defaultPath();

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

    std::filesystem::path file_;
};

}  // namespace mivo
