#include "platform/sim/sim_input_hold.hpp"

#include <algorithm>
#include <chrono>
#include <utility>

namespace mivo::sim {

bool SimInputHold::hold(double limitSeconds) {
    if (refused_ || (keyDown_ && !holding_))
        return false;
    if (!holding_) {
        // What is still being sent on stays held, ahead of what comes now.
        replay_.stop();
        holding_ = true;
        ++holdsTaken_;
        since_ = clock_.now();
    }
    limit_.cancel();
    until_ = clock_.now() + seconds(limitSeconds);
    limit_ = clock_.after(limitSeconds, [this] { release(); });
    return true;
}

void SimInputHold::release() {
    end(true);
}

int SimInputHold::releaseKeepingKeysOut() {
    return end(false);
}

int SimInputHold::end(bool typeKeys) {
    if (!holding_)
        return 0;
    holding_ = false;
    limit_.cancel();
    lastHoldSeconds_ = std::chrono::duration<double>(clock_.now() - since_).count();
    int keptOut = 0;
    if (!typeKeys) {
        std::erase_if(held_, [&](const Held& h) {
            keptOut += h.kind == Held::Kind::key && h.press ? 1 : 0;
            return h.kind == Held::Kind::key;
        });
    }
    replay_.start([this] { return nextStep(); }, [] {}, std::max(until_, clock_.now()));
    return keptOut;
}

std::optional<PacedReplay::Step> SimInputHold::nextStep() {
    if (held_.empty())
        return std::nullopt;
    Held next = std::move(held_.front());
    held_.pop_front();
    switch (next.kind) {
        case Held::Kind::click: {
            auto click = std::make_shared<ClickOnItsWay>();
            lastClick_ = click;
            return PacedReplay::Step{
                [this, click, act = std::move(next.act), drag = std::move(next.drag)] {
                    clock_.after(kClickTakenAfterSeconds, [click, act, drag] {
                        click->taken = true;
                        if (click->dragged && drag)
                            drag();
                        else
                            act();
                    });
                },
                [click] { return click->taken; }};
        }
        case Held::Kind::move:
            return PacedReplay::Step{[this] {
                                         if (const auto click = lastClick_.lock();
                                             click && !click->taken)
                                             click->dragged = true;
                                     },
                                     {}};
        case Held::Kind::key:
        case Held::Kind::other:
            break;
    }
    return PacedReplay::Step{std::move(next.act), {}};
}

void SimInputHold::key(const KeyEvent& event) {
    if (!queues())
        return deliver_(event);
    held_.push_back({Held::Kind::key,
                     [this, event] {
                         ++keysTypedOn_;
                         deliver_(event);
                     },
                     {},
                     event.keyDown});
}

void SimInputHold::pointer(std::function<void()> click, std::function<void()> drag) {
    if (!queues())
        return click();
    held_.push_back({Held::Kind::click, std::move(click), std::move(drag)});
}

void SimInputHold::pointerMove() {
    if (queues())
        held_.push_back({Held::Kind::move, {}, {}});
}

void SimInputHold::setModifierDown(bool down) {
    if (!queues()) {
        modifierDown_ = down;
        return;
    }
    held_.push_back({Held::Kind::other, [this, down] { modifierDown_ = down; }, {}});
}

}  // namespace mivo::sim
