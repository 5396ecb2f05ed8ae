#pragma once

// The scratch file onboarding opens for trying Mivo out. It lives in a folder
// only this user can write, is created without following links and without
// replacing anything, and keeps its content between uses.

#include <expected>
#include <filesystem>
#include <optional>
#include <string>

namespace mivo {

inline constexpr const char* scratchFileName = "Mivo Scratchpad.txt";

struct ScratchLocation {
    std::optional<std::string> runtimeDir;  // $XDG_RUNTIME_DIR
    std::optional<std::string> tempDir;     // $TMPDIR
};

// Creates the file (mode 0600) when absent, or reopens an existing regular
// file of this user. Fails with a reason for anything else: a link, another
// owner, a folder that others can write.
std::expected<std::filesystem::path, std::string> prepareScratchFile(const ScratchLocation& where);

// "file:///…" with the path percent-encoded.
std::string fileURL(const std::filesystem::path& path);

}  // namespace mivo
