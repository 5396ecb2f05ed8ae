#include "platform/linux/x11/x11_connection.hpp"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>

namespace mivo::linux_desktop {
namespace {

struct DisplayCloser {
    void operator()(Display* d) const {
        if (d != nullptr)
            XCloseDisplay(d);
    }
};

std::string displayName() {
    const char* name = std::getenv("DISPLAY");
    return name != nullptr ? name : "";
}

void logNoDisplay(Log& log) {
    log.write("[Mivo] desktop: cannot open the X display \"" + displayName() +
              "\": Mivo needs an X11 session (Xorg or XWayland)");
}

}  // namespace

std::unique_ptr<X11Connection> X11Connection::open(Log& log) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        logNoDisplay(log);
        return nullptr;
    }
    return std::unique_ptr<X11Connection>(new X11Connection(display));
}

bool canOpenDisplay(Log& log) {
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (display == nullptr) {
        logNoDisplay(log);
        return false;
    }
    return true;
}

X11Connection::X11Connection(Display* display)
    : display_(display),
      notifier_(
          std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read)),
      listeners_(std::make_shared<std::vector<std::shared_ptr<Listener>>>()) {
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { processPending(); });
    // Xlib reads events off the socket while it waits for the reply to any
    // request, and those never wake the socket notifier: look at its queue
    // each time the loop is about to sleep.
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        beforeWait_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                       [this] { processPending(); });
    }
}

X11Connection::~X11Connection() {
    QObject::disconnect(beforeWait_);
    notifier_.reset();
    XCloseDisplay(display_);
}

unsigned long X11Connection::rootWindow() const {
    return DefaultRootWindow(display_);
}

unsigned long X11Connection::atom(const char* name) const {
    return XInternAtom(display_, name, False);
}

Cancel X11Connection::listen(Listener listener) {
    auto shared = std::make_shared<Listener>(std::move(listener));
    listeners_->push_back(shared);
    return Cancel([list = std::weak_ptr(listeners_), weak = std::weak_ptr(shared)] {
        auto listeners = list.lock();
        if (auto l = weak.lock(); l && listeners)
            std::erase(*listeners, l);
    });
}

void X11Connection::processPending() {
    // Xlib may already hold events read while answering a request, so drain
    // its queue, not only the socket.
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        // Extension events (XInput 2) carry their data in a cookie that is
        // claimed once here, for every listener, and freed after them.
        const bool cookie =
            event.type == GenericEvent && XGetEventData(display_, &event.xcookie) != 0;
        const auto listeners = *listeners_;  // a listener may cancel itself
        for (const auto& l : listeners)
            (*l)(event);
        if (cookie)
            XFreeEventData(display_, &event.xcookie);
    }
}

}  // namespace mivo::linux_desktop
