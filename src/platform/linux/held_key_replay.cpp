#include "platform/linux/held_key_replay.hpp"

#include <bitset>

namespace mivo::linux_desktop {

HeldKeyReplay planHeldKeyReplay(std::span<const HeldEvent> held, const KeyBits& modifiers,
                                const KeysDownNow& now) {
    HeldKeyReplay replay;
    KeyBits down;
    KeyBits cleared;
    std::bitset<32> buttons;
    for (const HeldEvent& event : held) {
        if (const auto* pointer = std::get_if<HeldPointerEvent>(&event)) {
            const auto b = static_cast<std::size_t>(pointer->button);
            // A release whose press came before the hold was never ours.
            if (pointer->button > 0 && b < buttons.size()) {
                if (!pointer->down && !buttons.test(b))
                    continue;
                buttons.set(b, pointer->down);
            }
            replay.events.push_back(event);
            continue;
        }
        const auto& key = std::get<HeldKeyEvent>(event);
        if (!key.down && !down.test(key.keycode))
            continue;
        // Still down on the typing device from before, where no application
        // sees it: let it up there first, or the press would count for none.
        // A key the applications see down is another program's to release.
        if (key.down && now.typing.test(key.keycode) && !cleared.test(key.keycode) &&
            !now.application.test(key.keycode)) {
            replay.events.emplace_back(HeldKeyEvent{key.keycode, false});
            cleared.set(key.keycode);
        }
        replay.events.push_back(event);
        down.set(key.keycode, key.down);
    }
    // A modifier the user still holds stays down: its keyboard is back on
    // the master, whose key it releases when it comes up. Released now, a
    // Shift held on would not reach the keys typed after the hold. Any
    // other key comes up at once (it would repeat), and so does a modifier
    // that came up in the moment between the end of the hold and now.
    for (int k = 0; k < 256; ++k) {
        if (!down.test(k))
            continue;
        const auto keycode = static_cast<unsigned char>(k);
        if (modifiers.test(k) && now.user.test(k))
            replay.standIns.push_back(keycode);
        else
            replay.events.emplace_back(HeldKeyEvent{keycode, false});
    }
    return replay;
}

}  // namespace mivo::linux_desktop
