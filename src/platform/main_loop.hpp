#pragma once

// Handing a result from a worker thread back to the main loop, where all of
// the services' own logic runs. `MainLoopPost` may be called from any thread;
// the work runs later on the main loop, never inside the call.

#include <functional>

namespace mivo {

using MainLoopPost = std::function<void(std::function<void()> work)>;

}  // namespace mivo
