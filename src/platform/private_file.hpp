#pragma once

// Reading the small files that keep the user's state (settings, development
// tokens) without trusting what sits at their path: only a regular file is
// read, never through a link, never waiting on a named pipe or a device, and
// never more than a bound. Anything else is reported, so that the caller can
// set it aside and carry on with its defaults.

#include <cstddef>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>

namespace mivo {

struct PrivateFileRead {
    enum class Outcome {
        read,        // `bytes` holds the whole file
        missing,     // nothing at the path
        notRegular,  // a link, folder, named pipe, device or socket
        tooLarge,    // a regular file beyond the bound
        unreadable,  // present but cannot be read (permissions, I/O error)
    };
    Outcome outcome = Outcome::missing;
    std::string bytes;
    // Why, in a few words for the log ("a named pipe", "Permission denied").
    std::string reason;
};

PrivateFileRead readPrivateFile(const std::filesystem::path& path, std::size_t maxBytes);

// Renames `path` to `path` + ".broken", replacing an earlier such file; the
// error text when that fails.
std::optional<std::string> setAsideAsBroken(const std::filesystem::path& path);

// Nothing when `folder` is absent, or a folder of this user that others
// cannot write; else why it must not be used.
std::optional<std::string> foreignFolderReason(const std::filesystem::path& folder);

// Where the file at `path` really lives, for a user whose dotfiles manager
// links it: `path` itself when it is no link or absent; else the end of its
// links, when every link belongs to this user and lies in a folder of this
// user that others cannot write, and the end is a regular file of this user
// in such a folder, or nothing yet (a file written there becomes the
// user's). Else why the link is not followed ("a link to another user's
// file"), to be read as "<path> is <why>".
std::expected<std::filesystem::path, std::string> followOwnLinks(const std::filesystem::path& path);

// The user's home folder: $HOME when it is an absolute path, else the one
// the password database gives; nothing when neither is known. Never a
// shared folder such as /tmp.
std::optional<std::filesystem::path> homeFolder();

}  // namespace mivo
