#include "app/later_launches.hpp"

#include <string>
#include <utility>

namespace mivo {

LaterLaunches::LaterLaunches(Scheduler& scheduler, Log& log, std::function<void()> openSettings)
    : scheduler_(scheduler), log_(log), openSettings_(std::move(openSettings)) {}

LaterLaunches::~LaterLaunches() {
    watch_.cancel();
}

void LaterLaunches::request() {
    if (inBurst_) {
        // The window is already being opened or open: nothing more to do
        // than count, which costs the loop nothing.
        ++sinceWatch_;
        ++merged_;
        return;
    }
    inBurst_ = true;
    log_.write("[Mivo] instance: a later launch asked for the settings window");
    watch();
    if (openSettings_)
        openSettings_();
}

void LaterLaunches::watch() {
    sinceWatch_ = 0;
    watch_ = scheduler_.after(kBurstGapSeconds, [this] {
        if (sinceWatch_ > 0)
            return watch();
        quietAgain();
    });
}

void LaterLaunches::quietAgain() {
    inBurst_ = false;
    if (merged_ > 0) {
        log_.write("[Mivo] instance: " + std::to_string(merged_) +
                   " more requests for the settings window came in the same burst; merged");
    }
    merged_ = 0;
}

}  // namespace mivo
