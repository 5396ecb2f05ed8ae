#include "account/desktop_callback_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace mivo::DesktopCallbackServer {
namespace {

using Steady = std::chrono::steady_clock;

constexpr const char* kRefusal =
    "HTTP/1.1 400 Bad Request\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n"
    "Connection: close\r\n"
    "\r\n"
    "Not a sign-in callback.\n";

constexpr const char* kGrantRefused =
    "HTTP/1.1 400 Bad Request\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n"
    "Connection: close\r\n"
    "\r\n"
    "The sign-in did not go through. Go back to Mivo and try again.\n";

struct Connection {
    int fd = -1;
    std::string received;
    Steady::time_point accepted;
    Steady::time_point deadline;
};

// Room for one more connection: the oldest that has sent nothing goes, or,
// when every one has sent something, the oldest of all.
void makeRoom(std::vector<Connection>& connections);

void sendAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

// Closing with unread bytes makes the kernel reset the connection, and a
// browser may then drop the page it was sent: read what has arrived first.
void finish(Connection& c, std::string_view reply) {
    if (!reply.empty())
        sendAll(c.fd, reply);
    char scratch[4096];
    for (int i = 0; i < 16 && ::recv(c.fd, scratch, sizeof scratch, MSG_DONTWAIT) > 0; ++i) {
    }
    ::shutdown(c.fd, SHUT_WR);
    ::close(c.fd);
    c.fd = -1;
}

int millisecondsUntil(Steady::time_point when) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Steady::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

// The request line once complete (or cut at the limit); nothing while more
// may still come.
std::optional<std::string_view> requestLine(const Connection& c) {
    const std::string_view got(c.received);
    if (auto end = got.find("\r\n"); end != std::string_view::npos)
        return got.substr(0, end);
    if (got.size() >= kMaxRequestBytes)
        return got.substr(0, kMaxRequestBytes);
    return std::nullopt;
}

void toTimeval(double seconds, timeval& tv) {
    tv.tv_sec = static_cast<time_t>(seconds);
    tv.tv_usec = static_cast<suseconds_t>((seconds - std::floor(seconds)) * 1e6);
}

}  // namespace

std::string ServerError::description() const {
    switch (kind) {
        case Kind::bindFailed:
            return "Failed to bind port (errno " + std::to_string(errnoValue) + ")";
        case Kind::socketFailed:
            return "Failed to create socket";
        case Kind::listenFailed:
            return "Failed to listen on socket";
        case Kind::acceptFailed:
            return "Failed to accept connection";
        case Kind::readFailed:
            return "Failed to read from socket";
        case Kind::grantNotFound:
            return "OAuth grant parameter not found in callback URL";
        case Kind::timedOut:
            return "Timed out waiting for the browser: the sign-in was not finished in time";
    }
    return {};
}

Listener::~Listener() {
    close();
}

