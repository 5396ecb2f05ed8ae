#pragma once

// The top-level windows over EWMH and ICCCM: the window manager's client
// list in stacking order, each window's desktop, type, process and state;
// minimising is the ICCCM WM_CHANGE_STATE request to the root window, and
// restoring is a map request, which the window manager answers by bringing
// the window out of its iconic state.

#include <optional>

#include "platform/top_level_windows.hpp"

namespace mivo::linux_desktop {

class X11Connection;

class X11TopLevelWindows : public TopLevelWindows {
  public:
    explicit X11TopLevelWindows(X11Connection& x11);

    std::vector<TopLevelWindow> normalWindowsOnCurrentDesktop() override;
    bool minimize(WindowId window) override;
    bool restore(WindowId window) override;

  private:
    bool isNormal(unsigned long window);
    bool isMinimized(unsigned long window);
    bool isOnDesktop(unsigned long window, std::optional<unsigned long> desktop);

    X11Connection& x11_;
};

}  // namespace mivo::linux_desktop
