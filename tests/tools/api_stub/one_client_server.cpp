#include "one_client_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mivo::testing {

OneClientServer::OneClientServer(Serve serve) : serve_(std::move(serve)) {
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
    thread_ = std::thread([this] { run(); });
}

OneClientServer::~OneClientServer() {
    const char byte = 1;
    (void)!::write(stopPipe_[1], &byte, 1);
    thread_.join();
    ::close(listenFd_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string OneClientServer::baseURL() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

void OneClientServer::run() {
    pollfd waitForClient[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(waitForClient, 2, -1) <= 0 || (waitForClient[1].revents & POLLIN) != 0)
        return;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    // The request itself does not matter; take what has come.
    char scratch[4096];
    (void)!::recv(fd, scratch, sizeof scratch, 0);
    serve_(fd, stopPipe_[0]);
    ::close(fd);
}

}  // namespace mivo::testing