Listener& Listener::operator=(Listener&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

void Listener::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

uint16_t Listener::port() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

std::expected<Listener, ServerError> listenOnLoopback(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::unexpected(ServerError{ServerError::Kind::socketFailed, 0});
    Listener listener(fd);
    // Lets a new sign-in bind while an old callback connection lingers in
    // TIME_WAIT; a port that another program listens on still fails.
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return std::unexpected(ServerError{ServerError::Kind::bindFailed, errno});
    if (::listen(fd, 16) != 0)
        return std::unexpected(ServerError{ServerError::Kind::listenFailed, 0});
    return listener;
}

HeldReply::~HeldReply() {
    if (fd_ >= 0)
        ::close(fd_);
}

void HeldReply::accept() {
    if (fd_ < 0)
        return;
    Connection c{fd_, {}, {}, {}};
    finish(c, successResponse());
    fd_ = -1;
}

void HeldReply::refuse() {
    if (fd_ < 0)
        return;
    Connection c{fd_, {}, {}, {}};
    finish(c, kGrantRefused);
    fd_ = -1;
}

namespace {

void makeRoom(std::vector<Connection>& connections) {
    if (connections.empty())
        return;
    auto victim = std::min_element(connections.begin(), connections.end(),
                                   [](const Connection& a, const Connection& b) {
                                       if (a.received.empty() != b.received.empty())
                                           return a.received.empty();
                                       return a.accepted < b.accepted;
                                   });
    finish(*victim, {});
    connections.erase(victim);
}

Steady::time_point after(double seconds) {
    return Steady::now() +
           std::chrono::duration_cast<Steady::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

Result serve(Listener& listener, double timeoutSeconds, int cancelFd,
             std::shared_ptr<HeldReply>* held) {
    if (!std::isfinite(timeoutSeconds) || timeoutSeconds < 0)
        timeoutSeconds = 0;
    const auto deadline = after(timeoutSeconds);
    std::vector<Connection> connections;
    auto closeAll = [&] {
        for (auto& c : connections)
            if (c.fd >= 0)
                finish(c, {});
    };

    while (Steady::now() < deadline) {
        std::vector<pollfd> fds;
        fds.push_back({cancelFd, POLLIN, 0});
        // The listener is always watched: a full table makes room instead of
        // leaving the browser in the backlog behind silent connections.
        fds.push_back({listener.fd(), POLLIN, 0});
        auto wakeAt = deadline;
        for (const auto& c : connections) {
            fds.push_back({c.fd, POLLIN, 0});
            wakeAt = std::min(wakeAt, c.deadline);
        }
        const int ready = ::poll(fds.data(), fds.size(), millisecondsUntil(wakeAt));
        if (ready < 0 && errno != EINTR)
            break;
        if (cancelFd >= 0 && (fds[0].revents & (POLLIN | POLLHUP)) != 0)
            break;

        // Read what has arrived before anyone is made to go: a connection
        // that has just sent its request line is no longer idle.
        for (std::size_t i = 0; i < connections.size(); ++i) {
            auto& c = connections[i];
            const short events = i + 2 < fds.size() ? fds[i + 2].revents : 0;
            if ((events & (POLLIN | POLLHUP | POLLERR)) != 0) {
                char buffer[kMaxRequestBytes];
                const std::size_t room = kMaxRequestBytes - c.received.size();
                const ssize_t n = ::recv(c.fd, buffer, room, MSG_DONTWAIT);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                    finish(c, {});  // gone before its request line was complete
                    continue;
                }
                if (n > 0)
                    c.received.append(buffer, static_cast<std::size_t>(n));
                if (auto line = requestLine(c)) {
                    auto grant = parseGrant(*line);
                    if (grant && !grant->empty()) {
                        if (held != nullptr) {
                            *held = std::make_shared<HeldReply>(std::exchange(c.fd, -1));
                        } else {
                            finish(c, successResponse());
                        }
                        closeAll();
                        return *grant;
                    }
                    finish(c, kRefusal);
                    continue;
                }
            }
            if (Steady::now() >= c.deadline)
                finish(c, {});
        }
        std::erase_if(connections, [](const Connection& c) { return c.fd < 0; });

        if ((fds[1].revents & POLLIN) != 0) {
            const int fd = ::accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                if (connections.size() >= kMaxConnections)
                    makeRoom(connections);
                timeval sendLimit{};
                toTimeval(kConnectionDeadlineSeconds, sendLimit);
                ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
                connections.push_back({fd, {}, Steady::now(), after(kConnectionDeadlineSeconds)});
            }
        }
    }
    closeAll();
    // No callback in time (or the wait was given up).
    return std::unexpected(ServerError{ServerError::Kind::timedOut, 0});
}

namespace {

// Shared by the worker thread and the cancel handle.
struct Wait {
    int cancelRead = -1;
    int cancelWrite = -1;
    std::atomic<bool> cancelled = false;
    // The listening socket while the worker has it open; shut down by a cancel
    // so that the port is free for a new sign-in at once.
    std::mutex listenerMutex;
    int listenFd = -1;
    ~Wait() {
        if (cancelRead >= 0)
            ::close(cancelRead);
        if (cancelWrite >= 0)
            ::close(cancelWrite);
    }
};

}  // namespace

namespace {

// Runs one `serve` on a worker thread, or reports `failure` through the loop.
// `closeAfter`: the listener is closed when serving ends (one-shot waits);
// otherwise it stays bound for the caller's next round.
Cancel startWait(std::shared_ptr<Listener> listener, std::optional<ServerError> failure,
                 bool closeAfter, bool holdReply, double timeoutSeconds, MainLoopPost post,
                 std::function<void(CallbackResult)> completion) {
    auto wait = std::make_shared<Wait>();
    Cancel handle([wait] {
        if (wait->cancelled.exchange(true))
            return;
        {
            std::lock_guard lock(wait->listenerMutex);
            if (wait->listenFd >= 0)
                ::shutdown(wait->listenFd, SHUT_RDWR);
        }
        const char byte = 1;
        if (wait->cancelWrite >= 0)
            (void)!::write(wait->cancelWrite, &byte, 1);
    });
    auto deliver = [wait, post, completion = std::move(completion)](CallbackResult result) {
        post([wait, completion, result = std::move(result)] {
            if (!wait->cancelled.load())
                completion(result);
        });
    };

    if (failure) {
        deliver(std::unexpected(*failure));
        return handle;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        deliver(std::unexpected(ServerError{ServerError::Kind::socketFailed, 0}));
        return handle;
    }
    wait->cancelRead = pipeFds[0];
    wait->cancelWrite = pipeFds[1];
    wait->listenFd = listener->fd();
    // The thread shares the listener; it ends by itself within the time-out,
    // or at once when cancelled, so nothing waits for it.
    std::thread([wait, deliver, timeoutSeconds, closeAfter, holdReply,
                 listening = std::move(listener)]() mutable {
        std::shared_ptr<HeldReply> held;
        auto grant =
            serve(*listening, timeoutSeconds, wait->cancelRead, holdReply ? &held : nullptr);
        {
            std::lock_guard lock(wait->listenerMutex);
            wait->listenFd = -1;
            if (closeAfter)
                listening->close();
        }
        if (!grant)
            return deliver(std::unexpected(grant.error()));
        deliver(Callback{std::move(*grant), std::move(held)});
    }).detach();
    return handle;
}

Cancel startOneShot(std::expected<Listener, ServerError> listener, double timeoutSeconds,
                    MainLoopPost post, std::function<void(Result)> completion) {
    std::optional<ServerError> failure;
    std::shared_ptr<Listener> shared;
    if (listener)
        shared = std::make_shared<Listener>(std::move(*listener));
    else
        failure = listener.error();
    return startWait(std::move(shared), failure, true, false, timeoutSeconds, std::move(post),
                     [completion = std::move(completion)](CallbackResult result) {
                         if (!result)
                             return completion(std::unexpected(result.error()));
                         completion(std::move(result->grant));
                     });
}

}  // namespace

Cancel waitForGrant(uint16_t port, double timeoutSeconds, MainLoopPost post,
                    std::function<void(Result)> completion) {
    return startOneShot(listenOnLoopback(port), timeoutSeconds, std::move(post),
                        std::move(completion));
}

Cancel waitForGrant(Listener listener, double timeoutSeconds, MainLoopPost post,
                    std::function<void(Result)> completion) {
    return startOneShot(std::move(listener), timeoutSeconds, std::move(post),
                        std::move(completion));
}

Cancel waitForCallback(std::shared_ptr<Listener> listener, double timeoutSeconds, MainLoopPost post,
                       std::function<void(CallbackResult)> completion) {
    return startWait(std::move(listener), std::nullopt, false, true, timeoutSeconds,
                     std::move(post), std::move(completion));
}

}  // namespace mivo::DesktopCallbackServer
