#pragma once

// A listener of the test's own on 127.0.0.1, as Mivo holds its callback port
// through a sign-in: the stand-in sends the browser with the grant only to a
// port that the user's own program holds.

namespace mivo::testing {

class CallbackPort {
  public:
    // Any free port.
    CallbackPort();
    ~CallbackPort();
    CallbackPort(const CallbackPort&) = delete;
    CallbackPort& operator=(const CallbackPort&) = delete;

    int port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace mivo::testing
