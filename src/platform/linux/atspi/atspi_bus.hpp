#pragma once

// The accessibility bus of the session: whether it is enabled and reachable
// (the trust check of this desktop), switching it on (the prompt), and
// connecting libatspi to it once it is there.

#include <string>

#include "platform/log.hpp"

namespace mivo::linux_desktop {

// How long a call waits for its answer, and for an application that has
// only just started.
inline constexpr int kCallTimeoutMs = 1500;
inline constexpr int kStartupCallTimeoutMs = 2500;

class AccessibilityBus {
  public:
    explicit AccessibilityBus(Log& log) : log_(log) {}

    // org.a11y.Status IsEnabled on the session bus, the bus address answered,
    // and libatspi connected to it.
    bool isUsable();
    // Sets IsEnabled, then answers as isUsable().
    bool enable();
    // Whether libatspi is connected; never connects by itself.
    bool isConnected() const { return connected_; }

  private:
    bool connect();
    // Logs each distinct reason for refusing once, not on every poll.
    void refuse(const std::string& reason);

    Log& log_;
    bool connected_ = false;
    std::string lastRefusal_;
};

}  // namespace mivo::linux_desktop
