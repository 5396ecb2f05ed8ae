#include "platform/sim/sim_input.hpp"

#include <algorithm>
#include <cstdlib>

#include "platform/sim/sim_desktop.hpp"
#include "shared/text.hpp"

namespace mivo::sim {
namespace {

class SimKeyDownMonitor : public KeyDownMonitor {
  public:
    explicit SimKeyDownMonitor(std::shared_ptr<SimInput::MonitorState> state)
        : state_(std::move(state)) {}
    ~SimKeyDownMonitor() override { state_->alive = false; }
    void setEnabled(bool enabled) override { state_->enabled = enabled; }

  private:
    std::shared_ptr<SimInput::MonitorState> state_;
};

}  // namespace

SimInput::SimInput(SimDesktop& desktop)
    : desktop_(desktop),
      hold_(desktop.clock(), [this](const KeyEvent& event) { postKeyEvent(event); }) {}

bool SimInput::postKeyEvent(const KeyEvent& event) {
    // A stopped application takes its keys when it runs again.
    if (const auto field = desktop_.focusedEditableField()) {
        if (const auto stopped = desktop_.stopped_.find(desktop_.node(*field)->pid);
            stopped != desktop_.stopped_.end()) {
            stopped->second.queue.push_back([this, event] { postKeyEvent(event); });
            return true;
        }
    }
    keyEvents_.push_back(event);
    if (!event.keyDown)
        return true;
    deliverToMonitors(KeyDownMonitorEvent::keyDown);
    const auto field = desktop_.focusedEditableField();
    if (!field)
        return true;
    const InputQuirk quirk = desktop_.textModel(*field)->inputQuirk;
    if (event.keyCode == kKeyCodeV && (event.flags & kEventFlagCommand) != 0) {
        // With Shift down it is Ctrl+Shift+V, which editors do not take
        // for a paste.
        if (quirk.ignoresPaste || hold_.modifierIsDown())
            return true;
        if (quirk.pasteDelaySeconds > 0) {
            const Pid pid = desktop_.node(*field)->pid;
            if (quirk.answersNoCallsWhilePasting)
                desktop_.waitingForPasteboard_[pid] = false;
            desktop_.clock().after(quirk.pasteDelaySeconds, [this, f = *field, pid] {
                const auto waiting = desktop_.waitingForPasteboard_.find(pid);
                const bool givenUp =
                    waiting != desktop_.waitingForPasteboard_.end() && waiting->second;
                if (waiting != desktop_.waitingForPasteboard_.end())
                    desktop_.waitingForPasteboard_.erase(waiting);
                if (!givenUp)
                    paste(f);
            });
        } else
            paste(*field);
    } else if (event.keyCode == kSimKeyCodeZ && (event.flags & kEventFlagCommand) != 0) {
        desktop_.undo(*field);
    } else if (event.keyCode == kKeyCodeDelete) {
        desktop_.changeText(*field, [](SimText& t) { t.deleteBackward(); });
    } else if (event.keyCode == kKeyCodeRightArrow) {
        const std::string text = desktop_.text(*field);
        const text::CharacterText t{text};
        const auto at = t.characterIndexAtUtf16(desktop_.selection(*field).end());
        if (at && *at < t.count())
            desktop_.changeSelection(*field, Utf16Range{t.utf16Offset(*at + 1), 0});
    } else if (!event.unicodeString.empty() && !quirk.ignoresTyping) {
        const std::string typed = text::fromUtf16(event.unicodeString);
        desktop_.changeText(
            *field, [&](SimText& t) { t.replaceSelection(typed, quirk.leavesTailCharacters); },
            true);
    }
    return true;
}

void SimInput::paste(SimId field) {
    // The application reads the pasteboard when it handles the paste, so a
    // late paste takes whatever is on it by then.
    const auto content = pasteboardString(desktop_.pasteboard());
    desktop_.pasteboard().noteTextFetched();
    const auto* model = desktop_.textModel(field);
    if (!content || model == nullptr)
        return;
    const int64_t tail = model->inputQuirk.leavesTailCharacters;
    desktop_.changeText(field, [&](SimText& t) { t.replaceSelection(*content, tail); });
}

bool SimInput::postMouseEvent(const MouseEvent& event) {
    mouseEvents_.push_back(event);
    if (event.type == MouseEventType::leftMouseDown) {
        dragAnchor_.reset();
        const auto field = desktop_.editableFieldAt(event.location);
        if (!field)
            return true;
        desktop_.focus(*field);
        const auto& layout = desktop_.textModel(*field)->layout;
        const int64_t at = utf16OffsetAt(desktop_.text(*field), event.location, layout);
        dragAnchor_ = std::make_pair(*field, at);
        desktop_.changeSelection(*field, Utf16Range{at, 0});
        return true;
    }
    if (!dragAnchor_ || desktop_.textModel(dragAnchor_->first) == nullptr)
        return true;
    const auto [field, anchor] = *dragAnchor_;
    const auto& layout = desktop_.textModel(field)->layout;
    const int64_t at = utf16OffsetAt(desktop_.text(field), event.location, layout);
    desktop_.changeSelection(field, Utf16Range{std::min(anchor, at), std::abs(at - anchor)});
    if (event.type == MouseEventType::leftMouseUp)
        dragAnchor_.reset();
    return true;
}

std::expected<std::unique_ptr<KeyDownMonitor>, KeyDownMonitorError> SimInput::installKeyDownMonitor(
    KeyDownHandler handler) {
    if (monitorFailure_)
        return std::unexpected(*monitorFailure_);
    auto state = std::make_shared<MonitorState>();
    state->handler = std::move(handler);
    std::erase_if(monitors_, [](const auto& w) { return w.expired(); });
    monitors_.push_back(state);
    return std::make_unique<SimKeyDownMonitor>(std::move(state));
}

void SimInput::clearRecordedEvents() {
    keyEvents_.clear();
    mouseEvents_.clear();
}

void SimInput::disableMonitors(KeyDownMonitorEvent reason) {
    for (const auto& w : monitors_) {
        if (auto s = w.lock(); s && s->alive)
            s->enabled = false;
    }
    // The disabled notice reaches a monitor although it is off.
    for (const auto& w : monitors_) {
        desktop_.clock().after(0, [w, reason] {
            if (auto s = w.lock(); s && s->alive)
                s->handler(reason);
        });
    }
}

void SimInput::deliverToMonitors(KeyDownMonitorEvent event) {
    for (const auto& w : monitors_) {
        auto s = w.lock();
        if (!s || !s->alive || !s->enabled)
            continue;
        desktop_.clock().after(0, [w, event] {
            if (auto s = w.lock(); s && s->alive)
                s->handler(event);
        });
    }
}

std::size_t SimInput::monitorCount() const {
    return static_cast<std::size_t>(std::count_if(monitors_.begin(), monitors_.end(), [](auto& w) {
        auto s = w.lock();
        return s && s->alive;
    }));
}

std::size_t SimInput::enabledMonitorCount() const {
    return static_cast<std::size_t>(std::count_if(monitors_.begin(), monitors_.end(), [](auto& w) {
        auto s = w.lock();
        return s && s->alive && s->enabled;
    }));
}

}  // namespace mivo::sim
