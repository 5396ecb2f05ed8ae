#include "settings/install_kind.hpp"

#include <algorithm>

namespace mivo {

namespace {

bool startsWithFolder(const std::filesystem::path& path, const std::filesystem::path& folder) {
    // Whole components: /usrlocal is not under /usr.
    const auto [end, rest] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end() && rest != path.end();
}

}  // namespace

InstallKind installKindOf(const std::filesystem::path& executable) {
    const std::filesystem::path path = executable.lexically_normal();
    if (startsWithFolder(path, "/usr") && !startsWithFolder(path, "/usr/local"))
        return InstallKind::package;
    return InstallKind::builtFromSource;
}

const UpdateSourceTexts& updateSourceTexts(InstallKind kind) {
    static constexpr UpdateSourceTexts package{
        .noFeedTitle = "Updates Come with Your Package",
        .noFeedMessage =
            "Mivo is updated together with the package you installed it from: "
            "your system's software updates bring each new version.",
        .newerVersionAdvice = "Update it with your system's package manager.",
        .aboutDetail =
            "New versions of Mivo come with the package you installed it from, "
            "through your system's software updates.",
    };
    static constexpr UpdateSourceTexts source{
        .noFeedTitle = "Updates Come from the Source",
        .noFeedMessage =
            "This copy of Mivo was built from its source code, so no software "
            "update brings a new version: pull the newest source and build it "
            "again (and install it again, if you installed it).",
        .newerVersionAdvice = "Pull the newest source and build it again.",
        .aboutDetail =
            "This copy of Mivo was built from source: for a new version, pull the "
            "newest source and build it again.",
    };
    return kind == InstallKind::package ? package : source;
}

}  // namespace mivo
