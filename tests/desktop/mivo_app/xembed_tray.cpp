#include "mivo_app/xembed_tray.hpp"

#include <X11/Xatom.h>

namespace mivo::desktop_test {

namespace {

constexpr long kRequestDock = 0;

}  // namespace

XEmbedTray::XEmbedTray() {
    if (display_ == nullptr)
        return;
    const Window root = DefaultRootWindow(display_);
    window_ = XCreateSimpleWindow(display_, root, 0, 0, 1, 1, 0, 0, 0);
    opcode_ = XInternAtom(display_, "_NET_SYSTEM_TRAY_OPCODE", False);
    const Atom selection = XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False);
    XSetSelectionOwner(display_, selection, window_, CurrentTime);
    owns_ = XGetSelectionOwner(display_, selection) == window_;
    // Clients that start after us find the owner; those already running
    // hear of it through the MANAGER announcement.
    XEvent manager{};
    manager.xclient.type = ClientMessage;
    manager.xclient.window = root;
    manager.xclient.message_type = XInternAtom(display_, "MANAGER", False);
    manager.xclient.format = 32;
    manager.xclient.data.l[0] = CurrentTime;
    manager.xclient.data.l[1] = static_cast<long>(selection);
    manager.xclient.data.l[2] = static_cast<long>(window_);
    XSendEvent(display_, root, False, StructureNotifyMask, &manager);
    XSync(display_, False);
}

void XEmbedTray::pump() {
    if (display_ == nullptr)
        return;
    XSync(display_, False);
    while (XPending(display_) > 0) {
        XEvent event{};
        XNextEvent(display_, &event);
        if (event.type == ClientMessage && event.xclient.message_type == opcode_ &&
            event.xclient.data.l[1] == kRequestDock)
            requests_.push_back(static_cast<Window>(event.xclient.data.l[2]));
    }
}

unsigned long XEmbedTray::pidOf(Window window) const {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    unsigned long pid = 0;
    if (XGetWindowProperty(display_, window, XInternAtom(display_, "_NET_WM_PID", False), 0, 1,
                           False, XA_CARDINAL, &type, &format, &count, &remaining,
                           &data) == Success &&
        count == 1 && format == 32)
        pid = *reinterpret_cast<unsigned long*>(data);
    if (data != nullptr)
        XFree(data);
    return pid;
}

}  // namespace mivo::desktop_test
