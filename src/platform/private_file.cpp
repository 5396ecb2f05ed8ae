#include "platform/private_file.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace mivo {
namespace {

std::string errnoText(int error) {
    return std::generic_category().message(error);
}

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISLNK(mode))
        return "a link";
    return "not a regular file";
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

PrivateFileRead readPrivateFile(const std::filesystem::path& path, std::size_t maxBytes) {
    using Outcome = PrivateFileRead::Outcome;
    PrivateFileRead result;
    // O_NONBLOCK: opening a named pipe must not wait for a writer.
    // O_NOFOLLOW: a link (to /dev/zero, to someone else's file) is refused.
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        const int error = errno;
        struct stat info {};
        if (error == ENOENT) {
            result.outcome = Outcome::missing;
        } else if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
            // ELOOP for a link, ENXIO for a socket, or a folder we may not open.
            result.outcome = Outcome::notRegular;
            result.reason = kindOf(info.st_mode);
        } else {
            result.outcome = Outcome::unreadable;
            result.reason = errnoText(error);
        }
        return result;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        result.outcome = Outcome::unreadable;
        result.reason = errnoText(errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.outcome = Outcome::notRegular;
        result.reason = kindOf(info.st_mode);
        return result;
    }
    const auto tooLarge = [&] {
        result.outcome = Outcome::tooLarge;
        result.reason = "larger than " + std::to_string(maxBytes) + " bytes";
        result.bytes.clear();
        return result;
    };
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        return tooLarge();
    // The size may change while we read: read at most one byte past the bound.
    result.bytes.resize(maxBytes + 1);
    std::size_t got = 0;
    while (got < result.bytes.size()) {
        const ssize_t n = ::read(fd.get(), result.bytes.data() + got, result.bytes.size() - got);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result.outcome = Outcome::unreadable;
            result.reason = errnoText(errno);
            result.bytes.clear();
            return result;
        }
        got += static_cast<std::size_t>(n);
    }
    if (got > maxBytes)
        return tooLarge();
    result.bytes.resize(got);
    result.outcome = Outcome::read;
    return result;
}

std::optional<std::string> setAsideAsBroken(const std::filesystem::path& path) {
    std::filesystem::path aside = path;
    aside += ".broken";
    std::error_code error;
    std::filesystem::rename(path, aside, error);
    if (error)
        return error.message();
    return std::nullopt;
}

std::optional<std::string> foreignFolderReason(const std::filesystem::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return errno == ENOENT ? std::nullopt : std::optional<std::string>(errnoText(errno));
    if (!S_ISDIR(info.st_mode))
        return folder.string() + " is not a folder";
    if (info.st_uid != ::geteuid())
        return folder.string() + " belongs to another user";
    if ((info.st_mode & S_IWOTH) != 0)
        return folder.string() + " can be written by every user";
    return std::nullopt;
}

std::expected<std::filesystem::path, std::string> followOwnLinks(
    const std::filesystem::path& path) {
    // As many links as the kernel follows in one path.
    constexpr int kMaxLinks = 40;
    std::filesystem::path current = path;
    for (int followed = 0;; ++followed) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno != ENOENT)
                return std::unexpected("a link that cannot be followed (" + errnoText(errno) + ")");
            if (followed == 0)
                return current;
            // A link to nothing yet: what is written through it lands in
            // the user's own folder, so it is checked as a target's folder.
            if (auto foreign = foreignFolderReason(current.parent_path()))
                return std::unexpected("a link into a folder not the user's own (" + *foreign +
                                       ")");
            return current;
        }
        if (followed > 0) {
            if (info.st_uid != ::geteuid())
                return std::unexpected(S_ISLNK(info.st_mode) ? "a link to another user's link"
                                                             : "a link to another user's file");
            if (auto foreign = foreignFolderReason(current.parent_path()))
                return std::unexpected("a link into a folder not the user's own (" + *foreign +
                                       ")");
        }
        if (!S_ISLNK(info.st_mode)) {
            if (followed > 0 && !S_ISREG(info.st_mode))
                return std::unexpected("a link to " + kindOf(info.st_mode));
            return current;
        }
        if (info.st_uid != ::geteuid())
            return std::unexpected("another user's link");
        if (followed == kMaxLinks)
            return std::unexpected("a chain of links too long to follow");
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(current, error);
        if (error)
            return std::unexpected("a link that cannot be read (" + error.message() + ")");
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
}

std::optional<std::filesystem::path> homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return std::filesystem::path(home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr &&
                                                   pw->pw_dir[0] == '/' &&
                                                   std::string_view(pw->pw_dir) != "/")
        return std::filesystem::path(pw->pw_dir);
    return std::nullopt;
}

}  // namespace mivo
