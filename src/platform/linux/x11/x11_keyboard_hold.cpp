#include "platform/linux/x11/x11_keyboard_hold.hpp"

// Qt before Xlib: Xlib's macros (None, Bool, Status) break Qt's headers.
#include "platform/linux/x11/x11_connection.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>

namespace mivo::linux_desktop {
namespace {

constexpr std::string_view kKeyboardSuffix = " keyboard";

// The X server names a master's XTest keyboard after the master: "Virtual
// core keyboard" types through "Virtual core XTEST keyboard".
std::string xtestKeyboardOf(std::string_view master) {
    if (master.ends_with(kKeyboardSuffix))
        master.remove_suffix(kKeyboardSuffix.size());
    return std::string(master) + " XTEST keyboard";
}

int milliseconds(TimePoint from, TimePoint to) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

}  // namespace

X11KeyboardHold::X11KeyboardHold(X11Connection& x11, Scheduler& scheduler, Log& log)
    : x11_(x11), scheduler_(scheduler), log_(log) {
    Display* d = x11_.display();
    int event = 0;
    int error = 0;
    int major = 2;
    int minor = 0;
    int xtestEvent = 0;
    int xtestError = 0;
    int xtestMajor = 0;
    int xtestMinor = 0;
    available_ = XQueryExtension(d, "XInputExtension", &xiOpcode_, &event, &error) != 0 &&
                 XIQueryVersion(d, &major, &minor) == Success &&
                 XTestQueryExtension(d, &xtestEvent, &xtestError, &xtestMajor, &xtestMinor) != 0;
}

X11KeyboardHold::~X11KeyboardHold() {
    limit_.cancel();
    listening_.cancel();
    Display* d = x11_.display();
    for (const int id : grabbed_)
        XIUngrabDevice(d, id, CurrentTime);
    XFlush(d);
}

std::vector<int> X11KeyboardHold::userKeyboards() {
    Display* d = x11_.display();
    int pointer = 0;
    if (XIGetClientPointer(d, None, &pointer) == 0)
        return {};
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(d, XIAllDevices, &count);
    if (devices == nullptr)
        return {};
    const auto info = [&](int id) -> const XIDeviceInfo* {
        for (int i = 0; i < count; ++i) {
            if (devices[i].deviceid == id)
                return &devices[i];
        }
        return nullptr;
    };
    std::vector<int> keyboards;
    const XIDeviceInfo* master = nullptr;
    if (const XIDeviceInfo* p = info(pointer); p != nullptr && p->use == XIMasterPointer)
        master = info(p->attachment);
    if (master != nullptr && master->use == XIMasterKeyboard) {
        const std::string ours = xtestKeyboardOf(master->name);
        for (int i = 0; i < count; ++i) {
            const XIDeviceInfo& dev = devices[i];
            if (dev.use == XISlaveKeyboard && dev.attachment == master->deviceid && dev.enabled &&
                ours != dev.name)
                keyboards.push_back(dev.deviceid);
        }
    }
    XIFreeDeviceInfo(devices);
    return keyboards;
}

bool X11KeyboardHold::anyKeyDown() {
    char keys[32] = {};
    XQueryKeymap(x11_.display(), keys);
    return std::any_of(std::begin(keys), std::end(keys), [](char k) { return k != 0; });
}

bool X11KeyboardHold::listen() {
    if (listening_)
        return true;
    listening_ = x11_.listen([this](XEvent& e) {
        if (e.type != GenericEvent || e.xcookie.extension != xiOpcode_ ||
            (e.xcookie.evtype != XI_KeyPress && e.xcookie.evtype != XI_KeyRelease) ||
            e.xcookie.data == nullptr)
            return;
        const auto* ev = static_cast<const XIDeviceEvent*>(e.xcookie.data);
        if (std::find(grabbed_.begin(), grabbed_.end(), ev->deviceid) == grabbed_.end() &&
            std::find(ending_.begin(), ending_.end(), ev->deviceid) == ending_.end())
            return;
        held_.push_back(
            HeldKey{static_cast<unsigned char>(ev->detail), e.xcookie.evtype == XI_KeyPress});
    });
    return true;
}

bool X11KeyboardHold::hold(double limitSeconds) {
    if (!available_)
        return false;
    if (!holding()) {
        const TimePoint asked = scheduler_.now();
        // A key held down now would come up while its keyboard floats and
        // stay down for the applications.
        if (anyKeyDown()) {
            log_.write("[Mivo] input: a key is down; the keyboard is not held");
            return false;
        }
        listen();
        Display* d = x11_.display();
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_KeyPress);
        XISetMask(bits, XI_KeyRelease);
        for (const int id : userKeyboards()) {
            XIEventMask mask{id, static_cast<int>(sizeof bits), bits};
            if (XIGrabDevice(d, id, x11_.rootWindow(), CurrentTime, None, XIGrabModeAsync,
                             XIGrabModeAsync, False, &mask) == Success)
                grabbed_.push_back(id);
        }
        if (grabbed_.empty()) {
            log_.write("[Mivo] input: the keyboard could not be held");
            return false;
        }
        since_ = scheduler_.now();
        char took[32];
        std::snprintf(took, sizeof took, "%.1f",
                      std::chrono::duration<double, std::milli>(since_ - asked).count());
        log_.write("[Mivo] input: holding the user's keys (" + std::to_string(grabbed_.size()) +
                   " keyboards, grabbed in " + took + " ms)");
    }
    limit_.cancel();
    limit_ = scheduler_.after(limitSeconds, [this] { release(); });
    return true;
}

