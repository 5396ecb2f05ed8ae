#pragma once

// What a test needs of the monitor beyond its public face: the host the
// replacement ladder sees, to stand in for a step the monitor takes on its
// own (a text it checked, a delayed step, a write about to happen).

#include <string>

#include "monitor/accessibility_monitor.hpp"

namespace mivo {

struct MonitorTestAccess {
    static ReplacementHost& host(AccessibilityMonitor& monitor) { return monitor; }
    static bool shouldSuppressPendingApplyLoop(AccessibilityMonitor& monitor,
                                               const std::string& text) {
        return monitor.shouldSuppressPendingApplyLoop(text);
    }
};

}  // namespace mivo
