#include "big_answer_server.hpp"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

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

BigAnswerServer::BigAnswerServer(Framing framing)
    : framing_(framing), server_([this](int client, int stop) { serve(client, stop); }) {
    body();  // built before any client waits on it
}

void BigAnswerServer::serve(int fd, int stop) {
    const std::string& text = body();
    std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n";
    if (framing_ == Framing::announcedLength)
        head += "Content-Length: " + std::to_string(text.size()) + "\r\n";
    head += "\r\n";
    bool open = ::send(fd, head.data(), head.size(), MSG_NOSIGNAL) >= 0;
    std::size_t sent = 0;
    while (open && sent < text.size()) {
        pollfd p[2] = {{fd, POLLOUT, 0}, {stop, POLLIN, 0}};
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
}

}  // namespace mivo::testing
