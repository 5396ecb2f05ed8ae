#pragma once

// Alerts as Qt message boxes, shown window-modal to nothing (Mivo has no
// main window) and never blocking the loop: the answer arrives later.

#include "platform/alerts.hpp"

namespace mivo {

class QtAlerts : public Alerts {
  public:
    void show(const AlertRequest& request, std::function<void(int button)> done) override;
    void beep() override;
};

}  // namespace mivo
