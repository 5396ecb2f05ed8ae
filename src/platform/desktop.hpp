#pragma once

// The ports a service sees the desktop through, chosen once by the
// composition root: the real desktop in the application, the simulated one in
// tests.

#include "platform/accessibility.hpp"
#include "platform/input_events.hpp"
#include "platform/log.hpp"
#include "platform/pasteboard.hpp"
#include "platform/scheduler.hpp"
#include "platform/screens.hpp"
#include "platform/workspace.hpp"

namespace mivo {

struct Desktop {
    Scheduler& scheduler;
    Accessibility& accessibility;
    Workspace& workspace;
    Screens& screens;
    InputEvents& input;
    Pasteboard& pasteboard;
    Log& log;
};

}  // namespace mivo
