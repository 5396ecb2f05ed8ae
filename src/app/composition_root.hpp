#pragma once

// The composition root: makes every long-lived object once, in a fixed order,
// wires their callbacks, schedules the first start and runs the event loop.

class QApplication;

namespace mivo {

// Returns the process's exit status; refuses with 1 (and a message) without
// an X11 display.
int runMivo(QApplication& app);

}  // namespace mivo
