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

// How often a modifier left down for the user is looked at.
constexpr double kStandInPollSeconds = 0.05;
// How often, and how many times, the typing queue is looked at before the
// XTest keyboard is grabbed: our paste keystroke goes out within a turn or
// two of the loop.
constexpr double kOwnKeysOutPollSeconds = 0.002;
constexpr int kOwnKeysOutLooks = 50;

int milliseconds(TimePoint from, TimePoint to) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

}  // namespace

X11KeyboardHold::X11KeyboardHold(X11Connection& x11, Scheduler& scheduler, Log& log,
                                 std::function<bool()> ownKeysQueued)
    : x11_(x11), scheduler_(scheduler), log_(log), ownKeysQueued_(std::move(ownKeysQueued)) {
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
    othersWait_.cancel();
    listening_.cancel();
    // A modifier left down for the user stays so: released now it would end
    // the Shift the user still holds. A later replay lets it up first.
    standInWatch_.cancel();
    Display* d = x11_.display();
    for (const int id : grabbed_)
        XIUngrabDevice(d, id, CurrentTime);
    for (const int id : forwarding_)
        XIUngrabDevice(d, id, CurrentTime);
    XFlush(d);
}

X11KeyboardHold::Keyboards X11KeyboardHold::keyboards() {
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
    Keyboards keyboards;
    const XIDeviceInfo* master = nullptr;
    if (const XIDeviceInfo* p = info(pointer); p != nullptr && p->use == XIMasterPointer)
        master = info(p->attachment);
    if (master != nullptr && master->use == XIMasterKeyboard) {
        const std::string ours = xtestKeyboardOf(master->name);
        for (int i = 0; i < count; ++i) {
            const XIDeviceInfo& dev = devices[i];
            if (dev.use != XISlaveKeyboard || dev.attachment != master->deviceid || !dev.enabled)
                continue;
            if (ours == dev.name)
                keyboards.typing = dev.deviceid;
            else
                keyboards.user.push_back(dev.deviceid);
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
        const auto keycode = static_cast<unsigned char>(ev->detail);
        const bool press = e.xcookie.evtype == XI_KeyPress;
        const auto ours = [&](const std::vector<int>& devices) {
            return std::find(devices.begin(), devices.end(), ev->deviceid) != devices.end();
        };
        if (!ours(grabbed_) && !ours(ending_) && !ours(forwarding_))
            return;
        // Asked of the server instead, the state of a device we hold would
        // end the grab (closing the device releases its grabs).
        downOn_[ev->deviceid].set(keycode, press);
        if (ours(forwarding_))
            return forward(keycode, press);
        held_.push_back(HeldKeyEvent{keycode, press});
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
        downOn_.clear();
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
    } else {
        // Extended for another write: its keystroke goes through our device.
        letTypingDeviceGo();
    }
    limit_.cancel();
    limit_ = scheduler_.after(limitSeconds, [this] { release(); });
    return true;
}

bool X11KeyboardHold::modifierIsDown() {
    if (!available_)
        return false;
    char keys[32] = {};
    XQueryKeymap(x11_.display(), keys);
    const KeyBits modifiers = modifierKeys();
    for (int k = 0; k < 256; ++k) {
        if ((keys[k / 8] & (1 << (k % 8))) != 0 && modifiers.test(k))
            return true;
    }
    return false;
}

void X11KeyboardHold::holdOtherPrograms() {
    if (!holding() || othersWanted_)
        return;
    othersWanted_ = true;
    holdTypingDeviceWhenOurKeysAreOut(kOwnKeysOutLooks);
}

void X11KeyboardHold::holdTypingDeviceWhenOurKeysAreOut(int looksLeft) {
    othersWait_ = Cancel();
    if (!holding() || !othersWanted_)
        return;
    // Grabbed before they went out, our own keys would come back to us.
    if (ownKeysQueued_ && ownKeysQueued_()) {
        if (looksLeft > 0)
            othersWait_ = scheduler_.after(kOwnKeysOutPollSeconds, [this, looksLeft] {
                holdTypingDeviceWhenOurKeysAreOut(looksLeft - 1);
            });
        return;
    }
    grabTypingDevice();
}

void X11KeyboardHold::pasteKeysOut() {
    // Right behind our Ctrl+V on the same connection: no other program's
    // key comes between the two at the server.
    if (holding() && othersWanted_ && typingGrabbed_ < 0)
        grabTypingDevice();
}

void X11KeyboardHold::grabTypingDevice() {
    othersWait_.cancel();
    if (typingGrabbed_ >= 0)
        return;
    const int typing = keyboards().typing;
    if (typing < 0)
        return;
    Display* d = x11_.display();
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_KeyPress);
    XISetMask(bits, XI_KeyRelease);
    XIEventMask mask{typing, static_cast<int>(sizeof bits), bits};
    if (XIGrabDevice(d, typing, x11_.rootWindow(), CurrentTime, None, XIGrabModeAsync,
                     XIGrabModeAsync, False, &mask) != Success) {
        log_.write("[Mivo] input: other programs' keys could not be held");
        return;
    }
    grabbed_.push_back(typing);
    typingGrabbed_ = typing;
    XFlush(d);
    log_.write("[Mivo] input: holding other programs' keys too");
}

void X11KeyboardHold::letTypingDeviceGo() {
    othersWanted_ = false;
    othersWait_.cancel();
    if (typingGrabbed_ < 0)
        return;
    Display* d = x11_.display();
    // What it typed meanwhile is in `held_` already, in its place.
    XSync(d, False);
    x11_.processPending();
    std::erase(grabbed_, typingGrabbed_);
    XIUngrabDevice(d, std::exchange(typingGrabbed_, -1), CurrentTime);
    XFlush(d);
}

