#pragma once

// HTTP over Qt Network's sockets on the main thread's event loop: one
// connection per request, spoken in HTTP/1.1 by http_wire, so the path goes
// out as written and a dropped connection is reported, never resent. Both
// time limits are our own timers, and each request remembers why it stopped,
// so a caller's cancel and a time-out stay apart.

#include <cstddef>
#include <memory>

#include "platform/http_transport.hpp"

namespace mivo::linux_desktop {

class QtHttpTransport : public HttpTransport {
  public:
    // Needs a Qt application object on the calling (main) thread.
    QtHttpTransport();
    ~QtHttpTransport() override;
    QtHttpTransport(const QtHttpTransport&) = delete;
    QtHttpTransport& operator=(const QtHttpTransport&) = delete;

    Cancel send(HttpRequest request, Completion completion) override;

    // Requests started whose completion has not run yet.
    std::size_t inFlightCount() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace mivo::linux_desktop
