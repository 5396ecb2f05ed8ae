#pragma once

// A loopback HTTP server that never finishes its answer: after the request
// it sends an opening, then one piece again and again, each soon enough to
// keep an idle limit happy, until the client goes away.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace mivo::testing {

class HostileServer {
  public:
    HostileServer(std::string opening, std::string piece, double intervalSeconds);
    ~HostileServer();
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    std::string baseURL() const;
    // Pieces sent so far.
    int piecesSent() const { return pieces_.load(); }

  private:
    void run();

    std::string opening_;
    std::string piece_;
    double interval_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    uint16_t port_ = 0;
    std::atomic<int> pieces_ = 0;
    std::thread thread_;
};

}  // namespace mivo::testing
