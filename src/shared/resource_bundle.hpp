#pragma once

// Resource bundles are plain folders named "<Name>.bundle". An installed
// Mivo keeps them in <prefix>/share/mivo/; a build keeps them beside its
// executables; the source tree's resources/ folder is the callers' fallback.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

class ResourceBundle {
  public:
    ResourceBundle() = default;
    explicit ResourceBundle(std::filesystem::path folder) : folder_(std::move(folder)) {}

    const std::filesystem::path& folder() const { return folder_; }
    bool exists() const;

    // The regular file "<name>.<extension>" in `subdirectory` (or at the top
    // level when empty); nothing when it is not there.
    std::optional<std::filesystem::path> urlForResource(std::string_view name,
                                                        std::string_view extension,
                                                        std::string_view subdirectory = {}) const;
    // A folder (or a link to one) inside the bundle.
    std::optional<std::filesystem::path> urlForFolder(std::string_view name) const;

  private:
    std::filesystem::path folder_;
};

// The install's resource folder (<exe>/../share/mivo) then the executable's
// own folder; either is absent when it cannot be determined.
std::vector<std::optional<std::filesystem::path>> defaultResourceFolders();

// Finds "<named>.bundle" in the candidate folders in order; the first that
// exists wins. `fallback` runs only when none does, and at most once.
ResourceBundle mivoSealedResourceBundle(std::string_view named,
                                        const std::function<ResourceBundle()>& fallback);
ResourceBundle mivoSealedResourceBundle(
    std::string_view named,
    const std::vector<std::optional<std::filesystem::path>>& candidateFolders,
    const std::function<ResourceBundle()>& fallback);

// resources/ of the source tree this binary was built from.
std::filesystem::path sourceResourcesFolder();
// The folder of the running executable, when it can be read.
std::optional<std::filesystem::path> executableFolder();
// True when the executable runs from an installed prefix (<prefix>/bin with
// <prefix>/share/mivo beside it) rather than from a build or source tree.
bool runningFromInstalledCopy();

}  // namespace mivo
