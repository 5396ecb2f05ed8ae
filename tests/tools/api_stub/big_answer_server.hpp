#pragma once

// A loopback HTTP server whose one answer is a JSON object of ever more keys
// (about 32 MB of them, just under the transport's own bound): the answer
// that once kept the main loop parsing for seconds. The body's length is
// announced, or the body runs until the server closes.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace mivo::testing {

class BigAnswerServer {
  public:
    enum class Framing { announcedLength, untilClose };

    explicit BigAnswerServer(Framing framing);
    ~BigAnswerServer();
    BigAnswerServer(const BigAnswerServer&) = delete;
    BigAnswerServer& operator=(const BigAnswerServer&) = delete;

    std::string baseURL() const;
    // Body bytes sent before the client went away or the body ended.
    std::size_t bodyBytesSent() const { return sent_.load(); }

    // The body: {"k0":0,"k1":0,…} of about 32 MB.
    static const std::string& body();

  private:
    void run();

    Framing framing_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    uint16_t port_ = 0;
    std::atomic<std::size_t> sent_ = 0;
    std::thread thread_;
};

}  // namespace mivo::testing
