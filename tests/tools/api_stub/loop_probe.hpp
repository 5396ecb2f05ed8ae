#pragma once

// Watches the Qt event loop answer: a timer that should fire every few
// milliseconds records the longest stretch between two of its turns. A call
// that holds the loop shows as that stretch.

#include <chrono>
#include <memory>

namespace mivo::testing {

class LoopProbe {
  public:
    LoopProbe();
    ~LoopProbe();
    LoopProbe(const LoopProbe&) = delete;
    LoopProbe& operator=(const LoopProbe&) = delete;

    // The longest time the loop went without running the probe.
    std::chrono::milliseconds longestStall() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace mivo::testing
