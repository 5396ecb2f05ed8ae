#include "own_user_server.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#include "connection_stream.hpp"
#include "peer_owner.hpp"

namespace mivo::stub {

namespace {

using Clock = OwnUserServer::Clock;

thread_local Clock::time_point jobQueuedAt;
thread_local Clock::time_point arrivedAt;

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

OwnUserServer::OwnUserServer(std::size_t workers, RefusalLog& refusals)
    : owner_(::geteuid()), refusals_(refusals) {
    new_task_queue = [workers] { return new StampedPool(workers); };
}

void OwnUserServer::widenBacklog() {
    ::listen(svr_sock_, SOMAXCONN);
}

bool OwnUserServer::process_and_close_socket(socket_t sock) {
    // A worker of another queue has no stamp: the connection came just now.
    const Clock::time_point queuedAt =
        jobQueuedAt == Clock::time_point{} ? Clock::now() : jobQueuedAt;
    const auto owner = peerOwner(sock);
    bool served = false;
    if (owner == owner_)
        served = serve(sock, queuedAt);
    else
        refusals_.refused(owner);
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
    bool ok = false;
    for (std::size_t left = keep_alive_max_count_; left > 0; --left) {
        // A request that was there before a worker took the connection
        // arrived when the connection was queued.
        const bool waiting = left == keep_alive_max_count_ && stream.awaitRequest({});
        if (!waiting && !awaitRequest(stream))
            break;
        const auto now = Clock::now();
        arrivedAt = waiting ? queuedAt : now;
        stream.startRequest(now + kRequestDeadline);
        bool closed = false;
        ok = process_request(stream, left == 1, closed, nullptr);
        if (!ok || closed)
            break;
    }
    return ok;
}

}  // namespace mivo::stub
