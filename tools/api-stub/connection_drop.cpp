#include "connection_drop.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <optional>

namespace mivo::stub {

namespace {

struct Endpoint {
    std::string address;
    int port = -1;
};

std::optional<Endpoint> endpointOf(const sockaddr_storage& storage) {
    std::array<char, INET6_ADDRSTRLEN> text{};
    if (storage.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(storage);
        inet_ntop(AF_INET, &in.sin_addr, text.data(), text.size());
        return Endpoint{text.data(), ntohs(in.sin_port)};
    }
    if (storage.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(storage);
        inet_ntop(AF_INET6, &in6.sin6_addr, text.data(), text.size());
        return Endpoint{text.data(), ntohs(in6.sin6_port)};
    }
    return std::nullopt;
}

}  // namespace

bool dropConnection(const std::string& remoteAddress, int remotePort, int localPort) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const int highest = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 65536));
    for (int fd = 3; fd < highest; ++fd) {
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        sockaddr_storage peer{};
        sockaddr_storage local{};
        socklen_t peerLength = sizeof peer;
        socklen_t localLength = sizeof local;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0)
            continue;
        const auto p = endpointOf(peer);
        const auto l = endpointOf(local);
        if (p && l && p->address == remoteAddress && p->port == remotePort &&
            l->port == localPort) {
            shutdown(fd, SHUT_RDWR);
            return true;
        }
    }
    return false;
}

}  // namespace mivo::stub
