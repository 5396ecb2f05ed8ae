#pragma once

// The system-wide shortcut that opens the rewrite panel (⌘⇧J unless the user
// chose another). Each press calls `onPressed` in a later turn of the main
// loop.
//
// Between start() and stop() the shortcut is wanted: a refused registration
// leaves nothing registered, but a later configure() registers the new
// combination at once, so that the user's next choice (or the previous
// shortcut put back after a refusal) works without a restart.

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/hot_keys.hpp"
#include "platform/log.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

class ToneHotKey {
  public:
    ToneHotKey(HotKeys& hotKeys, Scheduler& scheduler, Log& log);
    ~ToneHotKey();
    ToneHotKey(const ToneHotKey&) = delete;
    ToneHotKey& operator=(const ToneHotKey&) = delete;

    // Registers the shortcut; true when it is registered (also when it
    // already was). False when the system refused it.
    bool start();
    // Stores a new shortcut. Before start() (or after stop()) that is all,
    // and the answer is true. Once started, the old shortcut is dropped and
    // the new one registered: false when the system refused it, and then no
    // shortcut is registered.
    bool configure(uint32_t keyCode, uint32_t modifiers);
    // Unregisters; does nothing when nothing was started.
    void stop();

    uint32_t keyCode() const { return keyCode_; }

    std::function<void()> onPressed;

  private:
    bool registerCurrent();

    HotKeys& hotKeys_;
    Scheduler& scheduler_;
    Log& log_;
    std::unique_ptr<HotKeyRegistration> registration_;
    uint32_t keyCode_ = 38;         // J
    uint32_t modifierFlags_ = 768;  // Command + Shift
    bool started_ = false;
    // Presses already queued when this object goes away find it gone.
    std::shared_ptr<ToneHotKey*> self_;
};

}  // namespace mivo
