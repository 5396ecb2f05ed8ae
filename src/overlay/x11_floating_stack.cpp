#include "overlay/x11_floating_stack.hpp"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <set>
#include <string_view>

#include <xcb/xcb.h>

#include "ui/qt_edge.hpp"

namespace mivo::overlay_qt {
namespace {

xcb_window_t rootOf(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t internAtom(xcb_connection_t* c, std::string_view name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.data()), nullptr);
    const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    free(reply);
    return found;
}

std::vector<uint32_t> atomList(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                               xcb_atom_t type) {
    std::vector<uint32_t> out;
    auto* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 4096), nullptr);
    if (reply == nullptr)
        return out;
    if (reply->format == 32) {
        const auto* items = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        out.assign(items, items + xcb_get_property_value_length(reply) / 4);
    }
    free(reply);
    return out;
}

// The root's child (the window manager's frame of a managed window) that
// holds `window`.
xcb_window_t frameOf(xcb_connection_t* c, xcb_window_t window) {
    for (int depth = 0; depth < 8; ++depth) {
        auto* reply = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
        if (reply == nullptr)
            return XCB_WINDOW_NONE;
        const xcb_window_t parent = reply->parent;
        const xcb_window_t root = reply->root;
        free(reply);
        if (parent == root || parent == XCB_WINDOW_NONE)
            return window;
        window = parent;
    }
    return XCB_WINDOW_NONE;
}

// Whether another application's managed window may stand over the text the
// highlights mark. A panel, a desktop window or a notification, and a window
// kept always above or below, live in layers of the window manager's own:
// it lists a panel at the top of the stacking order whatever is active, so
// counting one would lift the boxes over Mivo's Settings on any desktop with
// a task bar. A minimised window covers nothing. (Override-redirect windows
// are never listed.)
class Layers {
  public:
    explicit Layers(xcb_connection_t* c)
        : type_(internAtom(c, "_NET_WM_WINDOW_TYPE")),
          state_(internAtom(c, "_NET_WM_STATE")),
          ownLayerTypes_{internAtom(c, "_NET_WM_WINDOW_TYPE_DOCK"),
                         internAtom(c, "_NET_WM_WINDOW_TYPE_DESKTOP"),
                         internAtom(c, "_NET_WM_WINDOW_TYPE_NOTIFICATION")},
          apartStates_{internAtom(c, "_NET_WM_STATE_ABOVE"), internAtom(c, "_NET_WM_STATE_BELOW"),
                       internAtom(c, "_NET_WM_STATE_HIDDEN")} {}

    bool mayCoverText(xcb_connection_t* c, xcb_window_t window) const {
        const auto holdsAny = [](const std::vector<uint32_t>& held, const auto& wanted) {
            return std::ranges::any_of(held, [&](uint32_t a) {
                return a != XCB_ATOM_NONE && std::ranges::find(wanted, a) != wanted.end();
            });
        };
        return !holdsAny(atomList(c, window, type_, XCB_ATOM_ATOM), ownLayerTypes_) &&
               !holdsAny(atomList(c, window, state_, XCB_ATOM_ATOM), apartStates_);
    }

  private:
    xcb_atom_t type_;
    xcb_atom_t state_;
    std::array<xcb_atom_t, 3> ownLayerTypes_;
    std::array<xcb_atom_t, 3> apartStates_;
};

// Mivo's windows on screen that the window manager may manage.
std::set<uint32_t> ownShownWindows() {
    std::set<uint32_t> ids;
    for (QWindow* w : QGuiApplication::allWindows()) {
        if (w->handle() != nullptr && w->isVisible() && w->visibility() != QWindow::Minimized &&
            !w->flags().testFlag(Qt::X11BypassWindowManagerHint))
            ids.insert(static_cast<uint32_t>(w->winId()));
    }
    return ids;
}

class StackingFilter : public QAbstractNativeEventFilter {
  public:
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_atom_t stacking = XCB_ATOM_NONE;
    xcb_atom_t netName = XCB_ATOM_NONE;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t")
            return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & ~0x80) != XCB_PROPERTY_NOTIFY)
            return false;
        auto* property = reinterpret_cast<xcb_property_notify_event_t*>(event);
        if (property->window == root && property->atom == stacking)
            FloatingStack::shared().restack();
        else if (property->atom == netName || property->atom == XCB_ATOM_WM_NAME)
            FloatingStack::shared().titleChanged(property->window);
        // Qt reads the root's properties too.
        return false;
    }
};

}  // namespace

