#include "big_answer_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace mivo::testing {

const std::string& BigAnswerServer::body() {
    static const std::string text = [] {
        constexpr std::size_t target = 32'000'000;
        std::string out = "{";
        out.reserve(target + 32);
        for (std::size_t i = 0; out.size() < target; ++i) {
            if (i > 0)
                out += ',';
            out += "\"k" + std::to_string(i) + "\":0";
        }
        out += '}';
        return out;
    }();
    return text;
}

BigAnswerServer::BigAnswerServer(Framing framing) : framing_(framing) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listenFd_, 4);
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    (void)!::pipe2(stopPipe_, O_CLOEXEC);
    body();  // built before any client waits on it
    thread_ = std::thread([this] { run(); });
}

BigAnswerServer::~BigAnswerServer() {
    const char byte = 1;
    (void)!::write(stopPipe_[1], &byte, 1);
    thread_.join();
    ::close(listenFd_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string BigAnswerServer::baseURL() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

void BigAnswerServer::run() {
    pollfd waitForClient[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(waitForClient, 2, -1) <= 0 || (waitForClient[1].revents & POLLIN) != 0)
        return;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    char scratch[4096];
    (void)!::recv(fd, scratch, sizeof scratch, 0);
    const std::string& text = body();
    std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n";
    if (framing_ == Framing::announcedLength)
        head += "Content-Length: " + std::to_string(text.size()) + "\r\n";
    head += "\r\n";
    bool open = ::send(fd, head.data(), head.size(), MSG_NOSIGNAL) >= 0;
    std::size_t sent = 0;
    while (open && sent < text.size()) {
        pollfd p[2] = {{fd, POLLOUT, 0}, {stopPipe_[0], POLLIN, 0}};
        ::poll(p, 2, -1);
        if ((p[1].revents & POLLIN) != 0 || (p[0].revents & (POLLHUP | POLLERR)) != 0)
            break;
        const std::size_t take = std::min<std::size_t>(64 * 1024, text.size() - sent);
        const ssize_t n = ::send(fd, text.data() + sent, take, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        open = n > 0;
        if (open) {
            sent += static_cast<std::size_t>(n);
            sent_ = sent;
        }
    }
    ::close(fd);
}

}  // namespace mivo::testing
