#include "monitor/repeated_poll_lines.hpp"

#include <algorithm>
#include <utility>

namespace mivo {

void RepeatedPollLines::endPoll() {
    if (current_)
        previous_ = std::move(*current_);
    current_.reset();
}

bool RepeatedPollLines::repeated(const std::string& line) {
    if (!current_)
        return false;
    current_->push_back(line);
    return std::ranges::find(previous_, line) != previous_.end();
}

}  // namespace mivo
