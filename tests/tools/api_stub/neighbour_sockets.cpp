#include "neighbour_sockets.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "../../shared/planted_files.hpp"

namespace mivo::testing {

Trickle::Trickle(int port, int connections, std::chrono::milliseconds every) : every_(every) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < connections; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            open_.push_back({fd, POLLIN, 0});
        else
            ::close(fd);
    }
    pump_ = std::thread([this] { trickle(); });
}

Trickle::~Trickle() {
    dropped_ = true;
    pump_.join();
    for (const auto& p : open_)
        if (p.fd >= 0)
            ::close(p.fd);
    EXPECT_EQ(closed_, open_.size()) << "trickling connections the stub kept open";
}

void Trickle::trickle() {
    std::optional<Clock::time_point> deadline;
    for (auto next = Clock::now(); closed_ < open_.size();) {
        if (!deadline && dropped_)
            deadline = Clock::now() + std::chrono::seconds(10);
        if (deadline && Clock::now() >= *deadline)
            return;
        if (Clock::now() >= next) {
            sendByte();
            next += every_;
        }
        ::poll(open_.data(), open_.size(), 100);
        for (auto& p : open_) {
            char c = 0;
            if (p.fd >= 0 && p.revents != 0 && ::recv(p.fd, &c, 1, MSG_DONTWAIT) <= 0) {
                ::close(p.fd);
                p.fd = -1;
                ++closed_;
            }
        }
    }
}

void Trickle::sendByte() {
    static const std::string head = "GET /v1/health HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
    for (const auto& p : open_)
        if (p.fd >= 0)
            ::send(p.fd, &head[std::min(sent_, head.size() - 1)], 1, MSG_NOSIGNAL);
    ++sent_;
}

AsAnotherUser::AsAnotherUser() {
    EXPECT_EQ(::setegid(kNobody), 0);
    EXPECT_EQ(::seteuid(kNobody), 0);
}

AsAnotherUser::~AsAnotherUser() {
    EXPECT_EQ(::seteuid(0), 0);
    EXPECT_EQ(::setegid(0), 0);
}

int connectedSocket(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

int statusAfterSending(int port, const std::string& head, const std::string& piece,
                       std::size_t pieces) {
    const int fd = connectedSocket(port);
    std::thread sender([&] {
        if (::send(fd, head.data(), head.size(), MSG_NOSIGNAL) < 0)
            return;
        for (std::size_t i = 0; i < pieces; ++i) {
            for (std::size_t sent = 0; sent < piece.size();) {
                const ssize_t n =
                    ::send(fd, piece.data() + sent, piece.size() - sent, MSG_NOSIGNAL);
                if (n <= 0)
                    return;
                sent += static_cast<std::size_t>(n);
            }
        }
    });
    std::string answer;
    char buffer[512];
    while (answer.find("\r\n") == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 30'000) <= 0)
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::shutdown(fd, SHUT_RDWR);
    sender.join();
    ::close(fd);
    return answer.starts_with("HTTP/1.1 ") ? std::atoi(answer.c_str() + 9) : 0;
}

Listener::Listener(int wanted, const std::string& device)
    : fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    if (!device.empty()) {
        EXPECT_EQ(::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(),
                               static_cast<socklen_t>(device.size())),
                  0);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(wanted));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        fd = -1;
        return;
    }
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
}

Listener::~Listener() {
    if (fd >= 0)
        ::close(fd);
}

int sendAndHangUp(int port, const std::string& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    const int from = ntohs(address.sin_port);
    const int second = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_LINGER2, &second, sizeof second);
    address.sin_port = htons(static_cast<uint16_t>(port));
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    ::close(fd);
    return from;
}

std::shared_ptr<Listener> listenOnceFree(int port) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        auto listener = std::make_shared<Listener>(port);
        if (listener->fd >= 0)
            return listener;
        ::poll(nullptr, 0, 50);
    }
    ADD_FAILURE() << "port " << port << " did not come free";
    return nullptr;
}

}  // namespace mivo::testing
