#pragma once

// The scheduler on the Qt event loop of the main thread. Qt's GLib event
// dispatcher also runs libatspi's D-Bus traffic, so timers, accessibility
// events and X events all arrive on this one loop.

#include <cstdint>
#include <map>
#include <memory>

#include "platform/scheduler.hpp"

namespace mivo::linux_desktop {

class QtScheduler : public Scheduler {
  public:
    QtScheduler();
    ~QtScheduler() override;
    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    TimePoint now() const override;
    Date wallClockNow() const override;
    Cancel after(double delaySeconds, std::function<void()> work) override;
    Cancel repeating(double intervalSeconds, std::function<void()> work) override;

    // Timers installed and neither run out nor cancelled.
    std::size_t pendingCount() const;

  private:
    struct Timers;
    Cancel schedule(double seconds, bool repeat, std::function<void()> work);

    std::shared_ptr<Timers> timers_;
};

}  // namespace mivo::linux_desktop
