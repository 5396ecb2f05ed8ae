#pragma once

// The top-level windows as the window manager keeps them: whose they are,
// whether they are minimised, and asking the window manager to minimise or
// restore one. The window manager does the work, so its own records (task
// bars, stacking, focus) stay right.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/accessibility.hpp"

namespace mivo {

using WindowId = uint64_t;

struct TopLevelWindow {
    WindowId id = 0;
    std::optional<Pid> pid;  // absent when the window does not say
    bool minimized = false;
    bool operator==(const TopLevelWindow&) const = default;
};

class TopLevelWindows {
  public:
    virtual ~TopLevelWindows() = default;

    // The normal application windows on the current desktop (no docks,
    // panels, menus or dialogs), bottom of the stack first.
    virtual std::vector<TopLevelWindow> normalWindowsOnCurrentDesktop() = 0;
    // Asks for the window to be minimised or brought back; answers whether
    // the request went out.
    virtual bool minimize(WindowId window) = 0;
    virtual bool restore(WindowId window) = 0;
};

}  // namespace mivo
