#include "platform/linux/x11/x11_input_hold.hpp"

// Qt before Xlib: Xlib's macros (None, Bool, Status) break Qt's headers.
#include "platform/linux/x11/x11_connection.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

namespace mivo::linux_desktop {
namespace {

// The X server names a master's XTest devices after the master: "Virtual
// core keyboard" types through "Virtual core XTEST keyboard", "Virtual
// core pointer" clicks through "Virtual core XTEST pointer".
std::string xtestDeviceOf(std::string_view master, std::string_view kind) {
    const std::string suffix = " " + std::string(kind);
    if (master.ends_with(suffix))
        master.remove_suffix(suffix.size());
    return std::string(master) + " XTEST " + std::string(kind);
}

// How often the pointer's buttons are looked at until they are up, so
// that the pointer is held right after the release of Apply's click.
constexpr double kButtonsUpPollSeconds = 0.004;

int milliseconds(TimePoint from, TimePoint to) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

bool among(const std::vector<int>& devices, int id) {
    return std::find(devices.begin(), devices.end(), id) != devices.end();
}

bool isDeviceInput(int evtype) {
    return evtype == XI_KeyPress || evtype == XI_KeyRelease || evtype == XI_ButtonPress ||
           evtype == XI_ButtonRelease || evtype == XI_Motion;
}

}  // namespace

X11InputHold::X11InputHold(X11Connection& x11, Scheduler& scheduler, Log& log)
    : x11_(x11), scheduler_(scheduler), log_(log), replay_(scheduler) {
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

X11InputHold::~X11InputHold() {
    replay_.stop();
    limit_.cancel();
    buttonsUp_.cancel();
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

X11InputHold::Devices X11InputHold::devices() {
    Display* d = x11_.display();
    int pointer = 0;
    if (XIGetClientPointer(d, None, &pointer) == 0)
        return {};
    int count = 0;
    XIDeviceInfo* all = XIQueryDevice(d, XIAllDevices, &count);
    if (all == nullptr)
        return {};
    const auto info = [&](int id) -> const XIDeviceInfo* {
        for (int i = 0; i < count; ++i) {
            if (all[i].deviceid == id)
                return &all[i];
        }
        return nullptr;
    };
    Devices devices;
    const XIDeviceInfo* masterPointer = info(pointer);
    const XIDeviceInfo* masterKeyboard = nullptr;
    if (masterPointer != nullptr && masterPointer->use == XIMasterPointer)
        masterKeyboard = info(masterPointer->attachment);
    if (masterKeyboard != nullptr && masterKeyboard->use == XIMasterKeyboard) {
        const std::string typing = xtestDeviceOf(masterKeyboard->name, "keyboard");
        const std::string clicking = xtestDeviceOf(masterPointer->name, "pointer");
        for (int i = 0; i < count; ++i) {
            const XIDeviceInfo& dev = all[i];
            if (!dev.enabled)
                continue;
            if (dev.use == XISlaveKeyboard && dev.attachment == masterKeyboard->deviceid) {
                if (typing == dev.name)
                    devices.typing = dev.deviceid;
                else
                    devices.keyboards.push_back(dev.deviceid);
            } else if (dev.use == XISlavePointer && dev.attachment == masterPointer->deviceid) {
                if (clicking == dev.name)
                    devices.clicking = dev.deviceid;
                else
                    devices.pointers.push_back(dev.deviceid);
            }
        }
    }
    XIFreeDeviceInfo(all);
    return devices;
}

bool X11InputHold::anyKeyDown() {
    char keys[32] = {};
    XQueryKeymap(x11_.display(), keys);
    return std::any_of(std::begin(keys), std::end(keys), [](char k) { return k != 0; });
}

std::optional<X11InputHold::PointerNow> X11InputHold::pointerNow() {
    Window root = 0;
    Window child = 0;
    PointerNow now;
    int x = 0;
    int y = 0;
    if (XQueryPointer(x11_.display(), x11_.rootWindow(), &root, &child, &now.x, &now.y, &x, &y,
                      &now.mask) == 0)
        return std::nullopt;
    return now;
}

bool X11InputHold::anyButtonDown() {
    const auto now = pointerNow();
    return now &&
           (now->mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask)) != 0;
}

bool X11InputHold::listen() {
    if (listening_)
        return true;
    listening_ = x11_.listen([this](XEvent& e) {
        if (e.type == GenericEvent && e.xcookie.extension == xiOpcode_ && e.xcookie.data != nullptr)
            takeEvent(e);
    });
    return true;
}

void X11InputHold::takeQueuedInput() {
    Display* d = x11_.display();
    XSync(d, False);
    // Only the input of our grabs is taken off the queue: every other event
    // waits for the loop, whose listeners may call applications that wait
    // for the X server we hold.
    const auto ours = [](Display*, XEvent* e, XPointer opcode) -> Bool {
        return e->type == GenericEvent && e->xcookie.extension == *reinterpret_cast<int*>(opcode) &&
               isDeviceInput(e->xcookie.evtype);
    };
    XEvent e;
    while (XCheckIfEvent(d, &e, ours, reinterpret_cast<XPointer>(&xiOpcode_)) != 0) {
        if (XGetEventData(d, &e.xcookie) == 0)
            continue;
        takeEvent(e);
        XFreeEventData(d, &e.xcookie);
    }
}

void X11InputHold::takeEvent(const XEvent& e) {
    if (!isDeviceInput(e.xcookie.evtype))
        return;
    const auto* ev = static_cast<const XIDeviceEvent*>(e.xcookie.data);
    take(e.xcookie.evtype, ev->deviceid, ev->detail, ev->root_x, ev->root_y);
}

void X11InputHold::take(int type, int device, int detail, double x, double y) {
    const bool key = type == XI_KeyPress || type == XI_KeyRelease;
    const bool button = type == XI_ButtonPress || type == XI_ButtonRelease;
    if (!among(grabbed_, device) && !among(ending_, device) && !among(forwarding_, device))
        return;
    if (!key) {
        const HeldPointerEvent pointer{button ? detail : 0, type == XI_ButtonPress,
                                       static_cast<int>(std::lround(x)),
                                       static_cast<int>(std::lround(y))};
        // Only where a move ended matters: the next click's place, or where
        // the pointer is left.
        if (!button && !held_.empty()) {
            if (auto* last = std::get_if<HeldPointerEvent>(&held_.back());
                last != nullptr && last->button == 0) {
                *last = pointer;
                return;
            }
        }
        held_.emplace_back(pointer);
        return;
    }
    const auto keycode = static_cast<unsigned char>(detail);
    const bool press = type == XI_KeyPress;
    // Asked of the server instead, the state of a device we hold would end
    // the grab (closing the device releases its grabs).
    downOn_[device].set(keycode, press);
    if (among(forwarding_, device))
        return forward(keycode, press);
    held_.emplace_back(HeldKeyEvent{keycode, press});
}

bool X11InputHold::grab(int device, bool pointer) {
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (pointer) {
        XISetMask(bits, XI_ButtonPress);
        XISetMask(bits, XI_ButtonRelease);
        XISetMask(bits, XI_Motion);
    } else {
        XISetMask(bits, XI_KeyPress);
        XISetMask(bits, XI_KeyRelease);
    }
    XIEventMask mask{device, static_cast<int>(sizeof bits), bits};
    return XIGrabDevice(x11_.display(), device, x11_.rootWindow(), CurrentTime, None,
                        XIGrabModeAsync, XIGrabModeAsync, False, &mask) == Success;
}

bool X11InputHold::hold(double limitSeconds) {
    if (!available_)
        return false;
    if (!holding_ && replay_.running()) {
        // Still sending on what the last hold held: every device is still
        // ours, and what is left of it stays held, ahead of what comes now.
        replay_.stop();
        holding_ = true;
        log_.write("[Mivo] input: holding every device again before all was sent on");
    }
    if (!holding_) {
        const TimePoint asked = scheduler_.now();
        // A key held down now would come up while its keyboard floats and
        // stay down for the applications.
        if (anyKeyDown()) {
            log_.write("[Mivo] input: a key is down; the keyboard is not held");
            return false;
        }
        listen();
        downOn_.clear();
        const Devices all = devices();
        for (const int id : all.keyboards) {
            if (grab(id, false))
                grabbed_.push_back(id);
        }
        if (grabbed_.empty()) {
            log_.write("[Mivo] input: the keyboard could not be held");
            return false;
        }
        if (all.typing >= 0 && grab(all.typing, false)) {
            grabbed_.push_back(all.typing);
            typingGrabbed_ = all.typing;
        }
        since_ = scheduler_.now();
        char took[32];
        std::snprintf(took, sizeof took, "%.1f",
                      std::chrono::duration<double, std::milli>(since_ - asked).count());
        log_.write("[Mivo] input: holding the keyboards (" + std::to_string(grabbed_.size()) +
                   ", grabbed in " + took + " ms)");
        holding_ = true;
        holdPointersOnceButtonsAreUp();
    }
    limit_.cancel();
    until_ = scheduler_.now() + seconds(limitSeconds);
    limit_ = scheduler_.after(limitSeconds, [this] { release(); });
    return true;
}

void X11InputHold::holdPointersOnceButtonsAreUp() {
    buttonsUp_ = Cancel();
    if (!holding() || !pointers_.empty())
        return;
    // Grabbed now, the release of Apply's click would come to us, and the
    // button would never see it.
    if (anyButtonDown()) {
        buttonsUp_ =
            scheduler_.after(kButtonsUpPollSeconds, [this] { holdPointersOnceButtonsAreUp(); });
        return;
    }
    grabPointers();
}

void X11InputHold::grabPointers() {
    Display* d = x11_.display();
    if (const auto now = pointerNow())
        pointerAtGrab_ = std::pair{now->x, now->y};
    const Devices all = devices();
    for (const int id : all.pointers) {
        if (grab(id, true))
            pointers_.push_back(id);
    }
    if (all.clicking >= 0 && grab(all.clicking, true)) {
        pointers_.push_back(all.clicking);
        clickingGrabbed_ = all.clicking;
    }
    grabbed_.insert(grabbed_.end(), pointers_.begin(), pointers_.end());
    XFlush(d);
    log_.write("[Mivo] input: holding the pointers (" + std::to_string(pointers_.size()) +
               ") from " + std::to_string(milliseconds(since_, scheduler_.now())) + " ms");
}

void X11InputHold::postOwn(const std::function<void()>& post, bool pointer) {
    std::vector<int> own;
    if (typingGrabbed_ >= 0)
        own.push_back(typingGrabbed_);
    if (clickingGrabbed_ >= 0)
        own.push_back(clickingGrabbed_);
    if (own.empty()) {
        post();
        return;
    }
    Display* d = x11_.display();
    // No other client is heard until the grabs are back: nothing of theirs
    // comes between our events, nor reaches an application meanwhile.
    XGrabServer(d);
    for (const int id : own)
        XIUngrabDevice(d, id, CurrentTime);
    post();
    ownPointerMoved_ = ownPointerMoved_ || pointer;
    for (const int id : own) {
        if (!grab(id, id == clickingGrabbed_)) {
            std::erase(grabbed_, id);
            std::erase(pointers_, id);
            (id == typingGrabbed_ ? typingGrabbed_ : clickingGrabbed_) = -1;
            log_.write("[Mivo] input: an XTest device could not be held again");
        }
    }
    XUngrabServer(d);
    XFlush(d);
}

void X11InputHold::release() {
    end(true);
}

int X11InputHold::releaseKeepingKeysOut() {
    return end(false);
}

int X11InputHold::end(bool typeKeys) {
    buttonsUp_.cancel();
    if (!holding_)
        return 0;
    int keptOut = 0;
    if (!typeKeys) {
        // What reached the server so far is held, and its keys are dropped;
        // a modifier's press and release still go, so that none stays down.
        XSync(x11_.display(), False);
        x11_.processPending();
        const KeyBits modifiers = modifierKeys();
        std::erase_if(held_, [&](const HeldEvent& e) {
            const auto* key = std::get_if<HeldKeyEvent>(&e);
            if (key == nullptr || modifiers.test(key->keycode))
                return false;
            keptOut += key->down ? 1 : 0;
            return true;
        });
        log_.write("[Mivo] input: " + std::to_string(keptOut) + " held key presses kept out");
    }
    holding_ = false;
    limit_.cancel();
    sendingSince_ = scheduler_.now();
    // The devices stay ours until everything is sent on: what comes
    // meanwhile is held behind it. Never past the hold's own bound.
    replay_.start([this] { return nextStep(); }, [this] { letGo(); },
                  std::max(until_, scheduler_.now()));
    return keptOut;
}

std::optional<PacedReplay::Step> X11InputHold::nextStep() {
    Display* d = x11_.display();
    XSync(d, False);
    x11_.processPending();
    if (held_.empty())
        return std::nullopt;
    // A step ends with a click's release: the window manager may take the
    // press first and let it on to the application only once it has looked
    // at it, and keys or a move sent meanwhile would overtake it.
    const auto release = std::find_if(held_.begin(), held_.end(), [](const HeldEvent& e) {
        const auto* p = std::get_if<HeldPointerEvent>(&e);
        return p != nullptr && p->button > 0 && !p->down;
    });
    const int button = release == held_.end() ? 0 : std::get<HeldPointerEvent>(*release).button;
    const auto end = release == held_.end() ? release : std::next(release);
    std::vector<HeldEvent> part(held_.begin(), end);
    held_.erase(held_.begin(), end);
    ++steps_;
    PacedReplay::Step step;
    step.send = [this, part = std::move(part)] { sendOn(part); };
    if (button > 0)
        step.taken = [this, button] { return !buttonDown(button); };
    return step;
}

void X11InputHold::sendOn(std::span<const HeldEvent> held) {
    note(held);
    // Our XTest devices are let go for it, and so the typing one can be
    // asked what it has down.
    postOwn([&] {
        if (!plan_)
            plan_.emplace(keysDownNow());
        post(plan_->next(held));
    });
}

void X11InputHold::letGo() {
    Display* d = x11_.display();
    // Events that reached the server before the grabs end are ours to send.
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
        if (id != typingGrabbed_ && !among(pointers_, id) && (downOn_[id] & modifiers).any())
            keep.push_back(id);
    }
    // Until everything held is sent on, no other client is heard: another
    // program's key would otherwise come before the held ones.
    XGrabServer(d);
    ending_ = std::exchange(grabbed_, {});
    typingGrabbed_ = -1;
    clickingGrabbed_ = -1;
    pointers_.clear();
    for (const int id : ending_) {
        if (!among(keep, id))
            XIUngrabDevice(d, id, CurrentTime);
    }
    // And so are those that came while the ungrab was on its way: a release
    // among them must not be missed, or its key would stay down.
    takeQueuedInput();
    ending_.clear();
    remapAgain();
    auto events = std::exchange(held_, {});
    note(events);
    // Where our own events left the pointer, it goes back where the user
    // had it (a click held sends it where that click was anyway).
    if (ownPointerMoved_ && pointerAtGrab_ && !pointerSentOn_)
        events.emplace_back(
            HeldPointerEvent{0, false, pointerAtGrab_->first, pointerAtGrab_->second});
    ownPointerMoved_ = false;
    pointerAtGrab_.reset();
    if (plan_ || !events.empty()) {
        KeyBits stillDown;
        for (const int id : keep)
            stillDown |= downOn_[id];
        if (!plan_)
            plan_.emplace(keysDownNow());
        std::vector<HeldEvent> last = plan_->next(events);
        const HeldKeyReplay rest =
            plan_->finish(modifiers, keysDownOn(devices().keyboards) | stillDown);
        last.insert(last.end(), rest.events.begin(), rest.events.end());
        post(last);
        for (const unsigned char keycode : rest.standIns) {
            if (std::find(standIns_.begin(), standIns_.end(), keycode) == standIns_.end())
                standIns_.push_back(keycode);
        }
        // Those of a keyboard still ours come up as its keys are typed on.
        if (!standIns_.empty() && !standInWatch_ && stillDown.none())
            watchStandIns();
        plan_.reset();
    }
    XUngrabServer(d);
    forwarding_ = keep;
    XFlush(d);
    if (!forwarding_.empty())
        endForwardingOnceLetGo();
    const TimePoint now = scheduler_.now();
    std::string steps;
    if (steps_ > 1)
        steps = " in " + std::to_string(steps_) + " steps over " +
                std::to_string(milliseconds(sendingSince_, now)) + " ms";
    log_.write("[Mivo] input: every device held " + std::to_string(milliseconds(since_, now)) +
               " ms; " + std::to_string(sentOn_) + " events sent on" + steps + lastClick_);
    sentOn_ = 0;
    steps_ = 0;
    pointerSentOn_ = false;
    lastClick_.clear();
}

void X11InputHold::note(std::span<const HeldEvent> held) {
    for (const HeldEvent& e : held) {
        ++sentOn_;
        if (const auto* p = std::get_if<HeldPointerEvent>(&e)) {
            pointerSentOn_ = true;
            if (p->down)
                lastClick_ = " (the last click at " + std::to_string(p->x) + "," +
                             std::to_string(p->y) + ")";
        } else
            ++keysTypedOn_;
    }
}

bool X11InputHold::buttonDown(int button) {
    const auto now = pointerNow();
    return now && button >= 1 && button <= 5 && (now->mask & (Button1Mask << (button - 1))) != 0;
}

}  // namespace mivo::linux_desktop
