#pragma once

// Our own connection to the X server, read on the Qt event loop: the
// workspace watches the active window through it, the key-down monitor gets
// its raw key events through it, and synthetic input is posted on it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/cancel.hpp"
#include "platform/log.hpp"

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

#include <QMetaObject>

class QSocketNotifier;

namespace mivo::linux_desktop {

class X11Connection {
  public:
    // Nothing, with one log line, when there is no X display to talk to.
    static std::unique_ptr<X11Connection> open(Log& log);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    Display* display() const { return display_; }
    unsigned long rootWindow() const;
    unsigned long atom(const char* name) const;

    // Every event read from the connection reaches every listener, on the
    // main loop; a generic (extension) event with its cookie data claimed.
    using Listener = std::function<void(XEvent&)>;
    Cancel listen(Listener listener);
    // Reads what has arrived (also called by the loop whenever the socket
    // has data).
    void processPending();

  private:
    explicit X11Connection(Display* display);

    Display* display_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QMetaObject::Connection beforeWait_;
    // Shared with the cancel handles, which may outlive the connection.
    std::shared_ptr<std::vector<std::shared_ptr<Listener>>> listeners_;
};

// The X display named by $DISPLAY answers; for a refusal before any window
// system is touched (Qt aborts without one).
bool canOpenDisplay(Log& log);

}  // namespace mivo::linux_desktop
