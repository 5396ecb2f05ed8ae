#pragma once

// A loopback TCP server for one client, on a thread of its own: it accepts
// the first connection, reads what the request has sent so far, and hands
// the socket to `serve` together with a descriptor that becomes readable
// when the server is being destroyed. The hostile servers of the tests
// differ only in what `serve` sends.

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace mivo::testing {

class OneClientServer {
  public:
    // `serve(client, stop)` owns nothing: the client is closed after it.
    using Serve = std::function<void(int client, int stop)>;

    explicit OneClientServer(Serve serve);
    ~OneClientServer();
    OneClientServer(const OneClientServer&) = delete;
    OneClientServer& operator=(const OneClientServer&) = delete;

    std::string baseURL() const;

  private:
    void run();

    Serve serve_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    uint16_t port_ = 0;
    std::thread thread_;
};

}  // namespace mivo::testing
