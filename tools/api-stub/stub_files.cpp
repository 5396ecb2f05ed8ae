#include "stub_files.hpp"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/private_file.hpp"

namespace mivo::stub {

namespace {

constexpr std::size_t kMaxAccountsFileBytes = 1 << 20;

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string errnoText() {
    return std::strerror(errno);
}

}  // namespace

std::string makeControlSecret() {
    std::array<unsigned char, 32> bytes{};
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1)
        std::abort();  // no randomness: no secret worth the name
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += hex[b >> 4];
        out += hex[b & 0xF];
    }
    return out;
}

std::optional<std::string> writeControlSecret(const std::filesystem::path& path,
                                              std::string_view secret) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return "cannot create " + path.string() + ": " + errnoText();
    const bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, secret);
    const int closed = ::close(fd);
    if (!written || closed != 0)
        return "cannot write " + path.string() + ": " + errnoText();
    return std::nullopt;
}

bool isControlSecret(std::string_view presented, std::string_view secret) {
    return !secret.empty() && presented.size() == secret.size() &&
           CRYPTO_memcmp(presented.data(), secret.data(), secret.size()) == 0;
}

std::optional<std::filesystem::path> defaultAccountsFile() {
    std::filesystem::path state;
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg != nullptr && std::filesystem::path(xdg).is_absolute()) {
        state = xdg;
    } else if (auto home = homeFolder()) {
        state = *home / ".local" / "state";
    } else {
        return std::nullopt;
    }
    return state / "mivo" / "api-stub" / "accounts.json";
}

std::optional<std::string> prepareAccountsFolder(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    // Each missing folder from the top down, private from the start.
    std::filesystem::path partial;
    for (const auto& part : folder) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            return "cannot make " + partial.string() + ": " + errnoText();
    }
    if (auto reason = foreignFolderReason(folder))
        return folder.string() + ": " + *reason;
    return std::nullopt;
}

std::expected<std::optional<std::string>, std::string> readAccountsFile(
    const std::filesystem::path& file) {
    auto read = readPrivateFile(file, kMaxAccountsFileBytes);
    switch (read.outcome) {
        case PrivateFileRead::Outcome::read:
            return std::optional<std::string>(std::move(read.bytes));
        case PrivateFileRead::Outcome::missing:
            return std::optional<std::string>();
        default:
            return std::unexpected(file.string() + ": " + read.reason);
    }
}

std::optional<std::string> writeAccountsFile(const std::filesystem::path& file,
                                             std::string_view text) {
    std::string temp = file.string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());  // mode 0600
    if (fd < 0)
        return "cannot write " + file.string() + ": " + errnoText();
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    const int closed = ::close(fd);
    if (!written || closed != 0 || ::rename(temp.c_str(), file.c_str()) != 0) {
        const std::string why = errnoText();
        ::unlink(temp.c_str());
        return "cannot write " + file.string() + ": " + why;
    }
    return std::nullopt;
}

}  // namespace mivo::stub
