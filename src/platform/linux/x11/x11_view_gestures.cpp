#include "platform/linux/x11/x11_view_gestures.hpp"

// Qt before Xlib: Xlib's macros (None, Bool, Status) break Qt's headers.
#include "platform/linux/x11/x11_connection.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include <cstdlib>

namespace mivo::linux_desktop {

bool keyMovesView(unsigned long keysym, bool control, bool alt) {
    switch (keysym) {
        case XK_Page_Up:
        case XK_Page_Down:
        case XK_KP_Page_Up:
        case XK_KP_Page_Down:
            return true;
        case XK_Home:
        case XK_End:
        case XK_KP_Home:
        case XK_KP_End:
            return control;
        case XK_t:
        case XK_T:
        case XK_n:
        case XK_N:
        case XK_w:
        case XK_W:
        case XK_Tab:
        case XK_ISO_Left_Tab:
            return control && !alt;
        case XK_Left:
        case XK_Right:
            return alt && !control;
        default:
            return false;
    }
}

std::unique_ptr<X11ViewGestures> X11ViewGestures::open(Scheduler& scheduler, Log& log,
                                                       ViewGestureHandler handler) {
    auto x11 = X11Connection::open(log);
    if (x11 == nullptr)
        return nullptr;
    Display* d = x11->display();
    int opcode = 0;
    int event = 0;
    int error = 0;
    int major = 2;
    int minor = 2;
    if (XQueryExtension(d, "XInputExtension", &opcode, &event, &error) == 0 ||
        XIQueryVersion(d, &major, &minor) != Success || major < 2 || (major == 2 && minor < 2)) {
        log.write("[Mivo] input: the X server has no XInput 2.2; scrolls are seen late");
        return nullptr;
    }
    return std::unique_ptr<X11ViewGestures>(
        new X11ViewGestures(std::move(x11), opcode, scheduler, std::move(handler)));
}

X11ViewGestures::X11ViewGestures(std::unique_ptr<X11Connection> x11, int xiOpcode,
                                 Scheduler& scheduler, ViewGestureHandler handler)
    : x11_(std::move(x11)),
      xiOpcode_(xiOpcode),
      scheduler_(scheduler),
      handler_(std::move(handler)) {
    select(false);
    listening_ = x11_->listen([this](XEvent& e) {
        if (e.type != GenericEvent || e.xcookie.extension != xiOpcode_)
            return;
        const auto* raw = static_cast<const XIRawEvent*>(e.xcookie.data);
        if (raw == nullptr)
            return;
        switch (e.xcookie.evtype) {
            case XI_RawKeyPress:
                return heardKey(raw->detail, true);
            case XI_RawKeyRelease:
                return heardKey(raw->detail, false);
            case XI_RawButtonPress:
                return heardButton(raw->detail, true);
            case XI_RawButtonRelease:
                return heardButton(raw->detail, false);
            case XI_RawMotion:
                return heardMotion();
            default:
                return;
        }
    });
}

X11ViewGestures::~X11ViewGestures() {
    listening_.cancel();
}

void X11ViewGestures::select(bool motion) {
    // The pointer's every move is heard only while the primary button is
    // held and no drag was seen yet: a resting or gliding pointer wakes
    // nothing here.
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    if (motion)
        XISetMask(bits, XI_RawMotion);
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof bits;
    mask.mask = bits;
    XISelectEvents(x11_->display(), x11_->rootWindow(), &mask, 1);
    XFlush(x11_->display());
}

void X11ViewGestures::heardKey(int keycode, bool down) {
    const KeySym keysym = XkbKeycodeToKeysym(x11_->display(), static_cast<KeyCode>(keycode), 0, 0);
    const auto hold = [&](std::set<int>& held) {
        if (down)
            held.insert(keycode);
        else
            held.erase(keycode);
    };
    if (keysym == XK_Control_L || keysym == XK_Control_R)
        return hold(controls_);
    if (keysym == XK_Alt_L || keysym == XK_Alt_R || keysym == XK_Meta_L || keysym == XK_Meta_R)
        return hold(alts_);
    if (down && keyMovesView(keysym, !controls_.empty(), !alts_.empty()))
        report(ViewGesture::moved);
}

bool pressIsDrag(int distance, int motions) {
    return distance >= kDragThresholdPixels || motions >= kDragMotions;
}

void X11ViewGestures::heardButton(int button, bool down) {
    // Buttons 4 to 7 are the wheel's steps.
    if (button >= 4 && button <= 7) {
        if (down)
            report(ViewGesture::moved);
        return;
    }
    if (button != 1)
        return;
    if (down) {
        Window root = 0;
        Window child = 0;
        int winX = 0;
        int winY = 0;
        unsigned int buttons = 0;
        XQueryPointer(x11_->display(), x11_->rootWindow(), &root, &child, &pressX_, &pressY_, &winX,
                      &winY, &buttons);
        pressed_ = true;
        dragging_ = false;
        motions_ = 0;
        select(true);
        return;
    }
    if (!pressed_)
        return;
    pressed_ = false;
    if (!dragging_) {
        select(false);
        return;
    }
    dragging_ = false;
    report(ViewGesture::dragEnded);
}

void X11ViewGestures::heardMotion() {
    if (!pressed_ || dragging_)
        return;
    Window root = 0;
    Window child = 0;
    int x = 0;
    int y = 0;
    int winX = 0;
    int winY = 0;
    unsigned int buttons = 0;
    XQueryPointer(x11_->display(), x11_->rootWindow(), &root, &child, &x, &y, &winX, &winY,
                  &buttons);
    // The place of the press is read when it is heard: a pointer that
    // moved before that shows no distance, but goes on moving.
    if (!pressIsDrag(std::abs(x - pressX_) + std::abs(y - pressY_), ++motions_))
        return;
    dragging_ = true;
    select(false);
    report(ViewGesture::dragStarted);
}

void X11ViewGestures::report(ViewGesture gesture) {
    // Out of the connection's reading: the handler may talk to X itself.
    scheduler_.after(0, [this, life = std::weak_ptr<const bool>(life_), gesture] {
        if (!life.expired() && handler_)
            handler_(gesture);
    });
}

}  // namespace mivo::linux_desktop
