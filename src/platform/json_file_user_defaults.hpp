#pragma once

// The user defaults of the running application: one JSON object in a file
// ($XDG_CONFIG_HOME/Mivo/defaults.json), each value keeping its type
// (data as {"data": "<base64>"}). Every change rewrites the file at once,
// atomically (a temporary file in the same folder, then a rename), readable
// by the user only. A link that a dotfiles manager made is followed when
// the link, the file it leads to and that file's folder are the user's own,
// and the file is replaced in its own folder. A file that does not parse,
// or anything but a regular file at the path (another link, a folder, a
// named pipe) or one beyond 1 MiB, never stops Mivo: it is kept aside as
// defaults.json.broken and the defaults apply. A file that exists but cannot be read holds the
// user's settings: it is left untouched and nothing is written over it in this run; so too when the
// folder belongs to someone else or no home folder is known. The values then last until Mivo quits.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/log.hpp"
#include "platform/user_defaults.hpp"

namespace mivo {

class JsonFileUserDefaults final : public UserDefaults {
  public:
    // Reads `path` now; the log must outlive the store.
    JsonFileUserDefaults(std::filesystem::path path, Log& log);

    // $XDG_CONFIG_HOME/Mivo/defaults.json, with ~/.config when the variable
    // is unset or not an absolute path; empty when no home folder is known
    // (settings are then kept in memory, never in a shared folder).
    static std::filesystem::path defaultPath();

    static constexpr std::size_t kMaxFileBytes = 1024 * 1024;

    std::optional<DefaultsValue> object(std::string_view key) const override;
    void set(std::string_view key, DefaultsValue value) override;
    void remove(std::string_view key) override;

    const std::filesystem::path& path() const { return path_; }

    // Once per run, at the first change that could not be written: the
    // folder it belongs in (empty without a home folder) and why, in the
    // system's words ("Read-only file system"). The change is kept for the
    // run; the user needs to know it will not come back. A failure before
    // this is set is only logged, and the next one tells.
    std::function<void(const std::filesystem::path& folder, const std::string& reason)> onNotSaved;

  private:
    void load();
    void save();
    // Logs `line` and tells onNotSaved, once.
    void notSaved(const std::string& line, const std::string& reason);

    std::filesystem::path path_;
    Log& log_;
    // Why nothing may be written to the path in this run; empty when it may.
    std::string refusal_;
    bool toldNotSaved_ = false;
    std::map<std::string, DefaultsValue, std::less<>> values_;
};

// The file's text for a set of values and back; exposed for tests. Entries
// that are no value of ours (arrays, other objects, bad base64) are left out.
std::string encodeDefaultsFile(const std::map<std::string, DefaultsValue, std::less<>>& values);
// Nothing when the text is not a JSON object.
std::optional<std::map<std::string, DefaultsValue, std::less<>>> decodeDefaultsFile(
    std::string_view text);

}  // namespace mivo
