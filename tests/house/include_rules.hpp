#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mivo::house {

// Where a folder may reach for a desktop toolkit (any library beyond the C
// and C++ standard libraries and the few the plain code may use): nowhere,
// everywhere, or only outside its plain C++ model library.
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

// The folder a path below src/ belongs to: its first component; for
// platform's backends the first two ("platform/sim"), and inside
// platform/linux/ the folder of the system it drives ("platform/linux/x11").
std::string folderOf(const std::string& pathBelowSrc);

std::vector<Include> includesOf(const std::string& source);

// Which installed package each angled include comes from: the header is
// looked for in the compiler's search path as the compiler would, else
// anywhere under the system's include folders by its path's ending (as
// <QWidget> lies in a folder that only a library's own flags add).
class HeaderOrigins {
  public:
    // `owners`: every installed header's absolute path with its package.
    HeaderOrigins(std::vector<std::string> searchPath, std::map<std::string, std::string> owners);
    // The owners as the package database lists them (dpkg's file lists).
    static HeaderOrigins ofThisMachine(std::vector<std::string> searchPath);

    // Nothing when no installed package holds the header.
    std::optional<std::string> packageOf(const std::string& header) const;
    std::size_t size() const { return owners_.size(); }

  private:
    std::vector<std::string> searchPath_;
    std::map<std::string, std::string> owners_;
    std::multimap<std::string, std::string> byFileName_;
};

// The toolkit an angled include reaches, by the package it comes from;
// nothing for the C and C++ standard libraries and the libraries the plain
// code may use. A header that no package holds counts as a toolkit.
std::optional<std::string> toolkitOf(const std::string& header, const HeaderOrigins& origins);

// Every include in the tree under `src` that breaks `rules`; files listed
// in `modelFiles` (paths below src/) are held to Toolkit::None whatever
// their folder's row says, and so is every header they reach.
std::vector<Breach> breachesIn(const std::filesystem::path& src,
                               const std::vector<FolderRule>& rules,
                               const std::vector<std::string>& modelFiles,
                               const HeaderOrigins& origins);

// What the rows allow and no file uses: a folder named in a row that the
// row's folder never includes, or a toolkit allowed where none is included.
std::vector<std::string> slackIn(const std::filesystem::path& src,
                                 const std::vector<FolderRule>& rules,
                                 const HeaderOrigins& origins);

}  // namespace mivo::house
