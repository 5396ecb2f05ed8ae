#pragma once

// What a desktop test asks the X server about windows, as the window
// manager and the user see them, and the picture of the whole screen it
// keeps for a reviewer.

#include <QRect>

#include <string>
#include <string_view>

typedef struct _XDisplay Display;

namespace mivo::desktop_test {

// The window's rectangle on the root window (y down), as the X server has
// it, without the window manager's frame.
QRect rootGeometry(Display* display, unsigned long window);

// The same with the frame the window manager draws around it.
QRect framedGeometry(Display* display, unsigned long window);

// Mapped, and every ancestor too.
bool isViewable(Display* display, unsigned long window);

// The title the window manager shows (_NET_WM_NAME, UTF-8); empty when
// there is none.
std::string shownTitle(Display* display, unsigned long window);

// The whole screen as a PNG named `name` among the desktop tests' pictures.
void screenshot(std::string_view name);

}  // namespace mivo::desktop_test
