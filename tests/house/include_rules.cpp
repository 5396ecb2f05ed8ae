#include "include_rules.hpp"

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <utility>

namespace mivo::house {

const std::vector<FolderRule>& houseRules() {
    // One row per folder, the floors of the house from the bottom up, each
    // naming what its files include today and nothing more: a folder names
    // only what lies below it. Inside platform/linux/ the folders of the
    // systems it drives use the small helpers beside them, which tie them
    // together. Nothing names app/, and platform/sim/ belongs to the tests
    // alone.
    static const std::vector<FolderRule> rules{
        {"shared", {}, Toolkit::None},
        {"morphology", {"shared"}, Toolkit::None},
        {"correction", {"morphology", "shared"}, Toolkit::None},
        {"platform", {"shared"}, Toolkit::None},
        {"platform/sim", {"platform", "shared"}, Toolkit::None},
        {"platform/linux/atspi", {"platform", "shared"}, Toolkit::Anywhere},
        {"platform/linux/x11", {"platform/linux", "platform", "shared"}, Toolkit::Anywhere},
        {"platform/linux/qt",
         {"platform/linux/x11", "platform/linux", "platform"},
         Toolkit::Anywhere},
        {"platform/linux",
         {"platform/linux/atspi", "platform/linux/qt", "platform/linux/x11", "platform"},
         Toolkit::Anywhere},
        {"field", {"platform", "shared"}, Toolkit::None},
        {"monitor", {"field", "platform", "shared"}, Toolkit::None},
        {"account", {"platform", "shared"}, Toolkit::None},
        {"tone", {"field", "platform", "shared"}, Toolkit::None},
        {"ui", {"platform/linux/qt", "platform", "shared"}, Toolkit::Anywhere},
        {"overlay", {"ui", "platform", "shared"}, Toolkit::ViewsOnly},
        {"tone_panel", {"tone", "ui", "platform", "shared"}, Toolkit::ViewsOnly},
        {"settings", {"account", "ui", "platform", "shared"}, Toolkit::ViewsOnly},
        {"onboarding", {"ui", "platform", "shared"}, Toolkit::ViewsOnly},
        {"correction_display",
         {"correction", "monitor", "overlay", "settings", "platform", "shared"},
         Toolkit::None},
        {"shell", {"account", "settings", "ui", "platform", "shared"}, Toolkit::ViewsOnly},
        {"app",
         {"account", "correction", "correction_display", "monitor", "onboarding", "overlay",
          "settings", "shell", "tone", "tone_panel", "platform/linux/qt", "platform/linux/x11",
          "platform/linux", "platform", "shared"},
         Toolkit::ViewsOnly},
    };
    return rules;
}

std::string folderOf(const std::string& pathBelowSrc) {
    std::vector<std::string> parts;
    for (const auto& part : std::filesystem::path(pathBelowSrc))
        parts.push_back(part.generic_string());
    if (parts.size() < 2)
        return {};
    if (parts[0] != "platform" || parts.size() < 3 || (parts[1] != "linux" && parts[1] != "sim"))
        return parts[0];
    if (parts[1] == "linux" && parts.size() > 3)
        return parts[0] + "/" + parts[1] + "/" + parts[2];
    return parts[0] + "/" + parts[1];
}

std::vector<Include> includesOf(const std::string& source) {
    static const std::regex directive(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Include> found;
    std::istringstream lines(source);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        std::smatch match;
        if (std::regex_search(line, match, directive))
            found.push_back({match[2].str(), match[1].str() == "<", number});
    }
    return found;
}

namespace {

// The C and C++ standard libraries, and the libraries the plain code may
// use (MeCab, ICU, JSON, OpenSSL, and what tests and tools build on).
bool isPlainPackage(const std::string& package) {
    static const std::regex plain(
        R"(libc6-dev|linux-libc-dev|libstdc\+\+-[0-9]+-dev|libgcc-[0-9]+-dev|libmecab-dev|)"
        R"(libicu-dev|nlohmann-json3-dev|libssl-dev|libcpp-httplib-dev|libgtest-dev|)"
        R"(libgmock-dev|libbenchmark-dev)");
    return std::regex_match(package, plain);
}

}  // namespace

HeaderOrigins::HeaderOrigins(std::vector<std::string> searchPath,
                             std::map<std::string, std::string> owners)
    : searchPath_(std::move(searchPath)), owners_(std::move(owners)) {
    for (const auto& [path, package] : owners_)
        byFileName_.emplace(std::filesystem::path(path).filename().string(), path);
}

HeaderOrigins HeaderOrigins::ofThisMachine(std::vector<std::string> searchPath) {
    std::map<std::string, std::string> owners;
    const std::filesystem::path lists = "/var/lib/dpkg/info";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(lists, error)) {
        if (entry.path().extension() != ".list")
            continue;
        // "libx11-dev:amd64.list" holds the files of libx11-dev.
        std::string package = entry.path().stem().string();
        package = package.substr(0, package.find(':'));
        std::ifstream in(entry.path());
        std::string path;
        while (std::getline(in, path)) {
            if (path.find("/include/") != std::string::npos)
                owners.emplace(path, package);
        }
    }
    return HeaderOrigins(std::move(searchPath), std::move(owners));
}

