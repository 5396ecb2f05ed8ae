#include "platform/linux/x11/x11_top_level_windows.hpp"

// Qt before Xlib: Xlib's macros (None, Bool, Status) break Qt's headers.
#include "platform/linux/x11/x11_connection.hpp"
#include "platform/linux/x11/x11_properties.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace mivo::linux_desktop {
namespace {

// _NET_WM_DESKTOP of a window shown on every desktop.
constexpr unsigned long kAllDesktops = 0xFFFFFFFF;

bool contains(const std::optional<std::vector<unsigned long>>& items, unsigned long item) {
    return items && std::ranges::find(*items, item) != items->end();
}

}  // namespace

X11TopLevelWindows::X11TopLevelWindows(X11Connection& x11) : x11_(x11) {}

bool X11TopLevelWindows::isNormal(unsigned long window) {
    Display* d = x11_.display();
    const auto types = cardinalProperty(d, window, x11_.atom("_NET_WM_WINDOW_TYPE"), XA_ATOM);
    if (types && !types->empty()) {
        // The first type the window manager knows counts; ours are the
        // ordinary application windows.
        return types->front() == x11_.atom("_NET_WM_WINDOW_TYPE_NORMAL");
    }
    // Without a type a window is normal unless it is transient for another
    // (a dialog), which its window manager minimises with its owner.
    Window owner = None;
    return XGetTransientForHint(d, window, &owner) == 0 || owner == None;
}

bool X11TopLevelWindows::isMinimized(unsigned long window) {
    Display* d = x11_.display();
    const Atom wmState = x11_.atom("WM_STATE");
    if (const auto state = cardinalProperty(d, window, wmState, wmState); state && !state->empty())
        return state->front() == IconicState;
    return contains(cardinalProperty(d, window, x11_.atom("_NET_WM_STATE"), XA_ATOM),
                    x11_.atom("_NET_WM_STATE_HIDDEN"));
}

bool X11TopLevelWindows::isOnDesktop(unsigned long window, std::optional<unsigned long> desktop) {
    if (!desktop)
        return true;  // a window manager without desktops
    const auto on =
        cardinalProperty(x11_.display(), window, x11_.atom("_NET_WM_DESKTOP"), XA_CARDINAL);
    if (!on || on->empty())
        return true;
    return on->front() == *desktop || on->front() == kAllDesktops;
}

std::vector<TopLevelWindow> X11TopLevelWindows::normalWindowsOnCurrentDesktop() {
    Display* d = x11_.display();
    const Window root = x11_.rootWindow();
    // Any listed window may close while it is read.
    const XErrorTrap trap(d);
    auto clients = cardinalProperty(d, root, x11_.atom("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
    if (!clients)
        clients = cardinalProperty(d, root, x11_.atom("_NET_CLIENT_LIST"), XA_WINDOW);
    const auto current = cardinalProperty(d, root, x11_.atom("_NET_CURRENT_DESKTOP"), XA_CARDINAL);
    const std::optional<unsigned long> desktop =
        current && !current->empty() ? std::optional(current->front()) : std::nullopt;

    std::vector<TopLevelWindow> windows;
    for (const unsigned long window : clients.value_or(std::vector<unsigned long>{})) {
        if (!isOnDesktop(window, desktop) || !isNormal(window))
            continue;
        TopLevelWindow listed{window, std::nullopt, isMinimized(window)};
        const auto pid = cardinalProperty(d, window, x11_.atom("_NET_WM_PID"), XA_CARDINAL);
        if (pid && !pid->empty() && pid->front() != 0)
            listed.pid = static_cast<Pid>(pid->front());
        windows.push_back(listed);
    }
    return windows;
}

bool X11TopLevelWindows::minimize(WindowId window) {
    Display* d = x11_.display();
    const XErrorTrap trap(d);
    // The ICCCM request: a WM_CHANGE_STATE message to the root window with
    // IconicState, which the window manager carries out.
    return XIconifyWindow(d, static_cast<Window>(window), DefaultScreen(d)) != 0;
}

bool X11TopLevelWindows::restore(WindowId window) {
    Display* d = x11_.display();
    const XErrorTrap trap(d);
    // Redirected to the window manager as a map request, which takes an
    // iconic window back to its normal state.
    XMapWindow(d, static_cast<Window>(window));
    return true;
}

}  // namespace mivo::linux_desktop
