#pragma once

// What the neighbour tests of the stand-in do with raw sockets: connections
// that trickle a request head, another user's identity for a while,
// listeners on loopback ports, and requests sent in pieces or cut short.

#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace mivo::testing {

// Connections that send a request head one byte every `every` and never
// finish it, from the moment they open. When dropped, they go on trickling
// until the stub has hung up on every one of them, or ten seconds have
// passed.
class Trickle {
  public:
    using Clock = std::chrono::steady_clock;

    Trickle(int port, int connections,
            std::chrono::milliseconds every = std::chrono::milliseconds(2000));
    ~Trickle();
    Trickle(const Trickle&) = delete;
    Trickle& operator=(const Trickle&) = delete;

  private:
    void trickle();
    void sendByte();

    std::chrono::milliseconds every_;
    std::vector<pollfd> open_;
    std::size_t sent_ = 0;
    std::size_t closed_ = 0;
    std::atomic<bool> dropped_ = false;
    std::thread pump_;
};

// Sockets opened while it lives belong to another user of the machine,
// `nobody`: the tests run as root, who may take another user's identity for
// a while and take its own back.
class AsAnotherUser {
  public:
    AsAnotherUser();
    ~AsAnotherUser();
    AsAnotherUser(const AsAnotherUser&) = delete;
    AsAnotherUser& operator=(const AsAnotherUser&) = delete;
};

// A socket connected to 127.0.0.1:`port`.
int connectedSocket(int port);

// The status of the answer to `head` followed by `pieces` copies of `piece`,
// all sent on one connection while the answer is awaited; 0 without one.
int statusAfterSending(int port, const std::string& head, const std::string& piece,
                       std::size_t pieces);

// A listening socket on 127.0.0.1:`port` (0: any), bound to `device` when
// one is named, closed with the object; fd -1 when the port was not free.
struct Listener {
    explicit Listener(int wanted, const std::string& device = {});
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    int fd = -1;
    int port = 0;
};

// Sends `request` from a port of its own and hangs up at once, asking the
// kernel to forget the closed socket within a second; the port it used.
int sendAndHangUp(int port, const std::string& request);

// A listener on `port` as soon as the port is free: once the closed
// socket's remnant there is gone.
std::shared_ptr<Listener> listenOnceFree(int port);

}  // namespace mivo::testing
