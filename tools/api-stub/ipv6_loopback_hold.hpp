#pragma once

// The stand-in's port on the IPv6 loopback address, held without listening.
// A browser sent to "localhost" tries [::1] first: were another user's
// program to listen there, that program would answer the user's browser
// under the stand-in's name. Held, a connection there is refused at once and
// the browser goes on to 127.0.0.1, and no one else can bind it.

#include <expected>

namespace mivo::stub {

class Ipv6LoopbackHold {
  public:
    Ipv6LoopbackHold() = default;
    ~Ipv6LoopbackHold();
    Ipv6LoopbackHold(Ipv6LoopbackHold&& other) noexcept;
    Ipv6LoopbackHold& operator=(Ipv6LoopbackHold&& other) noexcept;

    // Binds [::1]:`port`; the error number when another socket holds it. A
    // machine without IPv6 loopback has no such address for anyone to bind:
    // that counts as held.
    static std::expected<Ipv6LoopbackHold, int> take(int port);

  private:
    explicit Ipv6LoopbackHold(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace mivo::stub
