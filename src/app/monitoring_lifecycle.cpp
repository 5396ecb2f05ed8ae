#include "app/monitoring_lifecycle.hpp"

namespace mivo {

namespace {
constexpr double deferredStartDelay = 0.3;
constexpr double permissionPollInterval = 1.0;
}  // namespace

MonitoringLifecycle::MonitoringLifecycle(Scheduler& scheduler, Hooks hooks)
    : scheduler_(scheduler), hooks_(std::move(hooks)) {}

void MonitoringLifecycle::scheduleDeferredStart() {
    scheduler_.after(deferredStartDelay, [this] { deferredStart(); });
}

void MonitoringLifecycle::deferredStart() {
    if (!hooks_.isOnboardingCompleted()) {
        // Monitoring waits for the end of onboarding.
        hooks_.showOnboarding();
        return;
    }
    if (hooks_.isEnabled()) {
        checkAndStartMonitoring();
    } else {
        stop();
    }
}

void MonitoringLifecycle::checkAndStartMonitoring() {
    if (!hooks_.isEnabled()) {
        hooks_.setMonitoring(false);
        return;
    }
    if (!hooks_.isPermissionGranted()) {
        if (permissionPoll_) {
            return;  // already asked and waiting
        }
        hooks_.requestPermission();
        hooks_.setPermissionNeeded();
        waitForPermission();
        return;
    }
    permissionPoll_.cancel();
    permissionPoll_ = {};
    startOnce();
}

void MonitoringLifecycle::waitForPermission() {
    permissionPoll_ = scheduler_.after(permissionPollInterval, [this] { permissionPollTick(); });
}

void MonitoringLifecycle::permissionPollTick() {
    permissionPoll_ = {};
    if (!hooks_.isEnabled()) {
        hooks_.setMonitoring(false);
        return;
    }
    if (!hooks_.isPermissionGranted()) {
        waitForPermission();  // silently: no new prompt, no new settings page
        return;
    }
    startOnce();
}

void MonitoringLifecycle::startOnce() {
    if (!running_) {
        running_ = true;
        hooks_.startComponents();
    }
    hooks_.setMonitoring(true);
}

void MonitoringLifecycle::stop() {
    permissionPoll_.cancel();
    permissionPoll_ = {};
    running_ = false;
    hooks_.stopComponents();
    hooks_.setMonitoring(false);
}

}  // namespace mivo
