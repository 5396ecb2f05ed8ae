#include "monitor/text_buffer_store.hpp"

namespace mivo {

void TextBufferStore::update(const std::string& appId, const std::string& elementId,
                             const std::string& value, Utf16Range range) {
    const TimePoint now = clock_.now();
    if (!buffer_)
        buffer_.emplace(appId, elementId, now);
    buffer_->lastVisibleValue = value;
    buffer_->selectedRange = range;
    buffer_->lastCommittedAt = now;
}

std::optional<FocusedControlState> TextBufferStore::currentState() const {
    return buffer_;
}

}  // namespace mivo
