#pragma once

// What a later launch of Mivo in the same session asks of the running one:
// its settings window. Requests that arrive while one is being served are
// merged into it, so a flood of launches (or of calls from any process of
// the user) opens the window once and writes one line for the burst instead
// of one per call.

#include <cstdint>
#include <functional>

#include "platform/cancel.hpp"
#include "platform/log.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

class LaterLaunches {
  public:
    // A request within this long of the previous one belongs to its burst.
    static constexpr double kBurstGapSeconds = 1.0;

    LaterLaunches(Scheduler& scheduler, Log& log, std::function<void()> openSettings);
    ~LaterLaunches();
    LaterLaunches(const LaterLaunches&) = delete;
    LaterLaunches& operator=(const LaterLaunches&) = delete;

    // One later launch asked for the settings window.
    void request();

  private:
    void watch();
    void quietAgain();

    Scheduler& scheduler_;
    Log& log_;
    std::function<void()> openSettings_;
    Cancel watch_;
    bool inBurst_ = false;
    // Requests merged since the watch last looked, and in the whole burst.
    uint64_t sinceWatch_ = 0;
    uint64_t merged_ = 0;
};

}  // namespace mivo
