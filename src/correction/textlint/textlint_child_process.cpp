#include "correction/textlint/textlint_child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

extern char** environ;

namespace mivo {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other)
        reset(other.release());
    return *this;
}

int UniqueFd::release() {
    return std::exchange(fd_, -1);
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

namespace {

// Milliseconds left before `deadline` for poll(), rounded up so that a
// deadline a fraction of a millisecond away is still waited for; -1 when
// the deadline has passed.
int millisecondsLeft(TextlintChildProcess::Deadline deadline) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero())
        return -1;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 1'000'000 ? 1'000'000 : static_cast<int>(ms);
}

// Waits for `events` on `fd`; false when the deadline passes first.
bool waitFor(int fd, short events, TextlintChildProcess::Deadline deadline) {
    for (;;) {
        const int ms = millisecondsLeft(deadline);
        if (ms < 0)
            return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, ms);
        if (n > 0)
            return true;  // ready, or hung up / in error: the next call says which
        if (n < 0 && errno != EINTR)
            return false;
    }
}

bool setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// A posix_spawn object made by `Init` and released by `Destroy`.
template <typename Object, int (*Init)(Object*), int (*Destroy)(Object*)>
class SpawnObject {
  public:
    SpawnObject() { ok_ = Init(&object_) == 0; }
    ~SpawnObject() {
        if (ok_)
            Destroy(&object_);
    }
    SpawnObject(const SpawnObject&) = delete;
    SpawnObject& operator=(const SpawnObject&) = delete;
    bool ok() const { return ok_; }
    Object* get() { return &object_; }

  private:
    Object object_{};
    bool ok_ = false;
};

using SpawnActions = SpawnObject<posix_spawn_file_actions_t, &::posix_spawn_file_actions_init,
                                 &::posix_spawn_file_actions_destroy>;
using SpawnAttributes =
    SpawnObject<posix_spawnattr_t, &::posix_spawnattr_init, &::posix_spawnattr_destroy>;

}  // namespace

TextlintChildProcess::TextlintChildProcess(pid_t pid, UniqueFd input, UniqueFd output)
    : pid_(pid), reaped_(false), input_(std::move(input)), output_(std::move(output)) {}

TextlintChildProcess::TextlintChildProcess(TextlintChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      reaped_(std::exchange(other.reaped_, true)),
      input_(std::move(other.input_)),
      output_(std::move(other.output_)),
      pending_(std::move(other.pending_)),
      lineTooLong_(other.lineTooLong_) {}

TextlintChildProcess& TextlintChildProcess::operator=(TextlintChildProcess&& other) noexcept {
    if (this != &other) {
        end();
        pid_ = std::exchange(other.pid_, -1);
        reaped_ = std::exchange(other.reaped_, true);
        input_ = std::move(other.input_);
        output_ = std::move(other.output_);
        pending_ = std::move(other.pending_);
        lineTooLong_ = other.lineTooLong_;
    }
    return *this;
}

TextlintChildProcess::~TextlintChildProcess() {
    end();
}

std::optional<TextlintChildProcess> TextlintChildProcess::spawn(
    const std::vector<std::string>& arguments, const std::filesystem::path& workingFolder) {
    if (arguments.empty())
        return std::nullopt;

    // Every descriptor is close-on-exec, so the child keeps only the three
    // that the file actions below give it.
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
        return std::nullopt;
    UniqueFd inputOurs(sockets[0]);
    UniqueFd inputChild(sockets[1]);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return std::nullopt;
    UniqueFd outputOurs(pipeFds[0]);
    UniqueFd outputChild(pipeFds[1]);
    if (!setNonBlocking(inputOurs.get()) || !setNonBlocking(outputOurs.get()))
        return std::nullopt;

    SpawnActions actions;
    if (!actions.ok())
        return std::nullopt;
    if (::posix_spawn_file_actions_adddup2(actions.get(), inputChild.get(), STDIN_FILENO) != 0 ||
        ::posix_spawn_file_actions_adddup2(actions.get(), outputChild.get(), STDOUT_FILENO) != 0 ||
        ::posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY,
                                           0) != 0 ||
        ::posix_spawn_file_actions_addchdir_np(actions.get(), workingFolder.c_str()) != 0) {
        return std::nullopt;
    }

    // The child starts with no blocked signals and SIGPIPE at its default,
    // whatever this thread or process has set for itself.
    SpawnAttributes attributes;
    if (!attributes.ok())
        return std::nullopt;
    sigset_t none;
    sigset_t defaults;
    ::sigemptyset(&none);
    ::sigemptyset(&defaults);
    ::sigaddset(&defaults, SIGPIPE);
    if (::posix_spawnattr_setflags(attributes.get(),
                                   POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) != 0 ||
        ::posix_spawnattr_setsigmask(attributes.get(), &none) != 0 ||
        ::posix_spawnattr_setsigdefault(attributes.get(), &defaults) != 0) {
        return std::nullopt;
    }

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const auto& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], actions.get(), attributes.get(), argv.data(), environ) != 0)
        return std::nullopt;
    return TextlintChildProcess(pid, std::move(inputOurs), std::move(outputOurs));
}

bool TextlintChildProcess::isRunning() {
    if (reaped_)
        return false;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == 0)
        return true;
    // Exited and now reaped, or already reaped by someone else (ECHILD).
    reaped_ = true;
    return false;
}

bool TextlintChildProcess::writeAll(std::string_view bytes, Deadline deadline) {
    if (!input_.valid())
        return false;
    while (!bytes.empty()) {
        // MSG_NOSIGNAL: a child that has gone turns into EPIPE here instead
        // of a SIGPIPE that would end the whole program.
        const ssize_t n =
            ::send(input_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(input_.get(), POLLOUT, deadline))
                return false;
            continue;
        }
        return false;
    }
    return true;
}

std::optional<std::string> TextlintChildProcess::readLine(Deadline deadline) {
    if (!output_.valid())
        return std::nullopt;
    lineTooLong_ = false;
    char buffer[4096];
    // Only the bytes that arrived since the last look can hold the newline.
    std::size_t searched = 0;
    for (;;) {
        if (const auto newline = pending_.find('\n', searched); newline != std::string::npos) {
            if (newline > kMaxLineBytes) {
                lineTooLong_ = true;
                break;
            }
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        searched = pending_.size();
        // A child that never ends its line, or writes without pause, must
        // not hold the caller past the deadline nor fill its memory.
        lineTooLong_ = pending_.size() > kMaxLineBytes;
        if (lineTooLong_ || std::chrono::steady_clock::now() >= deadline)
            break;
        const ssize_t n = ::read(output_.get(), buffer, sizeof buffer);
        if (n > 0) {
            pending_.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {
            pending_.clear();  // an unfinished line at the end is no answer
            return std::nullopt;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFor(output_.get(), POLLIN, deadline))
                return std::nullopt;
            continue;
        }
        return std::nullopt;
    }
    pending_.clear();
    return std::nullopt;
}

void TextlintChildProcess::end() {
    input_.reset();
    if (!reaped_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }
    output_.reset();
    pending_.clear();
}

}  // namespace mivo
