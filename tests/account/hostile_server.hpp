#pragma once

// A loopback HTTP server that never finishes its answer: after the request
// it sends an opening, then one piece again and again, each soon enough to
// keep an idle limit happy, until the client goes away.

#include <atomic>
#include <string>

#include "one_client_server.hpp"

namespace mivo::testing {

class HostileServer {
  public:
    HostileServer(std::string opening, std::string piece, double intervalSeconds);

    std::string baseURL() const { return server_.baseURL(); }
    // Pieces sent so far.
    int piecesSent() const { return pieces_.load(); }

  private:
    void serve(int client, int stop);

    std::string opening_;
    std::string piece_;
    double interval_;
    std::atomic<int> pieces_ = 0;
    // Last: its thread ends before the rest goes.
    OneClientServer server_;
};

}  // namespace mivo::testing
