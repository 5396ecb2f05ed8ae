#pragma once

// The HTTP server of the stand-in, which serves only the user who started
// it. Every user of the machine can reach a loopback port, and every limit
// that keeps one client from crowding out the others (workers, sessions,
// sign-ins waiting) is shared: another user could fill it and lock the user
// out. So a connection whose socket belongs to another user is closed
// before anything is read from it. A connection whose owner cannot be told
// is closed too: the stand-in's clients are the user's own programs on this
// machine, whose sockets the kernel always reports, so what remains is a
// peer that has already closed (and will read no answer) or one that is not
// on this machine, and serving either could only give another user a way
// in.
//
// Each request also has a deadline for its head and body together, a cap
// on the bytes of each, and the time it arrived (requestArrivedAt) for
// handlers that must not act on a request its client has given up on.
// Before it is handled, its head must pass the door (request_door.hpp);
// one that does not is answered at once, unread, and its connection ends.

#include <httplib.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "refusal_log.hpp"

namespace mivo::stub {

class ConnectionStream;

class OwnUserServer : public httplib::Server {
  public:
    using Clock = std::chrono::steady_clock;

    // The most a request's head and body may take to arrive.
    static constexpr std::chrono::seconds kRequestDeadline{5};
    // The most a request's head may bring: Mivo's are a few hundred bytes.
    static constexpr std::size_t kMaxHeadBytes = 32 * 1024;

    // Bodies of more than `maxBodyBytes` are refused, chunked ones too.
    OwnUserServer(std::size_t workers, std::size_t maxBodyBytes, RefusalLog& refusals);

    // Bound to 127.0.0.1:`port`: requests are answered only when addressed
    // there. The library listens with a backlog of five: connections opened
    // in a burst would leave the user's waiting for the kernel's retries,
    // seconds apart.
    void opened(int port);
    // Gives back the port bound but not yet opened.
    void unbind();

    // Why the owners of connections cannot be told here, so that the
    // stand-in would serve no one (or everyone); nothing when they can. Asks
    // about a connection of its own to its port: call after opened(), before
    // serving.
    std::optional<std::string> whyOwnersCannotBeTold();

  private:
    bool process_and_close_socket(socket_t sock) override;
    bool serve(socket_t sock, Clock::time_point queuedAt);
    // Whether a request has begun to arrive within the keep-alive time-out;
    // false as soon as the server stops.
    bool awaitRequest(const ConnectionStream& stream) const;

    uid_t owner_;
    std::size_t maxBodyBytes_;
    int port_ = 0;
    RefusalLog& refusals_;
};

// When the request being handled on this thread arrived: for the first
// request of a connection, when the connection was accepted, however long it
// then waited for a worker.
OwnUserServer::Clock::time_point requestArrivedAt();

}  // namespace mivo::stub
