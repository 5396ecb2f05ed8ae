#pragma once

// Where new versions of this copy of Mivo come from, which depends on how it
// got onto the machine: a package is updated by the system's package
// manager; a copy built from source (a build tree, or installed from one
// into ~/.local or /usr/local) only by pulling the source and building it
// again. The texts the updater and the about card show for each.

#include <filesystem>

namespace mivo {

enum class InstallKind { package, builtFromSource };

// Decided by where the running binary lives: the package manager owns /usr
// but for /usr/local, which is left to the machine's own builds.
InstallKind installKindOf(const std::filesystem::path& executable);

struct UpdateSourceTexts {
    // The alert of "Check for Updates…" when there is no update feed.
    const char* noFeedTitle;
    const char* noFeedMessage;
    // After "Mivo 1.2 is available; you have 1.1. ".
    const char* newerVersionAdvice;
    // The about card's line under the automatic-check switch, without a feed.
    const char* aboutDetail;
};

const UpdateSourceTexts& updateSourceTexts(InstallKind kind);

}  // namespace mivo
