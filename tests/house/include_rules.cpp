#include "include_rules.hpp"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

namespace mivo::house {

const std::vector<FolderRule>& houseRules() {
    // One row per folder, the floors of the house from the bottom up: a
    // folder names only what lies below it. Nothing names app/, and
    // platform/sim/ belongs to the tests alone.
    static const std::vector<FolderRule> rules{
        {"shared", {}, Toolkit::None},
        {"morphology", {"shared"}, Toolkit::None},
        {"correction", {"morphology", "shared"}, Toolkit::None},
        {"platform", {"shared"}, Toolkit::None},
        {"platform/sim", {"platform", "shared"}, Toolkit::None},
        {"platform/linux", {"platform", "shared"}, Toolkit::Anywhere},
        {"field", {"platform", "shared"}, Toolkit::None},
        {"monitor", {"field", "platform", "shared"}, Toolkit::None},
        {"account", {"platform", "shared"}, Toolkit::None},
        {"tone", {"monitor", "field", "platform", "shared"}, Toolkit::None},
        {"ui", {"platform/linux", "platform", "shared"}, Toolkit::Anywhere},
        {"overlay", {"ui", "platform", "shared"}, Toolkit::ViewsOnly},
        {"tone_panel", {"tone", "field", "ui", "platform", "shared"}, Toolkit::ViewsOnly},
        {"settings", {"account", "ui", "platform", "shared"}, Toolkit::ViewsOnly},
        {"onboarding", {"ui", "platform", "shared"}, Toolkit::ViewsOnly},
        {"correction_display",
         {"correction", "monitor", "overlay", "settings", "platform", "shared"},
         Toolkit::None},
        {"app",
         {"account", "correction", "correction_display", "monitor", "onboarding", "overlay",
          "settings", "tone", "tone_panel", "ui", "field", "morphology", "platform/linux",
          "platform", "shared"},
         Toolkit::ViewsOnly},
    };
    return rules;
}

std::string folderOf(const std::string& pathBelowSrc) {
    const auto slash = pathBelowSrc.find('/');
    if (slash == std::string::npos)
        return {};
    std::string first = pathBelowSrc.substr(0, slash);
    if (first != "platform")
        return first;
    const auto second = pathBelowSrc.find('/', slash + 1);
    if (second == std::string::npos)
        return first;
    const std::string backend = pathBelowSrc.substr(slash + 1, second - slash - 1);
    return backend == "linux" || backend == "sim" ? first + "/" + backend : first;
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

bool isToolkitHeader(const std::string& header) {
    static const std::vector<std::string> prefixes{"X11/", "xcb/",     "atspi/",     "glib",
                                                   "gio/", "gobject/", "libsecret/", "dbus/"};
    if (header.size() > 1 && header[0] == 'Q' &&
        std::isupper(static_cast<unsigned char>(header[1])))
        return true;
    if (header.starts_with("Qt") || header.starts_with("private/q"))
        return true;
    return std::ranges::any_of(prefixes,
                               [&](const std::string& p) { return header.starts_with(p); });
}

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool isSource(const std::filesystem::path& path) {
    const auto ext = path.extension();
    return ext == ".cpp" || ext == ".hpp" || ext == ".h";
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

std::vector<Breach> breachesIn(const std::filesystem::path& src,
                               const std::vector<FolderRule>& rules,
                               const std::vector<std::string>& modelFiles) {
    Tree tree{src, {}};
    for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
        if (entry.is_regular_file() && isSource(entry.path())) {
            const auto below = entry.path().lexically_relative(src).generic_string();
            tree.files[below] = includesOf(readFile(entry.path()));
        }
    }
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
            if (include.angled)
                continue;
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
            if (include.angled) {
                if (!isToolkitHeader(include.text))
                    continue;
                const bool allowed = row.toolkit != Toolkit::None && !plain.contains(file);
                if (!allowed)
                    breaches.push_back(
                        {file, include.line, "toolkit header <" + include.text + ">"});
                continue;
            }
            const auto target = tree.resolve(file, include.text);
            if (!target)
                continue;  // a generated or third-party header
            const std::string targetFolder = folderOf(*target);
            if (targetFolder == folder)
                continue;
            if (std::ranges::find(row.mayInclude, targetFolder) == row.mayInclude.end())
                breaches.push_back(
                    {file, include.line, "\"" + include.text + "\" reaches " + targetFolder + "/"});
        }
    }
    return breaches;
}

}  // namespace mivo::house