uint32_t floorAboveOthers(const std::vector<StackedWindow>& bottomToTop) {
    uint32_t floor = 0;
    for (auto it = bottomToTop.rbegin(); it != bottomToTop.rend(); ++it) {
        if (it->otherManaged)
            break;
        if (it->ownManaged)
            floor = it->id;
    }
    return floor;
}

FloatingStack& FloatingStack::shared() {
    static FloatingStack stack;
    return stack;
}

FloatingStack::FloatingStack() {
    xcb_connection_t* c = qt_edge::xcbConnection();
    if (c == nullptr)
        return;
    static StackingFilter filter;
    filter.root = rootOf(c);
    filter.stacking = internAtom(c, "_NET_CLIENT_LIST_STACKING");
    filter.netName = internAtom(c, "_NET_WM_NAME");
    // Our own interest in the root's properties, beside whatever Qt chose.
    auto* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, filter.root), nullptr);
    const uint32_t mask =
        (attributes != nullptr ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
    free(attributes);
    xcb_change_window_attributes(c, filter.root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    QCoreApplication::instance()->installNativeEventFilter(&filter);
}

void FloatingStack::add(const std::vector<uint32_t>& windows) {
    windows_.insert(windows_.end(), windows.begin(), windows.end());
    place(windows);
}

void FloatingStack::remove(const std::vector<uint32_t>& windows) {
    std::erase_if(windows_,
                  [&](uint32_t w) { return std::ranges::find(windows, w) != windows.end(); });
}

void FloatingStack::titleChanged(uint32_t window) {
    if (window == watched_ && window != 0 && onTitleChanged)
        onTitleChanged();
}

void FloatingStack::watch(uint32_t window) {
    xcb_connection_t* c = qt_edge::xcbConnection();
    if (c == nullptr || window == watched_)
        return;
    // Only this client's interest changes; the window's owner keeps its own.
    if (watched_ != 0) {
        const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(c, watched_, XCB_CW_EVENT_MASK, &none);
    }
    watched_ = window;
    if (window != 0) {
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
    }
    xcb_flush(c);
}

void FloatingStack::restack() {
    place(windows_);
}

void FloatingStack::place(const std::vector<uint32_t>& windows) {
    xcb_connection_t* c = qt_edge::xcbConnection();
    if (c == nullptr || windows.empty())
        return;
    const xcb_window_t root = rootOf(c);
    const auto managed =
        atomList(c, root, internAtom(c, "_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW);
    const std::set<uint32_t> own = ownShownWindows();
    static const Layers layers(c);
    std::vector<StackedWindow> order;
    order.reserve(managed.size());
    // Only the top of the order decides, so only the windows above the
    // topmost of ours are asked what they are.
    bool otherSeen = false;
    for (auto it = managed.rbegin(); it != managed.rend() && !otherSeen; ++it) {
        StackedWindow w{.id = *it, .ownManaged = own.contains(*it)};
        if (!w.ownManaged) {
            w.otherManaged = layers.mayCoverText(c, *it);
            otherSeen = w.otherManaged;
        }
        order.insert(order.begin(), w);
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (it->otherManaged) {
            watch(it->id);
            break;
        }
    }
    const uint32_t floor = floorAboveOthers(order);
    const xcb_window_t sibling = floor != 0 ? frameOf(c, floor) : xcb_window_t{XCB_WINDOW_NONE};
    for (const uint32_t w : windows) {
        if (sibling != XCB_WINDOW_NONE) {
            const uint32_t values[] = {sibling, XCB_STACK_MODE_BELOW};
            xcb_configure_window(c, w, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE,
                                 values);
        } else {
            const uint32_t values[] = {XCB_STACK_MODE_ABOVE};
            xcb_configure_window(c, w, XCB_CONFIG_WINDOW_STACK_MODE, values);
        }
    }
    xcb_flush(c);
}

}  // namespace mivo::overlay_qt
