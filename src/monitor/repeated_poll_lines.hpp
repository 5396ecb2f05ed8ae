#pragma once

// The focus poll runs every second and would log the same state each time:
// a poll writes only the lines the previous one did not, so an idle desktop
// logs its state once.

#include <optional>
#include <string>
#include <vector>

namespace mivo {

class RepeatedPollLines {
  public:
    // Lines logged from here to `endPoll` belong to one poll.
    void beginPoll() { current_.emplace(); }
    void endPoll();
    // A new run reports its first poll whatever the last run found.
    void forget() { previous_.clear(); }
    // Whether `line`, logged during a poll, was logged by the previous one;
    // outside a poll, never.
    bool repeated(const std::string& line);

  private:
    std::vector<std::string> previous_;
    std::optional<std::vector<std::string>> current_;
};

}  // namespace mivo
