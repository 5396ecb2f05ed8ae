#pragma once

// The one source of time and delay for every service. Work scheduled here runs
// later on the main loop, never inside the call that scheduled it.

#include <chrono>
#include <functional>

#include "platform/cancel.hpp"

namespace mivo {

// Delays, debounces and suppression windows run on a monotonic clock, so
// setting the system clock moves none of them. A point of it means nothing
// outside this process run: a calendar date comes from wallClockNow().
using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using WallClock = std::chrono::system_clock;
using Date = WallClock::time_point;

// A span of seconds as a TimePoint offset (0.75 -> 750 ms), rounded to the
// clock's tick so that 0.3 + 0.3 + 0.3 lands on 0.9.
inline Clock::duration seconds(double s) {
    return std::chrono::round<Clock::duration>(std::chrono::duration<double>(s));
}

class Scheduler {
  public:
    virtual ~Scheduler() = default;

    virtual TimePoint now() const = 0;
    // The calendar date and time, for records that carry a date.
    virtual Date wallClockNow() const = 0;
    // Runs `work` once, `delaySeconds` from now (0 or less: on the next turn
    // of the loop).
    virtual Cancel after(double delaySeconds, std::function<void()> work) = 0;
    // Runs `work` every `intervalSeconds`, first one interval from now, until
    // cancelled.
    virtual Cancel repeating(double intervalSeconds, std::function<void()> work) = 0;
};

}  // namespace mivo
