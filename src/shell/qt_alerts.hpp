#pragma once

// Alerts as Qt message boxes, never blocking the loop: the answer arrives
// later. An alert is Mivo's own window: transient only for a window of
// Mivo's that the user is at (the settings window), else a top-level window
// with Mivo's icon, raised and given the focus. Made transient for another
// program's window it would borrow that program's icon and pass for one of
// its dialogs. It is wide enough that its title fits the title bar.

#include <QString>

#include <functional>

#include "platform/alerts.hpp"

namespace mivo {

// The message with every web address in it held on one line by word
// joiners (U+2060): Qt would break one after "http://" or at a dot of the
// host, and an address split in two is read wrong.
QString withUnbrokenAddresses(const QString& message);

class QtAlerts : public Alerts {
  public:
    void show(const AlertRequest& request, std::function<void(int button)> done) override;
    void beep() override;
};

}  // namespace mivo
