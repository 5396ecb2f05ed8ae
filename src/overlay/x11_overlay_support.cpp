#include "overlay/x11_overlay_support.hpp"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <xcb/xcb.h>

#include "ui/qt_edge.hpp"

namespace mivo::overlay_qt {
namespace {

xcb_screen_t* defaultScreen(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data;
}

// The pointing hand from the core cursor font (hand2), made once.
xcb_cursor_t handCursor(xcb_connection_t* c) {
    static xcb_cursor_t cursor = XCB_NONE;
    if (cursor != XCB_NONE)
        return cursor;
    constexpr uint16_t kHand2 = 60;
    const xcb_font_t font = xcb_generate_id(c);
    xcb_open_font(c, font, 6, "cursor");
    cursor = xcb_generate_id(c);
    xcb_create_glyph_cursor(c, cursor, font, font, kHand2, kHand2 + 1, 0, 0, 0, 0xffff, 0xffff,
                            0xffff);
    xcb_close_font(c, font);
    return cursor;
}

// Hands the crossing events of our input-only windows to their owners.
class CrossingFilter : public QAbstractNativeEventFilter {
  public:
    static CrossingFilter& shared() {
        static CrossingFilter filter;
        static const bool installed = [] {
            QCoreApplication::instance()->installNativeEventFilter(&filter);
            return true;
        }();
        (void)installed;
        return filter;
    }

    std::map<xcb_window_t, std::function<void(bool)>> handlers;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t")
            return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        const uint8_t kind = event->response_type & ~0x80;
        if (kind != XCB_ENTER_NOTIFY && kind != XCB_LEAVE_NOTIFY)
            return false;
        auto* crossing = reinterpret_cast<xcb_enter_notify_event_t*>(event);
        const auto found = handlers.find(crossing->event);
        if (found == handlers.end())
            return false;
        // A copy: the handler may destroy the catcher.
        const auto handler = found->second;
        if (handler)
            handler(kind == XCB_ENTER_NOTIFY);
        return true;
    }
};

xcb_atom_t atom(xcb_connection_t* c, std::string_view name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.data()), nullptr);
    const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    free(reply);
    return found;
}

}  // namespace

void offerNoFocus(unsigned long window) {
    xcb_connection_t* c = qt_edge::xcbConnection();
    if (c == nullptr || window == 0)
        return;
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS");
    const xcb_atom_t takeFocus = atom(c, "WM_TAKE_FOCUS");
    auto* reply = xcb_get_property_reply(
        c,
        xcb_get_property(c, 0, static_cast<xcb_window_t>(window), protocols, XCB_ATOM_ATOM, 0, 32),
        nullptr);
    if (reply == nullptr)
        return;
    std::vector<xcb_atom_t> kept;
    if (reply->format == 32) {
        const auto* items = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / 4;
        for (int i = 0; i < count; ++i) {
            if (items[i] != takeFocus)
                kept.push_back(items[i]);
        }
    }
    free(reply);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window), protocols,
                        XCB_ATOM_ATOM, 32, static_cast<uint32_t>(kept.size()), kept.data());
    xcb_flush(c);
}

std::unique_ptr<X11HoverCatcher> X11HoverCatcher::create(const QRect& rect,
                                                         std::function<void(bool)> onCrossing) {
    xcb_connection_t* c = qt_edge::xcbConnection();
    if (c == nullptr || rect.width() <= 0 || rect.height() <= 0)
        return nullptr;
    auto catcher = std::unique_ptr<X11HoverCatcher>(new X11HoverCatcher);
    const xcb_window_t window = xcb_generate_id(c);
    // A button pressed over the window must end there. Selected by no one
    // here, it would travel on to the root window, where the window manager
    // takes it for a click on the desktop: openbox then focuses nothing
    // (_NET_ACTIVE_WINDOW 0, the keyboard on its own window) and turns
    // desktops on the wheel. So it goes no further, and no client gets it:
    // no pointer grab starts either.
    const uint32_t values[] = {// in the order of their mask bits
                               1, XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW,
                               XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE,
                               handCursor(c)};
    xcb_create_window(
        c, 0, window, defaultScreen(c)->root, static_cast<int16_t>(rect.x()),
        static_cast<int16_t>(rect.y()), static_cast<uint16_t>(rect.width()),
        static_cast<uint16_t>(rect.height()), 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
        XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK | XCB_CW_DONT_PROPAGATE | XCB_CW_CURSOR,
        values);
    xcb_map_window(c, window);
    xcb_flush(c);
    catcher->window_ = window;
    CrossingFilter::shared().handlers[window] = std::move(onCrossing);
    return catcher;
}

void X11HoverCatcher::setGeometry(const QRect& rect) {
    xcb_connection_t* c = qt_edge::xcbConnection();
    if (c == nullptr || rect.width() <= 0 || rect.height() <= 0)
        return;
    const uint32_t values[] = {static_cast<uint32_t>(rect.x()), static_cast<uint32_t>(rect.y()),
                               static_cast<uint32_t>(rect.width()),
                               static_cast<uint32_t>(rect.height())};
    xcb_configure_window(c, window_,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(c);
}

X11HoverCatcher::~X11HoverCatcher() {
    CrossingFilter::shared().handlers.erase(window_);
    if (xcb_connection_t* c = qt_edge::xcbConnection()) {
        xcb_destroy_window(c, window_);
        xcb_flush(c);
    }
}

}  // namespace mivo::overlay_qt