void X11KeyboardHold::release() {
    othersWanted_ = false;
    othersWait_.cancel();
    if (!holding())
        return;
    limit_.cancel();
    Display* d = x11_.display();
    // Keys that reached the server before the grab ends are ours to type.
    XSync(d, False);
    x11_.processPending();
    // A keyboard on which the user still holds a modifier stays ours until
    // it is let go, each of its keys typed on as it comes: back on the
    // core keyboard now, its next key would switch the core keyboard over
    // to it, and Qt 5 then takes its modifiers afresh, without the Shift it
    // saw go down on our device.
    const KeyBits modifiers = modifierKeys();
    std::vector<int> keep;
    for (const int id : grabbed_) {
        if (id != typingGrabbed_ && (downOn_[id] & modifiers).any())
            keep.push_back(id);
    }
    ending_ = std::exchange(grabbed_, {});
    typingGrabbed_ = -1;
    for (const int id : ending_) {
        if (std::find(keep.begin(), keep.end(), id) == keep.end())
            XIUngrabDevice(d, id, CurrentTime);
    }
    // And so are those that came while the ungrab was on its way: a release
    // among them must not be missed, or its key would stay down.
    XSync(d, False);
    x11_.processPending();
    ending_.clear();
    remapAgain();
    const auto keys = std::exchange(held_, {});
    keysTypedOn_ += keys.size();
    KeyBits stillDown;
    for (const int id : keep)
        stillDown |= downOn_[id];
    typeOn(keys, stillDown);
    forwarding_ = keep;
    XFlush(d);
    if (!forwarding_.empty())
        endForwardingOnceLetGo();
    log_.write("[Mivo] input: the user's keys held " +
               std::to_string(milliseconds(since_, scheduler_.now())) + " ms; " +
               std::to_string(keys.size()) + " key events typed on");
}

void X11KeyboardHold::forward(unsigned char keycode, bool down) {
    Display* d = x11_.display();
    XTestFakeKeyEvent(d, keycode, down ? True : False, CurrentTime);
    XFlush(d);
    if (!down)
        endForwardingOnceLetGo();
}

void X11KeyboardHold::endForwardingOnceLetGo() {
    for (const int id : forwarding_) {
        if (downOn_[id].any())
            return;
    }
    Display* d = x11_.display();
    for (const int id : std::exchange(forwarding_, {}))
        XIUngrabDevice(d, id, CurrentTime);
    // What they left down on our device came up as they were let go.
    standIns_.clear();
    XFlush(d);
}

void X11KeyboardHold::typeOn(const std::vector<HeldKeyEvent>& keys, const KeyBits& stillHeld) {
    if (keys.empty())
        return;
    Display* d = x11_.display();
    const Keyboards devices = keyboards();
    KeysDownNow now;
    now.user = keysDownOn(devices.user) | stillHeld;
    if (devices.typing >= 0)
        now.typing = keysDownOn({devices.typing});
    char master[32] = {};
    XQueryKeymap(d, master);
    for (int k = 0; k < 256; ++k)
        now.application.set(k, (master[k / 8] & (1 << (k % 8))) != 0);
    const HeldKeyReplay replay = planHeldKeyReplay(keys, modifierKeys(), now);
    for (const HeldKeyEvent& key : replay.events)
        XTestFakeKeyEvent(d, key.keycode, key.down ? True : False, CurrentTime);
    for (const unsigned char keycode : replay.standIns) {
        if (std::find(standIns_.begin(), standIns_.end(), keycode) == standIns_.end())
            standIns_.push_back(keycode);
    }
    // Those of a keyboard still ours come up as its keys are typed on.
    if (!standIns_.empty() && !standInWatch_ && stillHeld.none())
        watchStandIns();
}

void X11KeyboardHold::watchStandIns() {
    standInWatch_ = scheduler_.after(kStandInPollSeconds, [this] {
        standInWatch_ = Cancel();
        const KeyBits user = keysDownOn(userKeyboards());
        Display* d = x11_.display();
        // Up on the user's keyboard means up for the applications too; the
        // XTest device's own release then reaches none of them.
        std::erase_if(standIns_, [&](unsigned char keycode) {
            if (user.test(keycode))
                return false;
            XTestFakeKeyEvent(d, keycode, False, CurrentTime);
            return true;
        });
        XFlush(d);
        if (!standIns_.empty())
            watchStandIns();
    });
}

KeyBits X11KeyboardHold::modifierKeys() {
    KeyBits bits;
    XModifierKeymap* map = XGetModifierMapping(x11_.display());
    if (map == nullptr)
        return bits;
    const int count = 8 * map->max_keypermod;
    for (int i = 0; i < count; ++i) {
        if (map->modifiermap[i] != 0)
            bits.set(map->modifiermap[i]);
    }
    XFreeModifiermap(map);
    return bits;
}

KeyBits X11KeyboardHold::keysDownOn(const std::vector<int>& ids) {
    Display* d = x11_.display();
    KeyBits down;
    for (const int id : ids) {
        XDevice* device = XOpenDevice(d, static_cast<XID>(id));
        if (device == nullptr)
            continue;
        if (XDeviceState* state = XQueryDeviceState(d, device); state != nullptr) {
            auto* c = reinterpret_cast<XInputClass*>(state->data);
            for (int i = 0; i < state->num_classes; ++i) {
                if (c->c_class == KeyClass) {
                    const auto* keys = reinterpret_cast<XKeyState*>(c);
                    for (int k = 0; k < 256; ++k) {
                        if ((keys->keys[k / 8] & (1 << (k % 8))) != 0)
                            down.set(k);
                    }
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
