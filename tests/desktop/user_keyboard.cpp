#include "user_keyboard.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <string>

namespace mivo::desktop_test {

std::unique_ptr<UserKeyboard> UserKeyboard::open(std::string& why) {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        why = "no X display";
        return nullptr;
    }
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(d, XIAllDevices, &count);
    int id = -1;
    for (int i = 0; devices != nullptr && i < count; ++i) {
        const std::string name = devices[i].name;
        if (devices[i].use == XISlaveKeyboard && name.find("XTEST") == std::string::npos &&
            devices[i].enabled) {
            id = devices[i].deviceid;
            break;
        }
    }
    if (devices != nullptr)
        XIFreeDeviceInfo(devices);
    XDevice* device = id >= 0 ? XOpenDevice(d, static_cast<XID>(id)) : nullptr;
    if (device == nullptr) {
        why = "the X server has no keyboard device of its own";
        XCloseDisplay(d);
        return nullptr;
    }
    return std::unique_ptr<UserKeyboard>(new UserKeyboard(d, device));
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

}  // namespace mivo::desktop_test
