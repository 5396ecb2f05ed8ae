#pragma once

// Shortcuts on the simulated desktop: the test presses key combinations and
// decides which ones other applications hold.

#include <cstdint>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "platform/hot_keys.hpp"

namespace mivo::sim {

class SimHotKeys : public HotKeys {
  public:
    std::expected<std::unique_ptr<HotKeyRegistration>, HotKeyRefusal> registerHotKey(
        const HotKeyConfig& config, PressedHandler onPressed) override;

    // The user presses the combination; answers how many handlers heard it.
    int press(uint32_t keyCode, uint32_t carbonModifiers);
    // Another application takes (or gives up) the combination.
    void holdElsewhere(uint32_t keyCode, uint32_t carbonModifiers, bool held = true);

    // The combinations registered now, in order of registration.
    std::vector<std::pair<uint32_t, uint32_t>> registered() const;
    int registrationAttempts() const { return attempts_; }

    struct Entry {
        uint32_t keyCode = 0;
        uint32_t modifiers = 0;
        PressedHandler handler;
        bool alive = true;
    };

  private:
    std::vector<std::weak_ptr<Entry>> entries_;
    std::set<std::pair<uint32_t, uint32_t>> heldElsewhere_;
    int attempts_ = 0;
};

}  // namespace mivo::sim
