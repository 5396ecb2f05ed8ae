#include "shell/other_applications.hpp"

#include <algorithm>

namespace mivo {

OtherApplications::OtherApplications(TopLevelWindows& windows, Pid ownPid)
    : windows_(windows), ownPid_(ownPid) {}

void OtherApplications::hideOthers() {
    std::vector<WindowId> hidden;
    for (const TopLevelWindow& window : windows_.normalWindowsOnCurrentDesktop()) {
        if (window.pid == ownPid_)
            continue;
        const bool ours = std::ranges::find(hidden_, window.id) != hidden_.end();
        if (window.minimized) {
            // Still minimised from an earlier "Hide Others": it stays ours to
            // bring back. One the user minimised is left to the user.
            if (ours)
                hidden.push_back(window.id);
            continue;
        }
        // Shown, also when an earlier "Hide Others" hid it and the user has
        // brought it back since.
        if (windows_.minimize(window.id))
            hidden.push_back(window.id);
    }
    // In the stacking order of now; what closed or left the desktop is gone.
    hidden_ = std::move(hidden);
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
