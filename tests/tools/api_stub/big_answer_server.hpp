#pragma once

// A loopback HTTP server whose one answer is a JSON object of ever more keys
// (about 32 MB of them, just under the transport's own bound): the answer
// that once kept the main loop parsing for seconds. The body's length is
// announced, or the body runs until the server closes.

#include <atomic>
#include <cstddef>
#include <string>

#include "one_client_server.hpp"

namespace mivo::testing {

class BigAnswerServer {
  public:
    enum class Framing { announcedLength, untilClose };

    explicit BigAnswerServer(Framing framing);

    std::string baseURL() const { return server_.baseURL(); }
    // Body bytes sent before the client went away or the body ended.
    std::size_t bodyBytesSent() const { return sent_.load(); }

    // The body: {"k0":0,"k1":0,…} of about 32 MB.
    static const std::string& body();

  private:
    void serve(int client, int stop);

    Framing framing_;
    std::atomic<std::size_t> sent_ = 0;
    // Last: its thread ends before the rest goes.
    OneClientServer server_;
};

}  // namespace mivo::testing
