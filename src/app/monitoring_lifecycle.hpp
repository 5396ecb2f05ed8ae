#pragma once

// When Mivo follows other applications: the deferred first start, the
// permission wait, turning on and off. Plain C++ over the scheduler and a
// few functions of the composition root, so that every path runs on the
// virtual clock.

#include <functional>

#include "platform/cancel.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

class MonitoringLifecycle {
  public:
    struct Hooks {
        std::function<bool()> isEnabled;            // the settings store's "enabled"
        std::function<bool()> isPermissionGranted;  // the accessibility bus is usable
        std::function<void()> requestPermission;    // prompt, then the desktop's settings page
        std::function<void()> startComponents;      // monitor, then the rewrite engine
        std::function<void()> stopComponents;       // clear the display, monitor, rewrite engine
        std::function<void(bool)> setMonitoring;    // the tray: monitoring or paused
        std::function<void()> setPermissionNeeded;  // the tray: permission needed
        std::function<bool()> isOnboardingCompleted;
        std::function<void()> showOnboarding;
    };

    MonitoringLifecycle(Scheduler& scheduler, Hooks hooks);

    // The first start, 0.3 s after launch.
    void scheduleDeferredStart();
    void checkAndStartMonitoring();
    // Clears the display and stops every component, then shows paused.
    void stop();

    bool isRunning() const { return running_; }

  private:
    void deferredStart();
    void waitForPermission();
    void permissionPollTick();
    void startOnce();

    Scheduler& scheduler_;
    Hooks hooks_;
    // One poll chain at most: a second check while waiting joins the first
    // instead of starting a chain that would start the components again.
    Cancel permissionPoll_;
    bool running_ = false;
};

}  // namespace mivo
