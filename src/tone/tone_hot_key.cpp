#include "tone/tone_hot_key.hpp"

#include <string>

namespace mivo {

ToneHotKey::ToneHotKey(HotKeys& hotKeys, Scheduler& scheduler, Log& log)
    : hotKeys_(hotKeys),
      scheduler_(scheduler),
      log_(log),
      self_(std::make_shared<ToneHotKey*>(this)) {}

ToneHotKey::~ToneHotKey() {
    stop();
}

bool ToneHotKey::start() {
    started_ = true;
    if (registration_)
        return true;
    return registerCurrent();
}

bool ToneHotKey::configure(uint32_t keyCode, uint32_t modifiers) {
    keyCode_ = keyCode;
    modifierFlags_ = modifiers;
    if (!started_)
        return true;
    registration_.reset();
    return registerCurrent();
}

void ToneHotKey::stop() {
    started_ = false;
    registration_.reset();
}

bool ToneHotKey::registerCurrent() {
    const HotKeyConfig config{keyCode_, modifierFlags_, {}};
    auto registered = hotKeys_.registerHotKey(config, [this, weak = std::weak_ptr(self_)] {
        // The press is handled in a later turn, never inside the system's
        // event dispatch; one queued just before stop() is dropped.
        scheduler_.after(0, [weak] {
            if (auto self = weak.lock(); self && (*self)->started_ && (*self)->onPressed)
                (*self)->onPressed();
        });
    });
    if (!registered) {
        log_.write(std::string("[Mivo][Tone] XGrabKey failed: ") + x11Name(registered.error()));
        return false;
    }
    registration_ = std::move(*registered);
    // In X's own numbers, which xev and xmodmap show the user.
    const GrabbedKey grab = registration_->grabbed();
    log_.write("[Mivo][Tone] Registered system hotkey (keycode=" + std::to_string(grab.keycode) +
               " modifiers=" + std::to_string(grab.modifiers) + ")");
    return true;
}

}  // namespace mivo
