#pragma once

// Synthetic input on the simulated desktop: key and mouse events edit the
// focused field of the frontmost application, and every key-down reaches the
// installed key-down monitors.

#include <memory>
#include <optional>
#include <vector>

#include "platform/input_events.hpp"
#include "platform/sim/sim_input_hold.hpp"

namespace mivo::sim {

class SimDesktop;
using SimId = uint64_t;

// The key of Z, which the services never post: only the user's Ctrl+Z.
inline constexpr uint16_t kSimKeyCodeZ = 6;

class SimInput : public InputEvents {
  public:
    explicit SimInput(SimDesktop& desktop);

    bool postKeyEvent(const KeyEvent& event) override;
    bool postMouseEvent(const MouseEvent& event) override;
    std::expected<std::unique_ptr<KeyDownMonitor>, KeyDownMonitorError> installKeyDownMonitor(
        KeyDownHandler handler) override;

    SimInputHold& inputHold() override { return hold_; }
    // A key the user presses on the keyboard: held while the keyboard is
    // held, else posted like any other.
    void userKeyEvent(const KeyEvent& event) { hold_.userKey(event); }
    // A key another program types through the same device as the services.
    void otherProgramKeyEvent(const KeyEvent& event) { hold_.otherProgramKey(event); }

    // A click of the user's or of another program's pointer: `click` does
    // what it does to the desktop, at once or once the hold ends; `drag`
    // what it does when a move overtakes it on its way.
    void pointerClick(std::function<void()> click, std::function<void()> drag = {}) {
        hold_.pointer(std::move(click), std::move(drag));
    }
    void pointerMove() { hold_.pointerMove(); }

    // Every event posted, in order.
    const std::vector<KeyEvent>& keyEvents() const { return keyEvents_; }
    const std::vector<MouseEvent>& mouseEvents() const { return mouseEvents_; }
    void clearRecordedEvents();

    // Quirks of the event system.
    void setMonitorInstallFailure(std::optional<KeyDownMonitorError> failure) {
        monitorFailure_ = failure;
    }
    bool inputMethodRunning() override {
        ++inputMethodQueries_;
        return inputMethodRunning_;
    }
    // How often a service asked whether an input method runs (on the real
    // desktop each answer takes a look at the X server and the session bus).
    std::size_t inputMethodQueries() const { return inputMethodQueries_; }
    void setInputMethodRunning(bool running) { inputMethodRunning_ = running; }
    // The system switches every monitor off and tells it so.
    void disableMonitors(KeyDownMonitorEvent reason);
    std::size_t monitorCount() const;
    std::size_t enabledMonitorCount() const;

    struct MonitorState {
        KeyDownHandler handler;
        bool enabled = true;
        bool alive = true;
    };

  private:
    void deliverToMonitors(KeyDownMonitorEvent event);
    void paste(SimId field);

    SimDesktop& desktop_;
    std::vector<KeyEvent> keyEvents_;
    std::vector<MouseEvent> mouseEvents_;
    std::vector<std::weak_ptr<MonitorState>> monitors_;
    SimInputHold hold_;
    bool inputMethodRunning_ = true;
    std::size_t inputMethodQueries_ = 0;
    std::optional<KeyDownMonitorError> monitorFailure_;
    // The field a mouse drag started in and the offset it started at.
    std::optional<std::pair<SimId, int64_t>> dragAnchor_;
};

}  // namespace mivo::sim
