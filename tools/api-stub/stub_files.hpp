#pragma once

// The stand-in's own files: the control secret that lets a test steer it,
// and the account book that lets a sign-in outlive a restart. Both are the
// user's alone (0600), written whole or not at all.

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace mivo::stub {

// 32 random bytes as 64 hexadecimal digits.
std::string makeControlSecret();

// Creates `path` (which must not exist yet) readable by this user only and
// writes `secret` into it; a complaint when that cannot be done.
std::optional<std::string> writeControlSecret(const std::filesystem::path& path,
                                              std::string_view secret);

// Whether `presented` is the secret, compared in constant time.
bool isControlSecret(std::string_view presented, std::string_view secret);

// Where run.sh keeps the account book: $XDG_STATE_HOME (an absolute path;
// else ~/.local/state) + "/mivo/api-stub/accounts.json". Nothing without a
// home folder.
std::optional<std::filesystem::path> defaultAccountsFile();

// Makes the file's folder (0700 for each folder made) and checks that it is
// this user's and not writable by others; a complaint otherwise.
std::optional<std::string> prepareAccountsFolder(const std::filesystem::path& file);

// The file's text: nothing when it does not exist; a complaint when
// something else than a small regular file sits there.
std::expected<std::optional<std::string>, std::string> readAccountsFile(
    const std::filesystem::path& file);

// Replaces the file with `text`, 0600, through a temporary file and a
// rename; a complaint when that fails.
std::optional<std::string> writeAccountsFile(const std::filesystem::path& file,
                                             std::string_view text);

}  // namespace mivo::stub
