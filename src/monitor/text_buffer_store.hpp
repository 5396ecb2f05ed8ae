#pragma once

// The last known state of the focused field: its text and selection as last
// read, and when. Refreshed on every accepted value change, emptied when the
// application changes and when monitoring stops.

#include <optional>
#include <string>
#include <utility>

#include "platform/geometry.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

class FocusedControlState {
  public:
    FocusedControlState(std::string appId, std::string elementId, TimePoint createdAt)
        : lastCommittedAt(createdAt), appId_(std::move(appId)), elementId_(std::move(elementId)) {}

    // Fixed at creation: the process identifier in decimal, and "focused".
    const std::string& appId() const { return appId_; }
    const std::string& elementId() const { return elementId_; }

    std::string lastVisibleValue;
    Utf16Range selectedRange;  // as the accessibility interface reported it
    TimePoint lastCommittedAt;

  private:
    std::string appId_;
    std::string elementId_;
};

class TextBufferStore {
  public:
    explicit TextBufferStore(const Scheduler& clock) : clock_(clock) {}

    // The first update after clear() sets the identifiers; later ones keep
    // them, whatever they are given, and refresh the rest.
    void update(const std::string& appId, const std::string& elementId, const std::string& value,
                Utf16Range range);
    void clear() { buffer_.reset(); }
    // A copy of the buffer; nothing when empty.
    std::optional<FocusedControlState> currentState() const;

  private:
    const Scheduler& clock_;
    std::optional<FocusedControlState> buffer_;
};

}  // namespace mivo
