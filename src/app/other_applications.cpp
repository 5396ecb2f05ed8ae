#include "app/other_applications.hpp"

#include <algorithm>

namespace mivo {

OtherApplications::OtherApplications(TopLevelWindows& windows, Pid ownPid)
    : windows_(windows), ownPid_(ownPid) {}

void OtherApplications::hideOthers() {
    for (const TopLevelWindow& window : windows_.normalWindowsOnCurrentDesktop()) {
        if (window.pid == ownPid_ || window.minimized)
            continue;
        // A second "Hide Others" adds to what is to come back.
        if (std::ranges::find(hidden_, window.id) != hidden_.end())
            continue;
        if (windows_.minimize(window.id))
            hidden_.push_back(window.id);
    }
}

void OtherApplications::showAll() {
    const std::vector<TopLevelWindow> windows = windows_.normalWindowsOnCurrentDesktop();
    // In stacking order, so that the window that was on top is on top again.
    for (const WindowId id : hidden_) {
        const auto window =
            std::ranges::find_if(windows, [&](const TopLevelWindow& w) { return w.id == id; });
        // Closed, moved to another desktop, or already brought back by the
        // user: none of that is undone.
        if (window == windows.end() || !window->minimized)
            continue;
        windows_.restore(id);
    }
    hidden_.clear();
}

}  // namespace mivo
