#include "platform/sim/virtual_clock.hpp"

#include <algorithm>

namespace mivo::sim {

namespace {
// 2024-01-01T00:00:00Z
constexpr Date kStartDate{std::chrono::seconds(1704067200)};
}  // namespace

VirtualClock::VirtualClock() : queue_(std::make_shared<Queue>()) {
    // Far from the clock's own zero, so that a step back stays positive.
    queue_->start = TimePoint(std::chrono::hours(24));
    queue_->now = queue_->start;
}

Date VirtualClock::wallClockNow() const {
    return kStartDate +
           std::chrono::duration_cast<WallClock::duration>(queue_->now - queue_->start);
}

Cancel VirtualClock::after(double delaySeconds, std::function<void()> work) {
    const auto delay = delaySeconds > 0 ? seconds(delaySeconds) : Clock::duration::zero();
    return schedule(delay, Clock::duration::zero(), std::move(work));
}

Cancel VirtualClock::repeating(double intervalSeconds, std::function<void()> work) {
    // A zero interval would never let time move on.
    const auto interval = std::max(seconds(intervalSeconds), Clock::duration(1));
    return schedule(interval, interval, std::move(work));
}

Cancel VirtualClock::schedule(Clock::duration delay, Clock::duration interval,
                              std::function<void()> work) {
    Queue& q = *queue_;
    const uint64_t id = q.nextSeq++;
    const Key key{q.now + delay, id};
    q.order.emplace(key, id);
    q.jobs.emplace(id, std::make_pair(key, Job{key.first, interval, std::move(work)}));
    std::weak_ptr<Queue> weak = queue_;
    return Cancel([weak, id] {
        auto q = weak.lock();
        if (!q)
            return;
        auto it = q->jobs.find(id);
        if (it == q->jobs.end())
            return;
        q->order.erase(it->second.first);
        q->jobs.erase(it);
    });
}

void VirtualClock::advance(double secondsToAdvance) {
    Queue& q = *queue_;
    const TimePoint target =
        q.now + (secondsToAdvance > 0 ? seconds(secondsToAdvance) : Clock::duration::zero());
    while (!q.order.empty() && q.order.begin()->first.first <= target) {
        const auto [key, id] = *q.order.begin();
        q.order.erase(q.order.begin());
        auto it = q.jobs.find(id);
        q.now = std::max(q.now, key.first);
        // Run a copy: the work may cancel itself or schedule more.
        auto work = it->second.second.work;
        const auto interval = it->second.second.interval;
        if (interval > Clock::duration::zero()) {
            const Key next{key.first + interval, q.nextSeq++};
            it->second.first = next;
            q.order.emplace(next, id);
        } else {
            q.jobs.erase(it);
        }
        work();
    }
    q.now = std::max(q.now, target);
}

void VirtualClock::stall(double secondsHeldUp) {
    if (secondsHeldUp > 0)
        queue_->now += seconds(secondsHeldUp);
}

double VirtualClock::elapsed() const {
    return std::chrono::duration<double>(queue_->now - queue_->start).count();
}

}  // namespace mivo::sim
