#include "app/scratch_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "settings/support_mail.hpp"

namespace mivo {

namespace {

std::string errnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// A folder of this user that nobody else can write, not reached through a link.
std::expected<void, std::string> checkPrivateFolder(const std::filesystem::path& folder) {
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) {
        return std::unexpected(errnoText("cannot inspect " + folder.string()));
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid() || (info.st_mode & 022) != 0) {
        return std::unexpected(folder.string() + " is not a private folder of this user");
    }
    return {};
}

std::expected<std::filesystem::path, std::string> scratchFolder(const ScratchLocation& where) {
    if (where.runtimeDir && !where.runtimeDir->empty() && where.runtimeDir->front() == '/') {
        const std::filesystem::path runtime(*where.runtimeDir);
        if (checkPrivateFolder(runtime)) {
            return runtime;
        }
    }
    const std::filesystem::path base(where.tempDir && !where.tempDir->empty() ? *where.tempDir
                                                                              : "/tmp");
    const auto folder = base / ("mivo-" + std::to_string(geteuid()));
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return std::unexpected(errnoText("cannot create " + folder.string()));
    }
    if (auto ok = checkPrivateFolder(folder); !ok) {
        return std::unexpected(ok.error());
    }
    return folder;
}

}  // namespace

std::expected<std::filesystem::path, std::string> prepareScratchFile(const ScratchLocation& where) {
    const auto folder = scratchFolder(where);
    if (!folder) {
        return std::unexpected(folder.error());
    }
    const auto path = *folder / scratchFileName;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        close(fd);
        return path;
    }
    if (errno != EEXIST) {
        return std::unexpected(errnoText("cannot create " + path.string()));
    }
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return std::unexpected(errnoText("cannot inspect " + path.string()));
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        return std::unexpected(path.string() + " exists and is not a file of this user");
    }
    return path;
}

std::string fileURL(const std::filesystem::path& path) {
    std::string url = "file://";
    for (const auto& part : path) {
        if (part == "/") {
            continue;
        }
        url += "/" + percentEncode(part.string());
    }
    return url;
}

}  // namespace mivo
