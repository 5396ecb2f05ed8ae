#include "account/dev_file_store.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include <nlohmann/json.hpp>

#include "platform/private_file.hpp"

namespace mivo {
namespace {

constexpr std::string_view kTag = "[Mivo][Auth] ";

// Every access of any token file, from any thread, one at a time.
std::mutex& fileMutex() {
    static std::mutex mutex;
    return mutex;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

DevFileStore::DevFileStore(std::filesystem::path file, Log& log)
    : file_(std::move(file)), log_(log) {
    if (file_.empty())
        return;
    const auto folder = file_.parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
        std::filesystem::create_directories(folder.parent_path(), ec);
        // mkdir with 0700 leaves no moment in which the folder is open to others;
        // an existing folder keeps the permissions its owner gave it.
        if (::mkdir(folder.c_str(), 0700) == 0)
            ::chmod(folder.c_str(), 0700);
    }
}

std::filesystem::path DevFileStore::defaultPath() {
    std::filesystem::path base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/')
        base = data;
    else if (const auto home = homeFolder())
        base = *home / ".local" / "share";
    else
        return {};
    return base / "Mivo" / "dev-auth.json";
}

std::optional<std::string> DevFileStore::refusal() const {
    if (file_.empty())
        return "no home folder is known";
    return foreignFolderReason(file_.parent_path());
}

DevFileStore::Values DevFileStore::load() const {
    using Outcome = PrivateFileRead::Outcome;
    const auto file = readPrivateFile(file_, kMaxFileBytes);
    std::string problem;
    switch (file.outcome) {
        case Outcome::missing:
            return {};
        case Outcome::read: {
            const auto doc = nlohmann::json::parse(file.bytes, nullptr, false);
            if (doc.is_object()) {
                Values values;
                for (const auto& [key, value] : doc.items()) {
                    if (!value.is_string())
                        break;
                    values.emplace(key, value.get<std::string>());
                }
                if (values.size() == doc.size())
                    return values;
            }
            problem = "does not hold the token values";
            break;
        }
        case Outcome::unreadable:
            problem = "cannot be read (" + file.reason + ")";
            break;
        case Outcome::notRegular:
        case Outcome::tooLarge:
            problem = "is " + file.reason + ", not a token file";
            break;
    }
    // Kept for whoever wants to look, out of the way of the next write.
    std::filesystem::path aside = file_;
    aside += ".broken";
    const auto error = setAsideAsBroken(file_);
    log_.write(
        std::string(kTag) + "token file " + file_.string() + " " + problem +
        (error ? "; could not keep it aside: " + *error : "; kept aside as " + aside.string()) +
        "; signed out");
    return {};
}

void DevFileStore::persist(const Values& values) const {
    nlohmann::json doc = nlohmann::json::object();
    for (const auto& [key, value] : values)
        doc[key] = value;
    std::string bytes;
    try {
        bytes = doc.dump();
    } catch (const nlohmann::json::exception&) {
        return;  // a value that is not UTF-8 cannot be written as JSON
    }
    // mkstemp creates the file 0600, so the tokens are never readable by
    // others, not even for a moment; the rename then replaces the old file whole.
    std::string temp = file_.string() + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return;
    ::fchmod(fd, 0600);
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temp.c_str(), file_.c_str()) != 0)
        ::unlink(temp.c_str());
}

bool DevFileStore::usable() const {
    if (const auto why = refusal()) {
        if (!refusalLogged_.exchange(true))
            log_.write(std::string(kTag) + "not using the token file " + file_.string() + ": " +
                       *why + "; nothing is kept between runs");
        return false;
    }
    return true;
}

std::optional<std::string> DevFileStore::get(std::string_view key) const {
    std::lock_guard lock(fileMutex());
    if (!usable())
        return std::nullopt;
    const auto values = load();
    auto it = values.find(key);
    if (it == values.end())
        return std::nullopt;
    return it->second;
}

void DevFileStore::set(std::string_view key, std::string_view value) {
    std::lock_guard lock(fileMutex());
    if (!usable())
        return;
    auto values = load();
    values.insert_or_assign(std::string(key), std::string(value));
    persist(values);
}

void DevFileStore::remove(std::string_view key) {
    std::lock_guard lock(fileMutex());
    if (!usable())
        return;
    auto values = load();
    if (auto it = values.find(key); it != values.end())
        values.erase(it);
    persist(values);
}

}  // namespace mivo
