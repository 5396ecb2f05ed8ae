#pragma once

// How the scratch file reaches the desktop's text editor. Opening it by its
// type goes wrong for an empty file: xdg-open then types it as
// inode/x-empty and may hand it to a browser, where it cannot be edited.
// So the handler of text/plain is asked for by name (`xdg-mime query
// default text/plain`) and its desktop entry is launched with the file
// (`gio launch`), which also runs a terminal editor in a terminal.
//
// Plain C++ over what the caller reads from the system, so every choice is
// testable without a desktop.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo::text_editor {

// The folders that hold desktop entries, most important first:
// $XDG_DATA_HOME (else ~/.local/share), then $XDG_DATA_DIRS (else
// /usr/local/share:/usr/share), each with "applications" appended. Relative
// entries are ignored: XDG paths must be absolute.
std::vector<std::filesystem::path> applicationFolders(std::optional<std::string> dataHome,
                                                      std::optional<std::string> home,
                                                      std::optional<std::string> dataDirs);

// The desktop file of `desktopId` (for example "org.kde.kate.desktop"; a
// dash may stand for a subfolder, "kde-kate.desktop" in "kde/kate.desktop")
// in the first folder that has it; nothing for an id that is not a plain
// desktop file name.
std::optional<std::filesystem::path> findDesktopFile(
    std::string_view desktopId, const std::vector<std::filesystem::path>& folders,
    const std::function<bool(const std::filesystem::path&)>& isFile);

struct Command {
    std::string program;
    std::vector<std::string> arguments;
    bool operator==(const Command&) const = default;
};

struct System {
    std::vector<std::filesystem::path> folders;
    std::function<bool(const std::filesystem::path&)> isFile;
    std::function<std::optional<std::string>(const std::filesystem::path&)> readFile;
    // Whether a program of that name is on the PATH.
    std::function<bool(std::string_view)> hasProgram;
};

// The command that opens `file` in the text/plain handler named by
// `xdgMimeAnswer` (xdg-mime's output), or nothing when there is no usable
// handler: none set, its entry missing or hidden, or no `gio` to launch it.
// The caller then falls back to opening the file by its type.
std::optional<Command> openCommand(std::string_view xdgMimeAnswer,
                                   const std::filesystem::path& file, const System& system);

}  // namespace mivo::text_editor