void X11KeyboardHold::release() {
    if (!holding())
        return;
    limit_.cancel();
    Display* d = x11_.display();
    // Keys that reached the server before the grab ends are ours to type.
    XSync(d, False);
    x11_.processPending();
    ending_ = std::exchange(grabbed_, {});
    for (const int id : ending_)
        XIUngrabDevice(d, id, CurrentTime);
    // And so are those that came while the ungrab was on its way: a release
    // among them must not be missed, or its key would stay down.
    XSync(d, False);
    x11_.processPending();
    ending_.clear();
    remapAgain();
    const auto keys = std::exchange(held_, {});
    typeOn(keys);
    XFlush(d);
    log_.write("[Mivo] input: the user's keys held " +
               std::to_string(milliseconds(since_, scheduler_.now())) + " ms; " +
               std::to_string(keys.size()) + " key events typed on");
}

void X11KeyboardHold::typeOn(const std::vector<HeldKey>& keys) {
    Display* d = x11_.display();
    std::set<unsigned char> down;
    for (const HeldKey& key : keys) {
        // A release whose press came before the hold was never ours.
        if (!key.down && !down.contains(key.keycode))
            continue;
        XTestFakeKeyEvent(d, key.keycode, key.down ? True : False, CurrentTime);
        if (key.down)
            down.insert(key.keycode);
        else
            down.erase(key.keycode);
    }
    // A modifier the user still holds stays down: its keyboard is back on
    // the master, whose key it releases when it comes up. Released now, a
    // Shift held on would not reach the keys typed after the hold. Any
    // other key comes up at once (it would repeat), and so does a modifier
    // that came up in the moment between the end of the hold and now.
    for (const unsigned char keycode : down) {
        if (!isModifier(keycode) || !physicallyDown(keycode))
            XTestFakeKeyEvent(d, keycode, False, CurrentTime);
    }
}

bool X11KeyboardHold::isModifier(unsigned char keycode) {
    XModifierKeymap* map = XGetModifierMapping(x11_.display());
    if (map == nullptr)
        return false;
    const int count = 8 * map->max_keypermod;
    const bool found = std::any_of(map->modifiermap, map->modifiermap + count,
                                   [&](KeyCode k) { return k == keycode; });
    XFreeModifiermap(map);
    return found;
}

bool X11KeyboardHold::physicallyDown(unsigned char keycode) {
    Display* d = x11_.display();
    bool down = false;
    for (const int id : userKeyboards()) {
        XDevice* device = XOpenDevice(d, static_cast<XID>(id));
        if (device == nullptr)
            continue;
        if (XDeviceState* state = XQueryDeviceState(d, device); state != nullptr) {
            auto* c = reinterpret_cast<XInputClass*>(state->data);
            for (int i = 0; i < state->num_classes; ++i) {
                if (c->c_class == KeyClass) {
                    const auto* keys = reinterpret_cast<XKeyState*>(c);
                    if ((keys->keys[keycode / 8] & (1 << (keycode % 8))) != 0)
                        down = true;
                }
                c = reinterpret_cast<XInputClass*>(reinterpret_cast<char*>(c) + c->length);
            }
            XFreeDeviceState(state);
        }
        XCloseDevice(d, device);
    }
    return down;
}

void X11KeyboardHold::keymapChanged(unsigned char keycode) {
    if (holding())
        remapped_.insert(keycode);
}

void X11KeyboardHold::remapAgain() {
    Display* d = x11_.display();
    for (const unsigned char keycode : std::exchange(remapped_, {})) {
        int perKeycode = 0;
        KeySym* syms = XGetKeyboardMapping(d, keycode, 1, &perKeycode);
        if (syms == nullptr)
            continue;
        XChangeKeyboardMapping(d, keycode, perKeycode, syms, 1);
        XFree(syms);
    }
}

}  // namespace mivo::linux_desktop
