#pragma once

// Include after GoogleTest and Qt: Xlib's macros (None, Bool, Status) clash
// with both.

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <string>

namespace mivo::desktop_test {

// An XIM server as IBus and Fcitx announce theirs: an owner of the
// "@server=<name>" selection listed in the root window's XIM_SERVERS. It
// converts nothing; its presence is what the typing looks for.
class StandInXimServer {
  public:
    explicit StandInXimServer(const char* name) : display_(XOpenDisplay(nullptr)) {
        if (display_ == nullptr)
            return;
        const Window root = DefaultRootWindow(display_);
        window_ = XCreateSimpleWindow(display_, root, 0, 0, 1, 1, 0, 0, 0);
        const Atom server = XInternAtom(display_, (std::string("@server=") + name).c_str(), False);
        XSetSelectionOwner(display_, server, window_, CurrentTime);
        XChangeProperty(display_, root, XInternAtom(display_, "XIM_SERVERS", False), XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&server), 1);
        XSync(display_, False);
    }
    ~StandInXimServer() {
        if (display_ == nullptr)
            return;
        XDeleteProperty(display_, DefaultRootWindow(display_),
                        XInternAtom(display_, "XIM_SERVERS", False));
        // Closing the connection gives the selection up.
        XCloseDisplay(display_);
    }
    bool running() const { return display_ != nullptr; }

  private:
    Display* display_ = nullptr;
    Window window_ = 0;
};

}  // namespace mivo::desktop_test
