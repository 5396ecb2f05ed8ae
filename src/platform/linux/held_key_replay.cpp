#include "platform/linux/held_key_replay.hpp"

namespace mivo::linux_desktop {

std::vector<HeldEvent> HeldReplayPlan::next(std::span<const HeldEvent> held) {
    std::vector<HeldEvent> events;
    for (const HeldEvent& event : held) {
        if (const auto* pointer = std::get_if<HeldPointerEvent>(&event)) {
            const auto b = static_cast<std::size_t>(pointer->button);
            // A release whose press came before the hold was never ours.
            if (pointer->button > 0 && b < buttons_.size()) {
                if (!pointer->down && !buttons_.test(b))
                    continue;
                buttons_.set(b, pointer->down);
            }
            events.push_back(event);
            continue;
        }
        const auto& key = std::get<HeldKeyEvent>(event);
        if (!key.down && !down_.test(key.keycode))
            continue;
        // Still down on the typing device from before, where no application
        // sees it: let it up there first, or the press would count for none.
        // A key the applications see down is another program's to release.
        if (key.down && atStart_.typing.test(key.keycode) && !cleared_.test(key.keycode) &&
            !atStart_.application.test(key.keycode)) {
            events.emplace_back(HeldKeyEvent{key.keycode, false});
            cleared_.set(key.keycode);
        }
        events.push_back(event);
        down_.set(key.keycode, key.down);
    }
    return events;
}

HeldKeyReplay HeldReplayPlan::finish(const KeyBits& modifiers, const KeyBits& userDown) const {
    HeldKeyReplay rest;
    // A modifier the user still holds stays down: its keyboard is back on
    // the master, whose key it releases when it comes up. Released now, a
    // Shift held on would not reach the keys typed after the hold. Any
    // other key comes up at once (it would repeat), and so does a modifier
    // that came up in the moment between the end of the hold and now.
    for (int k = 0; k < 256; ++k) {
        if (!down_.test(k))
            continue;
        const auto keycode = static_cast<unsigned char>(k);
        if (modifiers.test(k) && userDown.test(k))
            rest.standIns.push_back(keycode);
        else
            rest.events.emplace_back(HeldKeyEvent{keycode, false});
    }
    return rest;
}

HeldKeyReplay planHeldKeyReplay(std::span<const HeldEvent> held, const KeyBits& modifiers,
                                const KeysDownNow& now) {
    HeldReplayPlan plan(now);
    std::vector<HeldEvent> events = plan.next(held);
    HeldKeyReplay replay = plan.finish(modifiers, now.user);
    replay.events.insert(replay.events.begin(), events.begin(), events.end());
    return replay;
}

}  // namespace mivo::linux_desktop
