#pragma once

// A log that keeps its lines for the test to read.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/log.hpp"

namespace mivo::sim {

class CapturedLog : public Log {
  public:
    void write(std::string_view line) override;

    const std::vector<std::string>& lines() const { return lines_; }
    // Lines containing `fragment`.
    std::size_t count(std::string_view fragment) const;
    bool contains(std::string_view fragment) const { return count(fragment) > 0; }
    void clear() { lines_.clear(); }

  private:
    std::vector<std::string> lines_;
};

}  // namespace mivo::sim
