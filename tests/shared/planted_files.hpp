#pragma once

// Hostile things planted where Mivo keeps a small file of its own (settings,
// tokens), and a way to meet a file that cannot be read even when the tests
// run as root, who reads every file whatever its mode.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace mivo::testing {

enum class Planted { namedPipe, linkToDevZero, folder, oversized, linkToFile };

inline const char* nameOf(Planted kind) {
    switch (kind) {
        case Planted::namedPipe:
            return "named pipe";
        case Planted::linkToDevZero:
            return "link to /dev/zero";
        case Planted::folder:
            return "folder";
        case Planted::oversized:
            return "oversized file";
        case Planted::linkToFile:
            return "link to a file";
    }
    return "?";
}

// Puts `kind` at `path`; an oversized file holds `oversizedBytes` spaces, a
// link to a file points at `linkTarget`.
inline void plant(Planted kind, const std::filesystem::path& path, std::size_t oversizedBytes,
                  const std::filesystem::path& linkTarget) {
    std::filesystem::create_directories(path.parent_path());
    switch (kind) {
        case Planted::namedPipe:
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            break;
        case Planted::linkToDevZero:
            std::filesystem::create_symlink("/dev/zero", path);
            break;
        case Planted::folder:
            std::filesystem::create_directory(path);
            std::ofstream(path / "inside") << "x";
            break;
        case Planted::oversized:
            std::ofstream(path, std::ios::binary) << std::string(oversizedBytes, ' ');
            break;
        case Planted::linkToFile:
            std::filesystem::create_symlink(linkTarget, path);
            break;
    }
}

// An unprivileged user to become when running as root.
inline constexpr uid_t kNobody = 65534;

// Runs `scenario` as a user for whom file modes count: here when the test
// does not run as root, else in a child process as `kNobody`, after giving
// `folder` (recursively) to that user. The scenario's failure text, empty
// when it passed.
inline std::string runUnprivileged(const std::filesystem::path& folder,
                                   const std::function<std::string()>& scenario) {
    if (::geteuid() != 0)
        return scenario();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        ::lchown(entry.path().c_str(), kNobody, kNobody);
    ::lchown(folder.c_str(), kNobody, kNobody);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string failure;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            failure = "cannot become an unprivileged user";
        else
            failure = scenario();
        (void)!::write(pipeFds[1], failure.data(), failure.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string failure;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        failure.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        failure += " (the scenario's process ended abnormally)";
    return failure;
}

}  // namespace mivo::testing
