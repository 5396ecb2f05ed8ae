#pragma once

// Time that moves only when a test says so. advance() runs every step that
// falls due, in order of due time (ties in order of scheduling), with now()
// set to each step's due time while it runs; steps scheduled meanwhile that
// fall due within the advance run too.

#include <cstddef>
#include <map>
#include <memory>
#include <utility>

#include "platform/scheduler.hpp"

namespace mivo::sim {

class VirtualClock : public Scheduler {
  public:
    // Starts at a fixed moment, and at a fixed date, so that runs repeat.
    VirtualClock();

    TimePoint now() const override { return queue_->now; }
    // The start date plus the virtual time gone by.
    Date wallClockNow() const override;
    Cancel after(double delaySeconds, std::function<void()> work) override;
    Cancel repeating(double intervalSeconds, std::function<void()> work) override;

    void advance(double seconds);
    // The loop is held up (a call that blocks): `seconds` pass with nothing
    // run, and what fell due meanwhile runs late, in order, as the clock
    // moves on. Meant for a step run by `advance`.
    void stall(double seconds);
    // Seconds since the clock was made.
    double elapsed() const;
    // Steps still waiting (repeating timers count once).
    std::size_t pendingCount() const { return queue_->jobs.size(); }

  private:
    struct Job {
        TimePoint due;
        Clock::duration interval{};  // zero: once
        std::function<void()> work;
    };
    using Key = std::pair<TimePoint, uint64_t>;  // due, order of scheduling
    struct Queue {
        TimePoint start;
        TimePoint now;
        uint64_t nextSeq = 0;
        std::map<Key, uint64_t> order;  // -> job id
        std::map<uint64_t, std::pair<Key, Job>> jobs;
    };

    Cancel schedule(Clock::duration delay, Clock::duration interval, std::function<void()> work);

    std::shared_ptr<Queue> queue_;
};

}  // namespace mivo::sim
