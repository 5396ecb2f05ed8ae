#include "connection_stream.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace mivo::stub {

namespace {

using std::chrono::duration_cast;
using std::chrono::microseconds;
using std::chrono::milliseconds;

void addressOf(const sockaddr_storage& storage, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (storage.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(storage);
        inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
        port = ntohs(in.sin_port);
    } else if (storage.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(storage);
        inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
        port = ntohs(in6.sin6_port);
    }
    ip = text;
}

}  // namespace

bool ConnectionStream::waitFor(short events, microseconds wait) const {
    if (wait < microseconds::zero())
        return false;
    pollfd p{fd_, events, 0};
    // Rounded up: a wait of 0.5 ms must not become no wait at all.
    const auto ms = duration_cast<milliseconds>(wait + microseconds(999)).count();
    int ready = 0;
    do {
        ready = ::poll(&p, 1, static_cast<int>(ms));
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (p.revents & (events | POLLHUP | POLLERR)) != 0;
}

void ConnectionStream::startRequest(Clock::time_point deadline, std::size_t headBytes) {
    deadline_ = deadline;
    allowance_ = headBytes;
    inBody_ = false;
}

void ConnectionStream::startBody(std::size_t bodyBytes) {
    allowance_ = bodyBytes;
    inBody_ = true;
}

void ConnectionStream::refuseOverrun() {
    overrun_ = true;
    const std::string body = inBody_ ? R"({"error":"the request body is too large"})"
                                     : R"({"error":"the request head is too large"})";
    const std::string answer =
        std::string(inBody_ ? "HTTP/1.1 413 Payload Too Large"
                            : "HTTP/1.1 431 Request Header Fields Too Large") +
        "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    for (std::size_t sent = 0; sent < answer.size();) {
        if (!is_writable())
            return;
        const ssize_t n = ::send(fd_, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

void ConnectionStream::drain() {
    ::shutdown(fd_, SHUT_WR);
    std::array<char, 16 * 1024> sink{};
    begin_ = end_ = 0;
    while (waitFor(POLLIN,
                   std::min(readTimeout_, duration_cast<microseconds>(deadline_ - Clock::now())))) {
        if (::recv(fd_, sink.data(), sink.size(), 0) <= 0)
            return;
    }
}

bool ConnectionStream::awaitRequest(milliseconds wait) const {
    return buffered() || waitFor(POLLIN, wait);
}

bool ConnectionStream::is_readable() const {
    if (buffered())
        return true;
    const auto left = duration_cast<microseconds>(deadline_ - Clock::now());
    return waitFor(POLLIN, std::min(readTimeout_, left));
}

bool ConnectionStream::is_writable() const {
    return waitFor(POLLOUT, writeTimeout_);
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
    if (overrun_)
        return -1;
    if (allowance_ == 0) {
        refuseOverrun();
        return -1;
    }
    size = std::min(size, allowance_);
    if (!buffered()) {
        if (!is_readable())
            return -1;
        const ssize_t n = ::recv(fd_, buffer_.data(), buffer_.size(), 0);
        if (n <= 0)
            return n < 0 ? -1 : 0;
        begin_ = 0;
        end_ = static_cast<std::size_t>(n);
    }
    const std::size_t n = std::min(size, end_ - begin_);
    std::memcpy(ptr, buffer_.data() + begin_, n);
    begin_ += n;
    allowance_ -= n;
    return static_cast<ssize_t>(n);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
    if (overrun_ || !is_writable())
        return -1;
    return ::send(fd_, ptr, size, MSG_NOSIGNAL);
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&storage), &length) == 0)
        addressOf(storage, ip, port);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&storage), &length) == 0)
        addressOf(storage, ip, port);
}

}  // namespace mivo::stub
