#pragma once

// The input method signals of the session: which XIM servers run, which
// input method daemons hold their names on the session bus, and the
// environment of the process behind the active window (our own environment
// where that cannot be read).

#include "platform/linux/input_method.hpp"

namespace mivo::linux_desktop {

class X11Connection;

InputMethodSignals readInputMethodSignals(X11Connection& x11);

}  // namespace mivo::linux_desktop
