#pragma once

// Whether an input method runs in the session: an XIM server named by
// XMODIFIERS ("@im=NAME") owns the selection "@server=NAME"; ibus and
// fcitx own their names on the session bus.

#include <X11/Xlib.h>

namespace mivo::linux_desktop {

bool inputMethodRunning(Display* display);

}  // namespace mivo::linux_desktop
