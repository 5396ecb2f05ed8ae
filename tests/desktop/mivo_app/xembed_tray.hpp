#pragma once

// A system tray as small as the XEmbed protocol allows: it owns the tray
// selection of screen 0 and records every window that asks to dock, without
// embedding it. Enough to count the tray icons applications put up. Its
// window and the selection go with its connection.

#include <vector>

#include "x_windows.hpp"

// Last: Xlib's macros clash with GoogleTest and Qt.
#include <X11/Xlib.h>

namespace mivo::desktop_test {

class XEmbedTray : private XConnection {
  public:
    XEmbedTray();

    // Whether the selection is ours (another tray may hold it).
    bool owns() const { return owns_; }
    // Reads the requests that have arrived.
    void pump();
    // The windows that asked to dock, in order.
    const std::vector<Window>& dockRequests() const { return requests_; }
    // The _NET_WM_PID of a window; 0 when it has none.
    unsigned long pidOf(Window window) const;

  private:
    Window window_ = 0;
    Atom opcode_ = 0;
    bool owns_ = false;
    std::vector<Window> requests_;
};

}  // namespace mivo::desktop_test
