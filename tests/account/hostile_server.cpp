#include "hostile_server.hpp"

#include <poll.h>
#include <sys/socket.h>

#include <utility>

namespace mivo::testing {

HostileServer::HostileServer(std::string opening, std::string piece, double intervalSeconds)
    : opening_(std::move(opening)),
      piece_(std::move(piece)),
      interval_(intervalSeconds),
      server_([this](int client, int stop) { serve(client, stop); }) {}

void HostileServer::serve(int fd, int stop) {
    char scratch[4096];
    bool open = ::send(fd, opening_.data(), opening_.size(), MSG_NOSIGNAL) >= 0;
    const int waitMs = static_cast<int>(interval_ * 1000);
    while (open) {
        pollfd p[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
        ::poll(p, 2, waitMs);
        if ((p[1].revents & POLLIN) != 0)
            break;
        // The client closed (or reset) the connection: it gave up.
        if ((p[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0 &&
            ::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT) <= 0)
            break;
        open = ::send(fd, piece_.data(), piece_.size(), MSG_NOSIGNAL) > 0;
        if (open)
            ++pieces_;
    }
}

}  // namespace mivo::testing
