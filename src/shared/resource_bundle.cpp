#include "shared/resource_bundle.hpp"

#include <system_error>

#ifndef MIVO_SOURCE_RESOURCES_DIR
#error "MIVO_SOURCE_RESOURCES_DIR must name the source tree's resources folder"
#endif

namespace mivo {
namespace fs = std::filesystem;

bool ResourceBundle::exists() const {
    std::error_code ec;
    return !folder_.empty() && fs::is_directory(folder_, ec);
}

std::optional<fs::path> ResourceBundle::urlForResource(std::string_view name,
                                                       std::string_view extension,
                                                       std::string_view subdirectory) const {
    if (folder_.empty())
        return std::nullopt;
    fs::path p = folder_;
    if (!subdirectory.empty())
        p /= fs::path(subdirectory);
    std::string file(name);
    if (!extension.empty())
        file += "." + std::string(extension);
    p /= file;
    std::error_code ec;
    if (!fs::is_regular_file(p, ec))
        return std::nullopt;
    return p;
}

std::optional<fs::path> ResourceBundle::urlForFolder(std::string_view name) const {
    if (folder_.empty())
        return std::nullopt;
    fs::path p = folder_ / fs::path(name);
    std::error_code ec;
    if (!fs::is_directory(p, ec))
        return std::nullopt;
    return p;
}

std::optional<fs::path> executableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return std::nullopt;
    return exe.parent_path();
}

std::vector<std::optional<fs::path>> defaultResourceFolders() {
    const auto exeDir = executableFolder();
    if (!exeDir)
        return {std::nullopt, std::nullopt};
    return {exeDir->parent_path() / "share" / "mivo", *exeDir};
}

ResourceBundle mivoSealedResourceBundle(
    std::string_view named, const std::vector<std::optional<fs::path>>& candidateFolders,
    const std::function<ResourceBundle()>& fallback) {
    std::string name(named);
    if (!name.ends_with(".bundle"))
        name += ".bundle";
    for (const auto& folder : candidateFolders) {
        if (!folder)
            continue;
        ResourceBundle b(*folder / name);
        if (b.exists())
            return b;
    }
    return fallback ? fallback() : ResourceBundle{};
}

ResourceBundle mivoSealedResourceBundle(std::string_view named,
                                        const std::function<ResourceBundle()>& fallback) {
    return mivoSealedResourceBundle(named, defaultResourceFolders(), fallback);
}

fs::path sourceResourcesFolder() {
    return fs::path(MIVO_SOURCE_RESOURCES_DIR);
}

bool runningFromInstalledCopy() {
    const auto exeDir = executableFolder();
    if (!exeDir || exeDir->filename() != "bin")
        return false;
    std::error_code ec;
    return fs::is_directory(exeDir->parent_path() / "share" / "mivo", ec);
}

}  // namespace mivo