std::optional<std::string> HeaderOrigins::packageOf(const std::string& header) const {
    for (const auto& dir : searchPath_) {
        const auto path = (std::filesystem::path(dir) / header).lexically_normal().string();
        if (const auto owner = owners_.find(path); owner != owners_.end())
            return owner->second;
    }
    // Not where the compiler looks by itself: a folder the library's own
    // flags add. Of several namesakes a toolkit's wins, so that none hides
    // behind a harmless one.
    std::optional<std::string> found;
    const auto [first, last] =
        byFileName_.equal_range(std::filesystem::path(header).filename().string());
    for (auto it = first; it != last; ++it) {
        if (!it->second.ends_with("/" + header))
            continue;
        const std::string& package = owners_.at(it->second);
        const auto rank = [](const std::string& p) { return std::pair(isPlainPackage(p), p); };
        if (!found || rank(package) < rank(*found))
            found = package;
    }
    return found;
}

std::optional<std::string> toolkitOf(const std::string& header, const HeaderOrigins& origins) {
    const auto package = origins.packageOf(header);
    if (!package)
        return "no installed package";
    if (isPlainPackage(*package))
        return std::nullopt;
    return package;
}

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Tree {
    std::filesystem::path src;
    std::map<std::string, std::vector<Include>> files;  // below src/

    // A quoted include names a file below src/ or beside the includer.
    std::optional<std::string> resolve(const std::string& includer, const std::string& text) const {
        if (files.contains(text))
            return text;
        const auto beside = std::filesystem::path(includer).parent_path() / text;
        const std::string besideText = beside.lexically_normal().generic_string();
        if (files.contains(besideText))
            return besideText;
        return std::nullopt;
    }
};

}  // namespace

namespace {

// Every file below `src`, whatever its name: a header need not end in .h.
Tree readTree(const std::filesystem::path& src) {
    Tree tree{src, {}};
    for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
        if (entry.is_regular_file()) {
            const auto below = entry.path().lexically_relative(src).generic_string();
            tree.files[below] = includesOf(readFile(entry.path()));
        }
    }
    return tree;
}

// What one include reaches: a file of the tree (an angled include of the
// tree's own headers too), else the toolkit of the package that holds it,
// whether written with quotes or brackets.
struct Reach {
    std::optional<std::string> file;
    std::optional<std::string> toolkit;
};

Reach reachOf(const Tree& tree, const std::string& includer, const Include& include,
              const HeaderOrigins& origins) {
    if (auto file = tree.resolve(includer, include.text))
        return {file, std::nullopt};
    return {std::nullopt, toolkitOf(include.text, origins)};
}

}  // namespace

std::vector<Breach> breachesIn(const std::filesystem::path& src,
                               const std::vector<FolderRule>& rules,
                               const std::vector<std::string>& modelFiles,
                               const HeaderOrigins& origins) {
    const Tree tree = readTree(src);
    std::map<std::string, const FolderRule*> ruleOf;
    for (const auto& rule : rules)
        ruleOf[rule.folder] = &rule;

    // Model files and every header they reach stay free of toolkits.
    std::set<std::string> plain;
    std::vector<std::string> pending(modelFiles.begin(), modelFiles.end());
    while (!pending.empty()) {
        const std::string file = pending.back();
        pending.pop_back();
        if (!tree.files.contains(file) || !plain.insert(file).second)
            continue;
        for (const auto& include : tree.files.at(file)) {
            if (auto target = tree.resolve(file, include.text))
                pending.push_back(*target);
        }
    }

    std::vector<Breach> breaches;
    for (const auto& [file, includes] : tree.files) {
        const std::string folder = folderOf(file);
        const auto rule = ruleOf.find(folder);
        if (rule == ruleOf.end()) {
            breaches.push_back({file, 0, "folder '" + folder + "' has no row in the rules"});
            continue;
        }
        const FolderRule& row = *rule->second;
        for (const auto& include : includes) {
            const Reach reach = reachOf(tree, file, include, origins);
            if (reach.toolkit) {
                const bool allowed = row.toolkit != Toolkit::None && !plain.contains(file);
                if (!allowed)
                    breaches.push_back(
                        {file, include.line,
                         "toolkit header <" + include.text + "> from " + *reach.toolkit});
                continue;
            }
            if (!reach.file)
                continue;  // the standard library or a library plain code may use
            const std::string targetFolder = folderOf(*reach.file);
            if (targetFolder == folder)
                continue;
            if (std::ranges::find(row.mayInclude, targetFolder) == row.mayInclude.end())
                breaches.push_back(
                    {file, include.line, "\"" + include.text + "\" reaches " + targetFolder + "/"});
        }
    }
    return breaches;
}

std::vector<std::string> slackIn(const std::filesystem::path& src,
                                 const std::vector<FolderRule>& rules,
                                 const HeaderOrigins& origins) {
    const Tree tree = readTree(src);
    std::map<std::string, std::set<std::string>> reached;  // folder -> folders
    std::set<std::string> usesToolkit;
    for (const auto& [file, includes] : tree.files) {
        const std::string folder = folderOf(file);
        for (const auto& include : includes) {
            const Reach reach = reachOf(tree, file, include, origins);
            if (reach.toolkit)
                usesToolkit.insert(folder);
            else if (reach.file)
                reached[folder].insert(folderOf(*reach.file));
        }
    }
    std::vector<std::string> slack;
    for (const auto& row : rules) {
        for (const auto& allowed : row.mayInclude) {
            if (!reached[row.folder].contains(allowed))
                slack.push_back(row.folder + " may include " + allowed + "/ and never does");
        }
        if (row.toolkit != Toolkit::None && !usesToolkit.contains(row.folder))
            slack.push_back(row.folder + " may include a toolkit and never does");
    }
    return slack;
}

}  // namespace mivo::house
