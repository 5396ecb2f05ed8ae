#pragma once

// Every input device on the simulated desktop: keys and clicks the test
// makes as the user or as another program wait here while the devices are
// held and go on, in order, when the hold ends (by the service, or by its
// time limit on the virtual clock). Synthetic input of the services never
// passes through here.
//
// What is sent on reaches the applications as on X11 under a window
// manager: a click sent on is taken a moment later (the window manager
// looks at it first), so keys sent right behind it overtake it, and a move
// of the pointer sent before the click was taken makes it a drag.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "platform/cancel.hpp"
#include "platform/input_events.hpp"
#include "platform/input_hold.hpp"
#include "platform/paced_replay.hpp"
#include "platform/scheduler.hpp"

namespace mivo::sim {

class SimInputHold : public InputHold {
  public:
    // How long after it was sent on an application takes a click.
    static constexpr double kClickTakenAfterSeconds = 0.02;

    using Deliver = std::function<void(const KeyEvent&)>;
    SimInputHold(Scheduler& clock, Deliver deliver)
        : clock_(clock), deliver_(std::move(deliver)), replay_(clock) {}
    ~SimInputHold() override { limit_.cancel(); }
    SimInputHold(const SimInputHold&) = delete;
    SimInputHold& operator=(const SimInputHold&) = delete;

    bool hold(double limitSeconds) override;
    void release() override;
    int releaseKeepingKeysOut() override;
    bool holding() const override { return holding_; }
    bool keyIsDown() override { return keyDown_ || modifierDown_; }
    bool modifierIsDown() override { return modifierDown_; }
    uint64_t keysTypedOn() const override { return keysTypedOn_; }

    // A key of the user's, or of another program through the device the
    // services type through: held while the devices are held, else
    // delivered.
    void userKey(const KeyEvent& event) { key(event); }
    void otherProgramKey(const KeyEvent& event) { key(event); }
    // A press and release of a pointer, the user's or another program's:
    // `click` does what it does to the desktop, now or when it is sent on;
    // `drag`, what it does instead should a move overtake it then.
    void pointer(std::function<void()> click, std::function<void()> drag = {});
    // The pointer moves on after a click: nothing for a click taken, a drag
    // for one that is not.
    void pointerMove();

    // Like another program holding the keyboard: every hold is refused.
    void setRefused(bool refused) { refused_ = refused; }
    // The user holds a key down: no hold is taken until it comes up.
    void setKeyDown(bool down) { keyDown_ = down; }
    // The user presses or lets go of Shift (or another modifier): while the
    // devices are held, the applications see it only when the hold ends.
    void setModifierDown(bool down);
    int holdsTaken() const { return holdsTaken_; }
    // Seconds the last hold lasted, from its start to its release.
    double lastHoldSeconds() const { return lastHoldSeconds_; }

  private:
    struct Held {
        enum class Kind { key, click, move, other };
        Kind kind = Kind::other;
        std::function<void()> act;
        std::function<void()> drag;
        bool press = false;  // a key's press, not its release
    };
    // A click sent on that its application has not taken yet.
    struct ClickOnItsWay {
        bool taken = false;
        bool dragged = false;
    };

    void key(const KeyEvent& event);
    // Ends the hold; `typeKeys`: the keys held are sent on with the rest.
    // Answers the key presses kept out.
    int end(bool typeKeys);
    // Held now, or behind what is still being sent on.
    bool queues() const { return holding_ || replay_.running(); }
    std::optional<PacedReplay::Step> nextStep();

    Scheduler& clock_;
    Deliver deliver_;
    std::deque<Held> held_;
    PacedReplay replay_;
    std::weak_ptr<ClickOnItsWay> lastClick_;
    bool holding_ = false;
    bool refused_ = false;
    bool keyDown_ = false;
    bool modifierDown_ = false;
    int holdsTaken_ = 0;
    uint64_t keysTypedOn_ = 0;
    TimePoint since_{};
    TimePoint until_{};
    double lastHoldSeconds_ = 0;
    Cancel limit_;
};

}  // namespace mivo::sim
