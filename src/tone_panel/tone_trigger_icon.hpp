#pragma once

// The floating "W" mark at the bottom-right corner of the focused text field
// of another application; a click opens the rewrite panel. It hides wherever
// a rewrite makes no sense and while the panel is open. The logic is plain
// C++ over a small window port; the fades run on the Scheduler.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/cancel.hpp"
#include "platform/geometry.hpp"
#include "platform/scheduler.hpp"
#include "tone/tone_warm_buffer.hpp"

namespace mivo {

// The icon's window: never takes the focus.
class TriggerIconWindow {
  public:
    virtual ~TriggerIconWindow() = default;
    // Bottom-left corner in global coordinates (X pixels, y up).
    virtual void setFrameOrigin(Point origin) = 0;
    // The X pixels one of the icon's points takes on the screen: more than
    // one on a scaled screen.
    virtual double pixelsPerPoint() const { return 1; }
    virtual bool isVisible() const = 0;
    // Shows it above other windows without making it key.
    virtual void orderFront() = 0;
    virtual void orderOut() = 0;
    virtual double alpha() const = 0;
    virtual void setAlpha(double alpha) = 0;
};

// Makes a window whose click calls `onClick`.
using TriggerIconWindowFactory =
    std::function<std::unique_ptr<TriggerIconWindow>(std::function<void()> onClick)>;

class ToneTriggerIcon {
  public:
    static constexpr double edgeInset = 8;
    static constexpr double iconSize = 22;
    static constexpr double fadeDuration = 0.18;

    ToneTriggerIcon(Scheduler& scheduler, TriggerIconWindowFactory makeWindow);
    ~ToneTriggerIcon();
    ToneTriggerIcon(const ToneTriggerIcon&) = delete;
    ToneTriggerIcon& operator=(const ToneTriggerIcon&) = delete;

    std::function<void()> onTrigger;
    std::function<void(const std::string&)> onLog;

    void start() {}
    // Hides at once and drops the window; the next show makes a new one.
    void stop();
    // Every focus report of the warm buffer.
    void apply(const ToneWarmBuffer::FocusState& state);
    // The coordinator's panel visibility.
    void setPanelOpen(bool open);

    // Secure fields, code editors and terminals, unknown surfaces, an input
    // method composing, no text, and the four chat applications.
    static bool shouldHide(const ToneWarmBuffer::FocusState& state);
    static const std::set<std::string>& hideForBundles();

    // What tests look at.
    TriggerIconWindow* window() const { return window_.get(); }

  private:
    void evaluate(const ToneWarmBuffer::FocusState& state);
    void ensureWindow();
    void position(const Rect& frame);
    void show(bool animated);
    void hide(bool animated);
    void fadeTo(double target, bool animated, std::function<void()> completion);
    void handleClick();

    Scheduler& scheduler_;
    TriggerIconWindowFactory makeWindow_;
    std::unique_ptr<TriggerIconWindow> window_;
    bool isPanelOpen_ = false;
    std::optional<ToneWarmBuffer::FocusState> lastEligibleState_;
    std::optional<Rect> lastDisplayedFrame_;
    // The running fade's frames, and which fade is the latest.
    Cancel fadeTicks_;
    uint64_t fadeGeneration_ = 0;
    std::shared_ptr<ToneTriggerIcon*> self_;
};

}  // namespace mivo
