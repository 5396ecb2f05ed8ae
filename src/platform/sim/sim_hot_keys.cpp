#include "platform/sim/sim_hot_keys.hpp"

namespace mivo::sim {
namespace {

// The simulated X server's keyboard: a US layout on evdev keycodes, for the
// keys the tests register (J, K, L, Space); others have keycode 0.
GrabbedKey xGrabOf(uint32_t keyCode, uint32_t carbonModifiers) {
    static constexpr std::pair<uint32_t, unsigned int> kKeycodes[] = {
        {38, 44}, {40, 45}, {37, 46}, {49, 65}};
    static constexpr std::pair<uint32_t, unsigned int> kModifiers[] = {
        {HotKeyConfig::shiftMask, 1},
        {HotKeyConfig::controlMask, 4},
        {HotKeyConfig::optionMask, 8},
        {HotKeyConfig::commandMask, 64}};
    GrabbedKey grab;
    for (const auto& [stored, x11] : kKeycodes)
        if (stored == keyCode)
            grab.keycode = x11;
    for (const auto& [stored, x11] : kModifiers)
        if ((carbonModifiers & stored) != 0)
            grab.modifiers |= x11;
    return grab;
}

class SimRegistration : public HotKeyRegistration {
  public:
    explicit SimRegistration(std::shared_ptr<SimHotKeys::Entry> entry) : entry_(std::move(entry)) {}
    ~SimRegistration() override { entry_->alive = false; }

    GrabbedKey grabbed() const override { return xGrabOf(entry_->keyCode, entry_->modifiers); }

  private:
    std::shared_ptr<SimHotKeys::Entry> entry_;
};

}  // namespace

std::expected<std::unique_ptr<HotKeyRegistration>, HotKeyRefusal> SimHotKeys::registerHotKey(
    const HotKeyConfig& config, PressedHandler onPressed) {
    ++attempts_;
    const std::pair combination{config.keyCode, config.carbonModifiers};
    if (heldElsewhere_.contains(combination))
        return std::unexpected(HotKeyRefusal::heldElsewhere);
    // The system refuses a second registration of a combination, even by
    // the same process.
    for (const auto& [keyCode, modifiers] : registered()) {
        if (std::pair{keyCode, modifiers} == combination)
            return std::unexpected(HotKeyRefusal::heldElsewhere);
    }
    auto entry = std::make_shared<Entry>(
        Entry{config.keyCode, config.carbonModifiers, std::move(onPressed), true});
    std::erase_if(entries_, [](const auto& w) {
        auto e = w.lock();
        return !e || !e->alive;
    });
    entries_.push_back(entry);
    return std::make_unique<SimRegistration>(std::move(entry));
}

int SimHotKeys::press(uint32_t keyCode, uint32_t carbonModifiers) {
    // A handler may unregister while it runs: look at a copy.
    std::vector<std::shared_ptr<Entry>> hit;
    for (const auto& w : entries_) {
        if (auto e = w.lock();
            e && e->alive && e->keyCode == keyCode && e->modifiers == carbonModifiers)
            hit.push_back(std::move(e));
    }
    for (const auto& e : hit) {
        if (e->alive && e->handler)
            e->handler();
    }
    return static_cast<int>(hit.size());
}

void SimHotKeys::holdElsewhere(uint32_t keyCode, uint32_t carbonModifiers, bool held) {
    if (held)
        heldElsewhere_.insert({keyCode, carbonModifiers});
    else
        heldElsewhere_.erase({keyCode, carbonModifiers});
}

std::vector<std::pair<uint32_t, uint32_t>> SimHotKeys::registered() const {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (const auto& w : entries_) {
        if (auto e = w.lock(); e && e->alive)
            out.emplace_back(e->keyCode, e->modifiers);
    }
    return out;
}

}  // namespace mivo::sim
