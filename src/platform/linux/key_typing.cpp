#include "platform/linux/key_typing.hpp"

#include <algorithm>

namespace mivo::linux_desktop {

SpareKeyPool::SpareKeyPool(std::vector<unsigned char> keycodes) {
    for (unsigned char k : keycodes)
        keys_.push_back(Key{k, 0, 0, {}});
}

std::variant<SpareKeyPool::Lent, TimePoint> SpareKeyPool::lend(unsigned long keysym,
                                                               TimePoint now) {
    if (keys_.empty())
        return Lent{};
    // A keysym typed again finds its key still mapped: no remap, no wait.
    if (auto same = std::find_if(keys_.begin(), keys_.end(),
                                 [keysym](const Key& k) { return k.keysym == keysym; });
        same != keys_.end())
        return Lent{same->keycode, false};
    auto oldest = std::min_element(keys_.begin(), keys_.end(), [](const Key& a, const Key& b) {
        return a.lastUse < b.lastUse;
    });
    if (oldest->lastUse != 0) {
        const TimePoint free = oldest->usedAt + seconds(kRemapQuarantineSeconds);
        if (now < free)
            return free;
    }
    oldest->keysym = keysym;
    return Lent{oldest->keycode, true};
}

void SpareKeyPool::pressed(unsigned char keycode, TimePoint now) {
    for (Key& k : keys_) {
        if (k.keycode == keycode) {
            k.lastUse = ++uses_;
            k.usedAt = now;
        }
    }
}

bool SpareKeyPool::isSpare(unsigned char keycode) const {
    return std::any_of(keys_.begin(), keys_.end(),
                       [keycode](const Key& k) { return k.keycode == keycode; });
}

std::vector<unsigned char> SpareKeyPool::lentKeycodes() const {
    std::vector<unsigned char> out;
    for (const Key& k : keys_) {
        if (k.keysym != 0)
            out.push_back(k.keycode);
    }
    return out;
}

KeyTypingSequence::KeyTypingSequence(KeyStrokes& strokes, std::vector<unsigned char> spareKeycodes,
                                     Scheduler& scheduler, Log& log)
    : strokes_(strokes), spare_(std::move(spareKeycodes)), scheduler_(scheduler), log_(log) {}

KeyTypingSequence::~KeyTypingSequence() {
    *alive_ = false;
    start_.cancel();
    wake_.cancel();
}

bool KeyTypingSequence::canType(unsigned long keysym) {
    if (keysym == 0)
        return false;
    if (const auto own = strokes_.layoutKeycode(keysym); own && !spare_.isSpare(*own))
        return true;
    return !spare_.empty();
}

void KeyTypingSequence::type(unsigned long keysym) {
    hold(TypeKeysym{keysym});
}

void KeyTypingSequence::key(unsigned long keysym, bool down) {
    hold(LayoutKey{keysym, down});
}

void KeyTypingSequence::dropHeld() {
    held_.clear();
}

void KeyTypingSequence::hold(Step step) {
    held_.push_back(step);
    if (start_)
        return;
    start_ = scheduler_.after(0, [this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired())
            return;
        start_ = Cancel();
        queue_.insert(queue_.end(), held_.begin(), held_.end());
        held_.clear();
        run();
    });
}

void KeyTypingSequence::run() {
    // Re-entered from a step (never expected) or while a timer waits: the
    // step in hand or the timer carries on.
    if (running_ || (wake_ && !wake_.isCancelled()))
        return;
    running_ = true;
    while (!queue_.empty()) {
        bool ok = true;
        TimePoint waitUntil{};
        if (!perform(queue_.front(), ok, waitUntil)) {
            const double delay =
                std::chrono::duration<double>(waitUntil - scheduler_.now()).count();
            wake_ = scheduler_.after(delay, [this, alive = std::weak_ptr<bool>(alive_)] {
                if (alive.expired())
                    return;
                wake_ = Cancel();
                run();
            });
            break;
        }
        queue_.pop_front();
        if (!ok) {
            fail("a synthetic key press was refused; the rest of the typing is dropped");
            break;
        }
    }
    running_ = false;
}

bool KeyTypingSequence::perform(const Step& step, bool& ok, TimePoint& waitUntil) {
    if (const auto* layout = std::get_if<LayoutKey>(&step)) {
        ok = strokes_.key(layout->keysym, layout->down);
        return true;
    }
    const unsigned long keysym = std::get<TypeKeysym>(step).keysym;
    if (const auto own = strokes_.layoutKeycode(keysym); own && !spare_.isSpare(*own)) {
        ok = strokes_.press(*own);
        return true;
    }
    const TimePoint now = scheduler_.now();
    const auto lent = spare_.lend(keysym, now);
    if (const auto* until = std::get_if<TimePoint>(&lent)) {
        waitUntil = *until;
        return false;
    }
    const auto [keycode, remap] = std::get<SpareKeyPool::Lent>(lent);
    if (keycode == 0) {
        ok = false;
        return true;
    }
    ok = (!remap || strokes_.remap(keycode, keysym)) && strokes_.press(keycode);
    spare_.pressed(keycode, now);
    return true;
}

void KeyTypingSequence::fail(const std::string& why) {
    queue_.clear();
    log_.write("[Mivo] input: " + why);
}

}  // namespace mivo::linux_desktop
