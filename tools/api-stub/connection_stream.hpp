#pragma once

// One accepted connection as the HTTP library reads and writes it, with a
// deadline for the whole of each request besides the time-out of each read:
// a client that sends a byte just often enough to beat the read time-out
// would otherwise hold its worker for as long as it likes. Each request may
// also bring only so many bytes, its head and then its body: the library
// keeps whatever it reads of either (a header line, a chunked body) without
// a bound of its own. A request that brings more is answered here, 431 or
// 413, and the connection ends.

#include <httplib.h>

#include <array>
#include <chrono>
#include <cstddef>

namespace mivo::stub {

class ConnectionStream final : public httplib::Stream {
  public:
    using Clock = std::chrono::steady_clock;

    ConnectionStream(int fd, std::chrono::microseconds readTimeout,
                     std::chrono::microseconds writeTimeout)
        : fd_(fd), readTimeout_(readTimeout), writeTimeout_(writeTimeout) {}

    // Reads of the request that begins now end at `deadline`, and its head
    // may bring at most `headBytes`.
    void startRequest(Clock::time_point deadline, std::size_t headBytes);
    // The head is read: the body may bring at most `bodyBytes` (a chunked
    // one with its framing).
    void startBody(std::size_t bodyBytes);
    // Ends the connection after the answer to this request: the rest of the
    // request is not read as another one.
    void closeAfterAnswer() { closing_ = true; }
    bool closing() const { return closing_ || overrun_; }
    // Reads and drops what the client still sends, until it stops, falls
    // silent or the request's deadline passes, so that it reads the answer
    // instead of a reset.
    void drain();
    // Whether the next request has begun to arrive, waiting at most `wait`
    // (none: whether it is there now).
    bool awaitRequest(std::chrono::milliseconds wait) const;

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return fd_; }

  private:
    bool buffered() const { return begin_ < end_; }
    bool waitFor(short events, std::chrono::microseconds wait) const;
    void refuseOverrun();

    int fd_;
    std::chrono::microseconds readTimeout_;
    std::chrono::microseconds writeTimeout_;
    Clock::time_point deadline_ = Clock::time_point::max();
    // The library reads a request head a byte at a time.
    std::array<char, 4096> buffer_{};
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    // What the request may still bring, and which part of it.
    std::size_t allowance_ = 0;
    bool inBody_ = false;
    bool closing_ = false;
    // Answered here: the library's own answer is not sent.
    bool overrun_ = false;
};

}  // namespace mivo::stub
