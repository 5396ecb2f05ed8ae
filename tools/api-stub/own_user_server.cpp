#include "own_user_server.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>

#include "connection_stream.hpp"
#include "platform/linux/socket_owner.hpp"
#include "request_door.hpp"

namespace mivo::stub {

namespace {

using Clock = OwnUserServer::Clock;

thread_local Clock::time_point jobQueuedAt;
thread_local Clock::time_point arrivedAt;
// The connection this worker serves, for the library's routing hooks.
thread_local ConnectionStream* currentStream = nullptr;

// The library's pool, with the time each connection was queued for a worker
// handed to the worker that takes it.
class StampedPool final : public httplib::TaskQueue {
  public:
    explicit StampedPool(std::size_t workers) : pool_(workers) {}
    void enqueue(std::function<void()> job) override {
        pool_.enqueue([job = std::move(job), queuedAt = Clock::now()] {
            jobQueuedAt = queuedAt;
            job();
        });
    }
    void shutdown() override { pool_.shutdown(); }

  private:
    httplib::ThreadPool pool_;
};

std::chrono::microseconds timeout(time_t seconds, time_t microseconds) {
    return std::chrono::seconds(seconds) + std::chrono::microseconds(microseconds);
}

}  // namespace

Clock::time_point requestArrivedAt() {
    return arrivedAt;
}

OwnUserServer::OwnUserServer(std::size_t workers, std::size_t maxBodyBytes, RefusalLog& refusals)
    : owner_(::geteuid()), maxBodyBytes_(maxBodyBytes), refusals_(refusals) {
    new_task_queue = [workers] { return new StampedPool(workers); };
    // The head has arrived, the body not yet.
    set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        if (auto refusal = doorRefusal(req, port_, maxBodyBytes_)) {
            res.status = refusal->status;
            res.set_content(nlohmann::json{{"error", refusal->error}}.dump(), "application/json");
            if (currentStream != nullptr)
                currentStream->closeAfterAnswer();
            return HandlerResponse::Handled;
        }
        if (currentStream != nullptr)
            currentStream->startBody(maxBodyBytes_);
        // A request without a length or chunks has an empty body; the
        // library would wait for the connection to close instead, until its
        // read time-out. The request object is the library's own, not const.
        if (!req.has_header("Content-Length") && !req.has_header("Transfer-Encoding"))
            const_cast<httplib::Request&>(req).set_header("Content-Length", "0");
        return HandlerResponse::Unhandled;
    });
    set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
        if (currentStream == nullptr || !currentStream->closing())
            return;
        res.headers.erase("Keep-Alive");
        if (!res.has_header("Connection"))
            res.set_header("Connection", "close");
    });
}

void OwnUserServer::opened(int port) {
    port_ = port;
    ::listen(svr_sock_, SOMAXCONN);
}

void OwnUserServer::unbind() {
    const socket_t bound = svr_sock_.exchange(INVALID_SOCKET);
    if (bound != INVALID_SOCKET)
        ::close(bound);
}

std::optional<std::string> OwnUserServer::whyOwnersCannotBeTold() {
    if (owner_ == overflowUser())
        return "this process runs as the kernel's overflow user " + std::to_string(owner_) +
               ", as in a user namespace that does not map its user, where every unmapped user "
               "looks the same";
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (client < 0 ||
        ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const std::string why = std::strerror(errno);
        if (client >= 0)
            ::close(client);
        return "it cannot connect to its own port (" + why + ")";
    }
    sockaddr_in mine{};
    socklen_t mineLength = sizeof mine;
    ::getsockname(client, reinterpret_cast<sockaddr*>(&mine), &mineLength);
    std::optional<std::string> why = "its own connection did not arrive";
    // Another program may connect at the same moment: only our own
    // connection is asked about; any other is closed unread.
    for (int tries = 0; tries < 16; ++tries) {
        pollfd waiting{svr_sock_, POLLIN, 0};
        if (::poll(&waiting, 1, kLookupBoundMilliseconds) <= 0)
            break;
        const int accepted = ::accept4(svr_sock_, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted < 0)
            continue;
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        const bool ours =
            ::getpeername(accepted, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0 &&
            peer.sin_port == mine.sin_port;
        if (ours) {
            const auto owner = peerOwner(accepted);
            if (!owner)
                why = describe(owner.error());
            else if (*owner != owner_)
                why = "the kernel reports user " + std::to_string(*owner) +
                      " for a connection of this process, which runs as user " +
                      std::to_string(owner_);
            else
                why.reset();
        }
        ::close(accepted);
        if (ours)
            break;
    }
    ::close(client);
    return why;
}

bool OwnUserServer::process_and_close_socket(socket_t sock) {
    // A worker of another queue has no stamp: the connection came just now.
    const Clock::time_point queuedAt =
        jobQueuedAt == Clock::time_point{} ? Clock::now() : jobQueuedAt;
    const auto owner = peerOwner(sock);
    bool served = false;
    if (owner && *owner == owner_)
        served = serve(sock, queuedAt);
    else
        refusals_.refused(owner ? std::optional<uid_t>(*owner) : std::nullopt);
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return served;
}

bool OwnUserServer::awaitRequest(const ConnectionStream& stream) const {
    const auto until = Clock::now() + std::chrono::seconds(keep_alive_timeout_sec_);
    // In short steps, so that a stopping server is not kept waiting.
    constexpr std::chrono::milliseconds step{100};
    while (svr_sock_ != INVALID_SOCKET) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left <= std::chrono::milliseconds::zero())
            return false;
        if (stream.awaitRequest(std::min(left, step)))
            return true;
    }
    return false;
}

// The library's keep-alive loop, with a deadline for each request.
bool OwnUserServer::serve(socket_t sock, Clock::time_point queuedAt) {
    ConnectionStream stream(sock, timeout(read_timeout_sec_, read_timeout_usec_),
                            timeout(write_timeout_sec_, write_timeout_usec_));
    currentStream = &stream;
    bool ok = false;
    for (std::size_t left = keep_alive_max_count_; left > 0; --left) {
        // A request that was there before a worker took the connection
        // arrived when the connection was queued.
        const bool waiting = left == keep_alive_max_count_ && stream.awaitRequest({});
        if (!waiting && !awaitRequest(stream))
            break;
        const auto now = Clock::now();
        arrivedAt = waiting ? queuedAt : now;
        stream.startRequest(now + kRequestDeadline, kMaxHeadBytes);
        bool closed = false;
        ok = process_request(stream, left == 1, closed, nullptr);
        if (stream.closing()) {
            // The rest of the request is not read: the client is to read
            // the answer, and the connection ends.
            stream.drain();
            break;
        }
        if (!ok || closed)
            break;
    }
    currentStream = nullptr;
    return ok;
}

}  // namespace mivo::stub
