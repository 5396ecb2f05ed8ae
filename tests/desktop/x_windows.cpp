#include "x_windows.hpp"

#include <QDir>
#include <QMargins>
#include <QProcess>
#include <QString>

#include <unistd.h>

#include <iterator>

#include "desktop_session.hpp"
#include "platform/linux/x11/x11_properties.hpp"

// Xlib after Qt: its macros clash with Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace mivo::desktop_test {

XConnection::XConnection() : connection_(XOpenDisplay(nullptr)), display_(connection_.get()) {}

void XConnection::Closer::operator()(Display* display) const {
    XCloseDisplay(display);
}

QRect rootGeometry(Display* display, unsigned long window) {
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth);
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    XTranslateCoordinates(display, window, root, 0, 0, &rootX, &rootY, &child);
    return QRect(rootX, rootY, static_cast<int>(width), static_cast<int>(height));
}

QRect framedGeometry(Display* display, unsigned long window) {
    const auto extents = linux_desktop::cardinalProperty(
        display, window, XInternAtom(display, "_NET_FRAME_EXTENTS", False), XA_CARDINAL);
    QMargins frame;
    if (extents && extents->size() == 4) {
        frame = QMargins(static_cast<int>((*extents)[0]), static_cast<int>((*extents)[2]),
                         static_cast<int>((*extents)[1]), static_cast<int>((*extents)[3]));
    }
    return rootGeometry(display, window) + frame;
}

bool isViewable(Display* display, unsigned long window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

std::string shownTitle(Display* display, unsigned long window) {
    return linux_desktop::stringProperty(display, window,
                                         XInternAtom(display, "_NET_WM_NAME", False),
                                         XInternAtom(display, "UTF8_STRING", False))
        .value_or("");
}

void askWindowManager(Display* display, unsigned long window, const char* message, long first,
                      long second) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, message, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = first;
    event.xclient.data.l[1] = second;
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(display, False);
}

std::optional<long> keyboardOwner(Display* display) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    const Window root = DefaultRootWindow(display);
    while (focus != None && focus != root && focus != PointerRoot) {
        if (const auto pid = linux_desktop::cardinalProperty(display, focus, pidAtom, XA_CARDINAL);
            pid && !pid->empty())
            return static_cast<long>(pid->front());
        Window rootReturn = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, focus, &rootReturn, &parent, &children, &count) == 0)
            return std::nullopt;
        if (children != nullptr)
            XFree(children);
        focus = parent;
    }
    return std::nullopt;
}

void movePointer(Display* display, int x, int y) {
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    // Processed by the server before anything else the test does, so a
    // window mapped next never appears under the old pointer position.
    XSync(display, False);
}

void clickAt(Display* display, int x, int y, double settle) {
    movePointer(display, x, y);
    spinFor(settle);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    spinFor(0.05);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
}

void pressCombination(Display* display, std::initializer_list<unsigned long> modifiers,
                      unsigned long key) {
    for (const KeySym m : modifiers)
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, m), True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
    for (auto m = std::rbegin(modifiers); m != std::rend(modifiers); ++m)
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, *m), False, CurrentTime);
    XSync(display, False);
}

void altTab(Display* display) {
    // A moment between the events, as between a hand's key strokes.
    const auto key = [&](unsigned long keysym, bool down) {
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, keysym), down ? True : False,
                          CurrentTime);
        XSync(display, False);
        spinFor(0.015);
    };
    key(XK_Alt_L, true);
    key(XK_Tab, true);
    key(XK_Tab, false);
    key(XK_Alt_L, false);
}

OwnWindow::OwnWindow() {
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 300, 300, 400, 300, 0, 0,
                                  0xffffff);
    const long pid = getpid();
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    XStoreName(display_, window_, "Mivo Settings stand-in");
    XMapWindow(display_, window_);
    XFlush(display_);
}

OwnWindow::~OwnWindow() {
    XDestroyWindow(display_, window_);
    XFlush(display_);
}

void screenshot(std::string_view name) {
    const QString dir = QStringLiteral(MIVO_DESKTOP_ARTIFACTS_DIR);
    QDir().mkpath(dir);
    QProcess::execute(
        "import",
        {"-window", "root",
         dir + "/" + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))});
}

}  // namespace mivo::desktop_test
