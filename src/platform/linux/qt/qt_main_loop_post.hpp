#pragma once

// Posting work to the Qt event loop of the main thread from any thread.

#include "platform/main_loop.hpp"

namespace mivo::linux_desktop {

// Work posted after the application object is gone is dropped.
MainLoopPost qtMainLoopPost();

}  // namespace mivo::linux_desktop
