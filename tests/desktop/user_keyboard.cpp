#include "user_keyboard.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <string>
#include <utility>

namespace mivo::desktop_test {

namespace {

// The server's own slave device of `use`, not an XTest one, opened on a
// connection of its own; nothing (with `why`) without one.
std::pair<Display*, XDevice*> openOwnDevice(int use, std::string& why) {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        why = "no X display";
        return {};
    }
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(d, XIAllDevices, &count);
    int id = -1;
    for (int i = 0; devices != nullptr && i < count; ++i) {
        const std::string name = devices[i].name;
        if (devices[i].use == use && name.find("XTEST") == std::string::npos &&
            devices[i].enabled) {
            id = devices[i].deviceid;
            break;
        }
    }
    if (devices != nullptr)
        XIFreeDeviceInfo(devices);
    XDevice* device = id >= 0 ? XOpenDevice(d, static_cast<XID>(id)) : nullptr;
    if (device == nullptr) {
        why = "the X server has no such device of its own";
        XCloseDisplay(d);
        return {};
    }
    return {d, device};
}

}  // namespace

std::unique_ptr<UserKeyboard> UserKeyboard::open(std::string& why) {
    const auto [d, device] = openOwnDevice(XISlaveKeyboard, why);
    if (device == nullptr)
        return nullptr;
    return std::unique_ptr<UserKeyboard>(new UserKeyboard(d, device));
}

std::unique_ptr<UserPointer> UserPointer::open(std::string& why) {
    const auto [d, device] = openOwnDevice(XISlavePointer, why);
    if (device == nullptr)
        return nullptr;
    return std::unique_ptr<UserPointer>(new UserPointer(d, device));
}

UserPointer::UserPointer(Display* display, void* device) : display_(display), device_(device) {}

UserPointer::~UserPointer() {
    XCloseDevice(display_, static_cast<XDevice*>(device_));
    XCloseDisplay(display_);
}

bool UserPointer::button(int x, int y, bool down) {
    auto* device = static_cast<XDevice*>(device_);
    int axes[2] = {x, y};
    const bool ok =
        XTestFakeDeviceMotionEvent(display_, device, False, 0, axes, 2, CurrentTime) != 0 &&
        XTestFakeDeviceButtonEvent(display_, device, 1, down ? True : False, axes, 2,
                                   CurrentTime) != 0;
    XSync(display_, False);
    return ok;
}

bool UserPointer::move(int x, int y) {
    int axes[2] = {x, y};
    const bool ok = XTestFakeDeviceMotionEvent(display_, static_cast<XDevice*>(device_), False, 0,
                                               axes, 2, CurrentTime) != 0;
    XSync(display_, False);
    return ok;
}

UserKeyboard::UserKeyboard(Display* display, void* device) : display_(display), device_(device) {}

UserKeyboard::~UserKeyboard() {
    XCloseDevice(display_, static_cast<XDevice*>(device_));
    XCloseDisplay(display_);
}

bool UserKeyboard::type(std::string_view keys) {
    auto* device = static_cast<XDevice*>(device_);
    for (const char c : keys) {
        const char name[2] = {c, '\0'};
        const KeyCode keycode = XKeysymToKeycode(display_, XStringToKeysym(name));
        if (keycode == 0)
            return false;
        if (XTestFakeDeviceKeyEvent(display_, device, keycode, True, nullptr, 0, CurrentTime) ==
                0 ||
            XTestFakeDeviceKeyEvent(display_, device, keycode, False, nullptr, 0, CurrentTime) == 0)
            return false;
    }
    XSync(display_, False);
    return true;
}

bool UserKeyboard::key(const char* keysym, bool down) {
    const KeyCode keycode = XKeysymToKeycode(display_, XStringToKeysym(keysym));
    if (keycode == 0 || XTestFakeDeviceKeyEvent(display_, static_cast<XDevice*>(device_), keycode,
                                                down ? True : False, nullptr, 0, CurrentTime) == 0)
        return false;
    XSync(display_, False);
    return true;
}

bool typeByAnotherProgram(std::string_view keys) {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr)
        return false;
    bool ok = true;
    for (const char c : keys) {
        const KeyCode key = XKeysymToKeycode(d, static_cast<KeySym>(c));
        ok = ok && key != 0 && XTestFakeKeyEvent(d, key, True, CurrentTime) != 0 &&
             XTestFakeKeyEvent(d, key, False, CurrentTime) != 0;
    }
    XSync(d, False);
    XCloseDisplay(d);
    return ok;
}

StandInPanel::StandInPanel(int x, int y, int width, int height) : display_(XOpenDisplay(nullptr)) {
    if (display_ == nullptr)
        return;
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(display_, DefaultScreen(display_));
    window_ =
        XCreateWindow(display_, DefaultRootWindow(display_), x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWOverrideRedirect | CWBackPixel, &attributes);
    XSelectInput(display_, window_, ButtonPressMask | ButtonReleaseMask);
    XMapRaised(display_, window_);
    XSync(display_, False);
}

StandInPanel::~StandInPanel() {
    if (display_ == nullptr)
        return;
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
}

bool clickByAnotherProgram(int x, int y) {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr)
        return false;
    const bool ok = XTestFakeMotionEvent(d, -1, x, y, CurrentTime) != 0 &&
                    XTestFakeButtonEvent(d, 1, True, CurrentTime) != 0 &&
                    XTestFakeButtonEvent(d, 1, False, CurrentTime) != 0;
    XSync(d, False);
    XCloseDisplay(d);
    return ok;
}

std::optional<UserHands> UserHands::open(std::string& why) {
    UserHands hands{UserKeyboard::open(why), nullptr};
    if (hands.keyboard == nullptr)
        return std::nullopt;
    hands.pointer = UserPointer::open(why);
    if (hands.pointer == nullptr)
        return std::nullopt;
    return hands;
}

}  // namespace mivo::desktop_test
