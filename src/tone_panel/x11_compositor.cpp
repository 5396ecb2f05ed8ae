#include "tone_panel/x11_compositor.hpp"

#include <QGuiApplication>
#include <string>

// Xlib after Qt: its macros (Bool, Status, None) clash with Qt's headers.
#include <X11/Xlib.h>

namespace mivo {

bool x11HasCompositor() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return false;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    const Atom atom = XInternAtom(display, selection.c_str(), False);
    const bool present = XGetSelectionOwner(display, atom) != None;
    XCloseDisplay(display);
    return present;
}

}  // namespace mivo
