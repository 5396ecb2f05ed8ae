#pragma once

// Where the keyboard is, over AT-SPI: an application's active window (also
// where the toolkit marks none), the focused object inside it, and the
// size the toolkit gives the window an object lies in.

#include <atspi/atspi.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility.hpp"
#include "platform/geometry.hpp"
#include "platform/linux/atspi/gobject_ptr.hpp"

namespace mivo::linux_desktop {

// The title of the window with the X input focus, when it is the process's.
using ActiveWindowTitle = std::function<std::optional<std::string>(Pid)>;

// The object's children; a failed count is reported through `failure`.
std::vector<GObjectPtr<AtspiAccessible>> childrenOf(AtspiAccessible* accessible,
                                                    AXError* failure = nullptr);
// Chromium (and Electron) show a null child under each top-level frame
// until someone asks for the frame's relations once: asked once per frame.
void wakeChromiumFrames(AtspiAccessible* application,
                        const std::vector<GObjectPtr<AtspiAccessible>>& frames);
// The application's window that has the keyboard, with one reference.
AtspiAccessible* activeWindowOf(AtspiAccessible* application, const ActiveWindowTitle& activeTitle);
// The focused object below `window`, with one reference for the caller.
AtspiAccessible* findFocused(AtspiAccessible* window);
// The size the toolkit gives the top-level window that holds `accessible`.
std::optional<Size> windowSizeOf(AtspiAccessible* accessible);

// How far LibreOffice's screen positions for `accessible` are off. Under
// GTK 3 it learns where its window stands only from the pointer's events
// over it: a window never clicked into answers as if it sat at the
// screen's origin. GTK places the widget that hosts LibreOffice's content
// (the parent of its root pane in GTK's tree) from the X server, so the
// host's origin less the root pane's is the shift, (0, 0) once LibreOffice
// knows. Nothing where no GTK host of the same size is found (another
// toolkit below LibreOffice).
std::optional<Point> hostedContentShift(AtspiAccessible* accessible);

}  // namespace mivo::linux_desktop
