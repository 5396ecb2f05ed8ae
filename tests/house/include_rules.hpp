#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace mivo::house {

// Where a folder may reach for a desktop toolkit (Qt, X11, xcb, AT-SPI,
// GLib, libsecret): nowhere, everywhere, or only outside its plain C++
// model library.
enum class Toolkit { None, ViewsOnly, Anywhere };

struct FolderRule {
    std::string folder;  // below src/, e.g. "monitor" or "platform/linux"
    std::vector<std::string> mayInclude;
    Toolkit toolkit = Toolkit::None;
};

struct Include {
    std::string text;  // what stands between the quotes or brackets
    bool angled = false;
    int line = 0;
};

struct Breach {
    std::string file;  // below src/
    int line = 0;
    std::string what;
};

const std::vector<FolderRule>& houseRules();

// The folder a path below src/ belongs to: its first component, or the
// first two for platform's backends ("platform/linux").
std::string folderOf(const std::string& pathBelowSrc);

std::vector<Include> includesOf(const std::string& source);

// Whether an angled include names a toolkit header.
bool isToolkitHeader(const std::string& header);

// Every include in the tree under `src` that breaks `rules`; files listed
// in `modelFiles` (paths below src/) are held to Toolkit::None whatever
// their folder's row says, and so is every header they reach.
std::vector<Breach> breachesIn(const std::filesystem::path& src,
                               const std::vector<FolderRule>& rules,
                               const std::vector<std::string>& modelFiles);

}  // namespace mivo::house
