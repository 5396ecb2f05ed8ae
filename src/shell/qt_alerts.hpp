#pragma once

// Alerts as Qt message boxes, never blocking the loop: the answer arrives
// later. An alert is Mivo's own window: transient only for a window of
// Mivo's that the user is at (the settings window), else a top-level window
// with Mivo's icon, raised and given the focus. Made transient for another
// program's window it would borrow that program's icon and pass for one of
// its dialogs. It is wide enough that its title fits the title bar.

#include <QFontMetrics>
#include <QString>

#include <functional>

#include "platform/alerts.hpp"

namespace mivo {

// The message broken into lines no wider than `width` where `metrics`
// measures, never inside a web address: Qt would break one after "http://"
// or at a dot of the host, and an address split in two is read wrong. A
// line ends at a space where it can, which the line break replaces; no
// character is added to an address, so one selected and copied from the
// alert is the address. A word wider than `width` keeps a line of its own.
QString withUnbrokenAddresses(const QString& message, const QFontMetrics& metrics, int width);

class QtAlerts : public Alerts {
  public:
    void show(const AlertRequest& request, std::function<void(int button)> done) override;
    void beep() override;
};

}  // namespace mivo
