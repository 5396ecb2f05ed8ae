#include "platform/linux/x11/x11_input_hold.hpp"

// The keys of a hold: what the keyboards and the applications have down,
// the held events posted, a keyboard kept past the hold typed on, and the
// modifiers left down for the user let up once the user lets them go.

// Qt before Xlib: Xlib's macros (None, Bool, Status) break Qt's headers.
#include "platform/linux/x11/x11_connection.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <algorithm>

namespace mivo::linux_desktop {
namespace {

// How often a modifier left down for the user is looked at.
constexpr double kStandInPollSeconds = 0.05;

}  // namespace

bool X11InputHold::modifierIsDown() {
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

void X11InputHold::forward(unsigned char keycode, bool down) {
    Display* d = x11_.display();
    // A hold taken meanwhile (the next Apply) holds our XTest keyboard too.
    postOwn([&] { XTestFakeKeyEvent(d, keycode, down ? True : False, CurrentTime); });
    XFlush(d);
    if (!down)
        endForwardingOnceLetGo();
}

void X11InputHold::endForwardingOnceLetGo() {
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

void X11InputHold::post(const std::vector<HeldEvent>& events) {
    Display* d = x11_.display();
    for (const HeldEvent& event : events) {
        if (const auto* key = std::get_if<HeldKeyEvent>(&event)) {
            XTestFakeKeyEvent(d, key->keycode, key->down ? True : False, CurrentTime);
            continue;
        }
        const auto& pointer = std::get<HeldPointerEvent>(event);
        XTestFakeMotionEvent(d, -1, pointer.x, pointer.y, CurrentTime);
        if (pointer.button > 0)
            XTestFakeButtonEvent(d, static_cast<unsigned int>(pointer.button),
                                 pointer.down ? True : False, CurrentTime);
    }
}

KeysDownNow X11InputHold::keysDownNow() {
    KeysDownNow now;
    if (const Devices all = devices(); all.typing >= 0)
        now.typing = keysDownOn({all.typing});
    char master[32] = {};
    XQueryKeymap(x11_.display(), master);
    for (int k = 0; k < 256; ++k)
        now.application.set(k, (master[k / 8] & (1 << (k % 8))) != 0);
    return now;
}

void X11InputHold::watchStandIns() {
    standInWatch_ = scheduler_.after(kStandInPollSeconds, [this] {
        standInWatch_ = Cancel();
        const KeyBits user = keysDownOn(devices().keyboards);
        Display* d = x11_.display();
        // Up on the user's keyboard means up for the applications too; the
        // XTest device's own release then reaches none of them.
        std::erase_if(standIns_, [&](unsigned char keycode) {
            if (user.test(keycode))
                return false;
            postOwn([&] { XTestFakeKeyEvent(d, keycode, False, CurrentTime); });
            return true;
        });
        XFlush(d);
        if (!standIns_.empty())
            watchStandIns();
    });
}

KeyBits X11InputHold::modifierKeys() {
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

KeyBits X11InputHold::keysDownOn(const std::vector<int>& ids) {
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

void X11InputHold::keymapChanged(unsigned char keycode) {
    if (!grabbed_.empty())
        remapped_.insert(keycode);
}

void X11InputHold::remapAgain() {
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
