#pragma once

// Connections turned away at the door, counted. Each refusal is counted but
// only the 1st, 2nd, 4th, 8th, ... is said, so that a flood of connections
// costs a few lines of log and no memory.

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace mivo::stub {

class RefusalLog {
  public:
    explicit RefusalLog(std::function<void(const std::string&)> say) : say_(std::move(say)) {}

    // A connection of `owner` (nothing: of a user that cannot be told) was
    // closed unread.
    void refused(std::optional<uid_t> owner);
    uint64_t count() const { return count_.load(); }

  private:
    std::atomic<uint64_t> count_{0};
    std::function<void(const std::string&)> say_;
};

}  // namespace mivo::stub
