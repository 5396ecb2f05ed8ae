// What the ladder keeps of the writes on their way: which are watched, what
// the field has shown of them, and steps that wait for a paste in flight.

#include "monitor/replacement_ladder.hpp"

#include <algorithm>

#include "field/pasteboard_guard.hpp"
#include "monitor/replacement_verification.hpp"

namespace mivo {

bool ReplacementLadder::holdNeededByAWrite() {
    // A write that has let go of the devices, its check still to come,
    // needs none.
    const auto holding = hold_.write();
    return waitingForKeysUp_ || (holding && !holding->ended);
}

bool ReplacementLadder::isWatching(const AXElement& element) {
    std::erase_if(watches_, [](const auto& w) { return w.expired(); });
    return std::ranges::any_of(watches_, [&](const auto& w) {
        const auto watch = w.lock();
        return watch && !watch->shown && watch->element == element;
    });
}

void ReplacementLadder::noteFieldText(const AXElement& element, const FieldText& text) {
    const auto note = [&](WriteWatch& watch) {
        if (!watch.seenInText && watch.element == element &&
            replacementShows(watch.issue, watch.originalText, text))
            watch.shown = watch.seenInText = true;
    };
    for (const auto& w : watches_) {
        if (const auto watch = w.lock())
            note(*watch);
    }
}

void ReplacementLadder::scheduleFieldStep(double seconds, std::function<void()> step) {
    host_.scheduleStep(seconds, [this, step = std::move(step)]() mutable {
        if (PasteboardGuard::pasteInFlight(host_.desktop().pasteboard)) {
            scheduleFieldStep(PasteboardGuard::kFetchPollInterval, std::move(step));
            return;
        }
        step();
    });
}

void ReplacementLadder::giveUpUnwritten(const PendingReplacement& pending, std::string_view line) {
    giveUp(pending, line);
    // Nothing more goes in: what waited goes on where the user had the
    // caret, and the user learns what the field holds then.
    hold_.end({.write = pending.watch.get(), .told = WriteHold::Unwritten{}});
}

}  // namespace mivo
