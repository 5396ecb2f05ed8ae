#include "tone_panel/tone_trigger_icon.hpp"

#include <algorithm>
#include <chrono>
#include <utility>

namespace mivo {

namespace {

constexpr double frameInterval = 1.0 / 60;

}  // namespace

ToneTriggerIcon::ToneTriggerIcon(Scheduler& scheduler, TriggerIconWindowFactory makeWindow)
    : scheduler_(scheduler),
      makeWindow_(std::move(makeWindow)),
      self_(std::make_shared<ToneTriggerIcon*>(this)) {}

ToneTriggerIcon::~ToneTriggerIcon() {
    *self_ = nullptr;
    fadeTicks_.cancel();
}

const std::set<std::string>& ToneTriggerIcon::hideForBundles() {
    static const std::set<std::string> bundles{"com.tinyspeck.slackmacgap", "com.hnc.Discord",
                                               "com.microsoft.teams2", "jp.naver.line.mac"};
    return bundles;
}

bool ToneTriggerIcon::shouldHide(const ToneWarmBuffer::FocusState& state) {
    using Tag = SurfaceTagResolver::SurfaceTag;
    return !state.isEligible || state.isSecureField || state.surfaceTag == Tag::codeOrTerminal ||
           state.surfaceTag == Tag::unknown || state.imeActive || !state.hasTargetCandidate ||
           (state.bundleId && hideForBundles().contains(*state.bundleId));
}

void ToneTriggerIcon::stop() {
    hide(false);
    fadeTicks_.cancel();
    ++fadeGeneration_;
    if (window_) {
        window_->orderOut();
        window_.reset();
    }
}

void ToneTriggerIcon::apply(const ToneWarmBuffer::FocusState& state) {
    lastEligibleState_ = state;
    if (isPanelOpen_) {
        hide(true);
        return;
    }
    evaluate(state);
}

void ToneTriggerIcon::setPanelOpen(bool open) {
    isPanelOpen_ = open;
    if (open) {
        hide(true);
    } else if (lastEligibleState_) {
        evaluate(*lastEligibleState_);
    }
}

void ToneTriggerIcon::evaluate(const ToneWarmBuffer::FocusState& state) {
    if (shouldHide(state) || !state.elementFrame) {
        hide(true);
        return;
    }
    ensureWindow();
    position(*state.elementFrame);
    show(true);
}

void ToneTriggerIcon::ensureWindow() {
    if (window_) {
        return;
    }
    std::weak_ptr<ToneTriggerIcon*> weak = self_;
    window_ = makeWindow_([weak] {
        if (auto self = weak.lock(); self && *self) {
            (*self)->handleClick();
        }
    });
    if (window_) {
        window_->setAlpha(0);
    }
    // A new window has never been placed: forget where the old one stood, or
    // the same field frame would leave it at the screen's origin.
    lastDisplayedFrame_.reset();
}

void ToneTriggerIcon::position(const Rect& frame) {
    if (!window_ || lastDisplayedFrame_ == frame) {
        return;
    }
    // 30 points left of the field's right edge and 8 above its bottom; the
    // field is in X pixels, the icon's points are scaled with the screen.
    const double scale = window_->pixelsPerPoint();
    window_->setFrameOrigin(
        {frame.maxX() - (iconSize + edgeInset) * scale, frame.minY() + edgeInset * scale});
    lastDisplayedFrame_ = frame;
}

void ToneTriggerIcon::show(bool animated) {
    if (!window_) {
        return;
    }
    if (!window_->isVisible()) {
        window_->orderFront();
    }
    fadeTo(1, animated, nullptr);
}

void ToneTriggerIcon::hide(bool animated) {
    if (!window_ || !window_->isVisible()) {
        return;
    }
    fadeTo(0, animated, [this, faded = window_.get()] {
        // A show that began during the fade raised the alpha again: stay. A
        // window made since (after stop) is not this fade's.
        if (window_ && window_.get() == faded && window_->alpha() <= 0.01) {
            window_->orderOut();
        }
    });
}

void ToneTriggerIcon::fadeTo(double target, bool animated, std::function<void()> completion) {
    fadeTicks_.cancel();
    const uint64_t generation = ++fadeGeneration_;
    if (!animated) {
        window_->setAlpha(target);
        if (completion) {
            completion();
        }
        return;
    }
    const double from = window_->alpha();
    const TimePoint began = scheduler_.now();
    fadeTicks_ = scheduler_.repeating(frameInterval, [this, from, target, began] {
        const double t = std::chrono::duration<double>(scheduler_.now() - began).count();
        window_->setAlpha(from + (target - from) * std::min(1.0, t / fadeDuration));
    });
    // The completion is its own step: it still runs when a later fade takes
    // over, and then finds that fade's alpha.
    std::weak_ptr<ToneTriggerIcon*> weak = self_;
    scheduler_.after(fadeDuration, [weak, generation, target, completion] {
        auto self = weak.lock();
        if (!self || !*self) {
            return;
        }
        ToneTriggerIcon& icon = **self;
        if (generation == icon.fadeGeneration_) {
            icon.fadeTicks_.cancel();
            if (icon.window_) {
                icon.window_->setAlpha(target);
            }
        }
        if (completion) {
            completion();
        }
    });
}

void ToneTriggerIcon::handleClick() {
    if (onLog) {
        onLog("TONE-003: icon clicked → trigger");
    }
    if (onTrigger) {
        onTrigger();
    }
}

}  // namespace mivo
