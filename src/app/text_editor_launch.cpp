#include "app/text_editor_launch.hpp"

#include <algorithm>
#include <sstream>

namespace mivo::text_editor {

namespace {

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

void addFolder(std::vector<std::filesystem::path>& folders, std::string_view base) {
    if (base.empty() || base.front() != '/')
        return;
    auto folder = std::filesystem::path(base) / "applications";
    if (std::ranges::find(folders, folder) == folders.end())
        folders.push_back(std::move(folder));
}

bool isPlainDesktopId(std::string_view id) {
    constexpr std::string_view suffix = ".desktop";
    if (id.size() <= suffix.size() || !id.ends_with(suffix) || id.front() == '-' ||
        id.front() == '.')
        return false;
    return std::ranges::all_of(id, [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_';
    });
}

// The value of `key` in the [Desktop Entry] group, if present.
std::optional<std::string> entryValue(const std::string& contents, std::string_view key) {
    std::istringstream lines(contents);
    std::string line;
    bool inEntry = false;
    while (std::getline(lines, line)) {
        const std::string_view l = trim(line);
        if (l.starts_with('[')) {
            inEntry = l == "[Desktop Entry]";
            continue;
        }
        if (!inEntry || !l.starts_with(key))
            continue;
        const std::string_view rest = trim(l.substr(key.size()));
        if (rest.starts_with('='))
            return std::string(trim(rest.substr(1)));
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::filesystem::path> applicationFolders(std::optional<std::string> dataHome,
                                                      std::optional<std::string> home,
                                                      std::optional<std::string> dataDirs) {
    std::vector<std::filesystem::path> folders;
    if (dataHome && !dataHome->empty() && dataHome->front() == '/')
        addFolder(folders, *dataHome);
    else if (home && !home->empty())
        addFolder(folders, (std::filesystem::path(*home) / ".local/share").string());
    const std::string dirs =
        dataDirs && !dataDirs->empty() ? *dataDirs : "/usr/local/share:/usr/share";
    std::string_view rest = dirs;
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        addFolder(folders, rest.substr(0, colon));
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }
    return folders;
}

std::optional<std::filesystem::path> findDesktopFile(
    std::string_view desktopId, const std::vector<std::filesystem::path>& folders,
    const std::function<bool(const std::filesystem::path&)>& isFile) {
    if (!isPlainDesktopId(desktopId))
        return std::nullopt;
    for (const auto& folder : folders) {
        const auto direct = folder / std::string(desktopId);
        if (isFile(direct))
            return direct;
        // "kde-kate.desktop" may live at "kde/kate.desktop".
        std::string nested(desktopId);
        for (auto dash = nested.find('-'); dash != std::string::npos;
             dash = nested.find('-', dash + 1)) {
            std::string candidate = nested;
            candidate[dash] = '/';
            if (isFile(folder / candidate))
                return folder / candidate;
        }
    }
    return std::nullopt;
}

std::optional<Command> openCommand(std::string_view xdgMimeAnswer,
                                   const std::filesystem::path& file, const System& system) {
    std::string_view answer = trim(xdgMimeAnswer);
    answer = trim(answer.substr(0, answer.find('\n')));
    if (answer.empty())
        return std::nullopt;
    const auto desktopFile = findDesktopFile(answer, system.folders, system.isFile);
    if (!desktopFile)
        return std::nullopt;
    const auto contents = system.readFile(*desktopFile);
    if (!contents || entryValue(*contents, "Hidden") == "true" || !entryValue(*contents, "Exec"))
        return std::nullopt;
    if (!system.hasProgram("gio"))
        return std::nullopt;
    return Command{"gio", {"launch", desktopFile->string(), file.string()}};
}

}  // namespace mivo::text_editor
