#pragma once

// A plain TCP client on 127.0.0.1 for the callback server's tests: real
// sockets, every wait bounded.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mivo::testing {

class SocketClient {
  public:
    // Connects at once; connected() tells whether it worked.
    explicit SocketClient(uint16_t port);
    ~SocketClient();
    SocketClient(const SocketClient&) = delete;
    SocketClient& operator=(const SocketClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    bool send(std::string_view bytes);
    // Everything the server sends until it closes, or nothing when it has not
    // closed within `seconds`.
    std::optional<std::string> readUntilClosed(double seconds = 10);
    // Whether any byte (or the close) arrives within `seconds`.
    bool answersWithin(double seconds);

  private:
    int fd_ = -1;
};

// A port that was free a moment ago (bound to 0, then released).
uint16_t freeLoopbackPort();

}  // namespace mivo::testing
