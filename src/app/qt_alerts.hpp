#pragma once

// Alerts as Qt message boxes, never blocking the loop: the answer arrives
// later. Mivo has no main window, so an alert would open wherever the
// window manager puts a window of a background program, often under the
// window the user is looking at (the browser after a sign-in). Each alert
// is therefore made transient for the active window, Mivo's own or another
// program's, which window managers keep it above and let it take the focus
// from; and it is wide enough that its title fits the title bar.

#include <functional>
#include <optional>

#include "platform/alerts.hpp"

namespace mivo {

class QtAlerts : public Alerts {
  public:
    void show(const AlertRequest& request, std::function<void(int button)> done) override;
    void beep() override;

    // The X window that is active on the desktop now (_NET_ACTIVE_WINDOW),
    // if any; set by the composition root.
    std::function<std::optional<unsigned long>()> activeWindow;
};

}  // namespace mivo
