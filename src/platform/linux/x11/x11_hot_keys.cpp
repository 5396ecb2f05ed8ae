#include "platform/linux/x11/x11_hot_keys.hpp"

// Qt before Xlib: Xlib's macros (None, Bool, Status) break Qt's headers.
#include "platform/linux/x11/x11_connection.hpp"

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <vector>

#include "platform/linux/x11/x11_key_table.hpp"

namespace mivo::linux_desktop {

struct X11HotKeys::State {
    struct Grab {
        unsigned int keycode = 0;
        unsigned int modifiers = 0;
        PressedHandler handler;
    };

    Display* display = nullptr;  // null once the owner is gone
    Window root = 0;
    unsigned int numLockMask = Mod2Mask;
    std::vector<std::shared_ptr<Grab>> grabs;

    std::array<unsigned int, 4> lockVariants() const {
        return {0u, static_cast<unsigned int>(LockMask), numLockMask,
                static_cast<unsigned int>(LockMask) | numLockMask};
    }

    void ungrab(const Grab& grab) {
        for (unsigned int lock : lockVariants())
            XUngrabKey(display, static_cast<int>(grab.keycode), grab.modifiers | lock, root);
        XFlush(display);
    }
};

namespace {

// The first error of a key grab, caught while the grab is synchronised. The
// handler is the process's for that moment only, on the main thread.
Display* gGrabbingDisplay = nullptr;
int gGrabError = Success;

int catchGrabError(Display* display, XErrorEvent* error) {
    if (display == gGrabbingDisplay && error->request_code == X_GrabKey && gGrabError == Success)
        gGrabError = error->error_code;
    return 0;
}

// The modifier bit the Num Lock key sets; Mod2 where the keyboard does not
// say.
unsigned int findNumLockMask(Display* display) {
    unsigned int mask = 0;
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    if (XModifierKeymap* map = XGetModifierMapping(display)) {
        for (int modifier = 0; modifier < 8 && numLock != 0; ++modifier) {
            for (int k = 0; k < map->max_keypermod; ++k) {
                if (map->modifiermap[modifier * map->max_keypermod + k] == numLock)
                    mask = 1u << modifier;
            }
        }
        XFreeModifiermap(map);
    }
    return mask != 0 ? mask : static_cast<unsigned int>(Mod2Mask);
}

class X11Registration : public HotKeyRegistration {
  public:
    X11Registration(std::weak_ptr<X11HotKeys::State> state,
                    std::shared_ptr<X11HotKeys::State::Grab> grab)
        : state_(std::move(state)), grab_(std::move(grab)) {}

    ~X11Registration() override {
        auto state = state_.lock();
        if (!state || state->display == nullptr)
            return;
        state->ungrab(*grab_);
        std::erase(state->grabs, grab_);
    }

    GrabbedKey grabbed() const override { return {grab_->keycode, grab_->modifiers}; }

  private:
    std::weak_ptr<X11HotKeys::State> state_;
    std::shared_ptr<X11HotKeys::State::Grab> grab_;
};

}  // namespace

X11HotKeys::X11HotKeys(X11Connection& x11) : state_(std::make_shared<State>()) {
    state_->display = x11.display();
    state_->root = x11.rootWindow();
    state_->numLockMask = findNumLockMask(state_->display);
    listening_ = x11.listen([weak = std::weak_ptr(state_)](XEvent& event) {
        auto state = weak.lock();
        if (!state || event.type != KeyPress)
            return;
        // Only the eight modifier bits, without the lock keys, name the
        // combination (the higher bits carry the keyboard group).
        const unsigned int modifiers =
            event.xkey.state & 0xFFu & ~(static_cast<unsigned int>(LockMask) | state->numLockMask);
        // A handler may unregister while it runs: look at a copy.
        const auto grabs = state->grabs;
        for (const auto& grab : grabs) {
            if (grab->keycode == event.xkey.keycode && grab->modifiers == modifiers &&
                grab->handler)
                grab->handler();
        }
    });
}

X11HotKeys::~X11HotKeys() {
    listening_.cancel();
    for (const auto& grab : state_->grabs)
        state_->ungrab(*grab);
    state_->grabs.clear();
    state_->display = nullptr;
}

std::expected<std::unique_ptr<HotKeyRegistration>, HotKeyRefusal> X11HotKeys::registerHotKey(
    const HotKeyConfig& config, PressedHandler onPressed) {
    State& s = *state_;
    const auto keysym = keysymForVirtualKey(config.keyCode);
    const KeyCode keycode = keysym ? XKeysymToKeycode(s.display, *keysym) : 0;
    if (keycode == 0)
        return std::unexpected(HotKeyRefusal::unknownKey);
    const unsigned int modifiers = x11ModifiersForMask(config.carbonModifiers);
    // A second grab of ours would silently replace the first, and dropping
    // either would end both.
    if (std::any_of(s.grabs.begin(), s.grabs.end(), [&](const auto& g) {
            return g->keycode == keycode && g->modifiers == modifiers;
        }))
        return std::unexpected(HotKeyRefusal::heldElsewhere);

    XSync(s.display, False);  // errors of earlier requests are not ours
    gGrabbingDisplay = s.display;
    gGrabError = Success;
    const auto previous = XSetErrorHandler(catchGrabError);
    for (unsigned int lock : s.lockVariants())
        XGrabKey(s.display, keycode, modifiers | lock, s.root, True, GrabModeAsync, GrabModeAsync);
    XSync(s.display, False);
    XSetErrorHandler(previous);
    gGrabbingDisplay = nullptr;

    auto grab =
        std::make_shared<State::Grab>(State::Grab{keycode, modifiers, std::move(onPressed)});
    if (gGrabError != Success) {
        // Give back the variants that were granted: half a shortcut would
        // work only with some lock keys on.
        s.ungrab(*grab);
        XSync(s.display, False);
        return std::unexpected(gGrabError == BadAccess ? HotKeyRefusal::heldElsewhere
                                                       : HotKeyRefusal::unknownKey);
    }
    s.grabs.push_back(grab);
    return std::make_unique<X11Registration>(state_, std::move(grab));
}

}  // namespace mivo::linux_desktop
