#include "platform/linux/qt/qt_scheduler.hpp"

#include <QObject>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace mivo::linux_desktop {
namespace {

// A timer is never deleted inside its own timeout signal: Qt defers it.
struct DeleteLater {
    void operator()(QTimer* timer) const {
        if (timer != nullptr) {
            timer->stop();
            timer->deleteLater();
        }
    }
};
using TimerPtr = std::unique_ptr<QTimer, DeleteLater>;

int milliseconds(double seconds) {
    // Qt timers take whole milliseconds; round up so that nothing runs early.
    const double ms = std::ceil(std::max(seconds, 0.0) * 1000.0);
    return static_cast<int>(std::min(ms, 2147483647.0));
}

}  // namespace

struct QtScheduler::Timers {
    std::map<uint64_t, TimerPtr> live;
    uint64_t next = 0;
};

QtScheduler::QtScheduler() : timers_(std::make_shared<Timers>()) {}

QtScheduler::~QtScheduler() {
    timers_->live.clear();
}

TimePoint QtScheduler::now() const {
    return Clock::now();
}

Date QtScheduler::wallClockNow() const {
    return WallClock::now();
}

Cancel QtScheduler::after(double delaySeconds, std::function<void()> work) {
    return schedule(delaySeconds, false, std::move(work));
}

Cancel QtScheduler::repeating(double intervalSeconds, std::function<void()> work) {
    return schedule(intervalSeconds, true, std::move(work));
}

std::size_t QtScheduler::pendingCount() const {
    return timers_->live.size();
}

Cancel QtScheduler::schedule(double seconds, bool repeat, std::function<void()> work) {
    const uint64_t id = timers_->next++;
    TimerPtr timer(new QTimer);  // owned by the map, released through deleteLater
    timer->setSingleShot(!repeat);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(milliseconds(seconds));
    auto shared = std::make_shared<std::function<void()>>(std::move(work));
    std::weak_ptr<Timers> weak = timers_;
    QObject::connect(timer.get(), &QTimer::timeout, [weak, id, repeat, shared] {
        auto timers = weak.lock();
        if (!timers)
            return;
        if (!repeat) {
            // Out of the map before the work runs: the work may schedule or
            // cancel anything, this timer included.
            if (timers->live.erase(id) == 0)
                return;
        } else if (!timers->live.contains(id)) {
            return;
        }
        auto keep = shared;  // the work may cancel its own timer
        (*keep)();
    });
    timer->start();
    timers_->live.emplace(id, std::move(timer));
    return Cancel([weak, id] {
        if (auto timers = weak.lock())
            timers->live.erase(id);
    });
}

}  // namespace mivo::linux_desktop
