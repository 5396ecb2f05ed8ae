#include "ipv6_loopback_hold.hpp"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace mivo::stub {

Ipv6LoopbackHold::~Ipv6LoopbackHold() {
    if (fd_ >= 0)
        ::close(fd_);
}

Ipv6LoopbackHold::Ipv6LoopbackHold(Ipv6LoopbackHold&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

Ipv6LoopbackHold& Ipv6LoopbackHold::operator=(Ipv6LoopbackHold&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

std::expected<Ipv6LoopbackHold, int> Ipv6LoopbackHold::take(int port) {
    const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno == EAFNOSUPPORT ? std::expected<Ipv6LoopbackHold, int>(Ipv6LoopbackHold())
                                     : std::unexpected(errno);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    // Without SO_REUSEADDR: no one else may bind the address beside it.
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(static_cast<uint16_t>(port));
    address.sin6_addr = in6addr_loopback;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EADDRNOTAVAIL)
            return Ipv6LoopbackHold();
        return std::unexpected(error);
    }
    return Ipv6LoopbackHold(fd);
}

}  // namespace mivo::stub
