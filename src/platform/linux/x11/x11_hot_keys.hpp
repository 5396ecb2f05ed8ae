#pragma once

// System-wide shortcuts on X11: a passive grab of the key on the root
// window, once for each combination of the lock modifiers (Caps Lock, Num
// Lock) so that the shortcut works whichever of them is on. The X server
// gives a combination to one client at most; a grab another client holds
// answers BadAccess, which is a refusal.

#include <memory>

#include "platform/cancel.hpp"
#include "platform/hot_keys.hpp"

namespace mivo::linux_desktop {

class X11Connection;

class X11HotKeys : public HotKeys {
  public:
    explicit X11HotKeys(X11Connection& x11);
    ~X11HotKeys() override;
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    std::expected<std::unique_ptr<HotKeyRegistration>, HotKeyRefusal> registerHotKey(
        const HotKeyConfig& config, PressedHandler onPressed) override;

    struct State;

  private:
    std::shared_ptr<State> state_;
    Cancel listening_;
};

}  // namespace mivo::linux_desktop
