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
    void writeUserText(std::string_view line) override;

    // Every line, in order.
    const std::vector<std::string>& lines() const { return lines_; }
    // The lines a production log would also keep beyond the session: all
    // but those written as quoting the user's text.
    const std::vector<std::string>& keptLines() const { return keptLines_; }
    // Lines containing `fragment`.
    std::size_t count(std::string_view fragment) const;
    bool contains(std::string_view fragment) const { return count(fragment) > 0; }
    void clear() {
        lines_.clear();
        keptLines_.clear();
    }

  private:
    void record(std::string_view line);

    std::vector<std::string> lines_;
    std::vector<std::string> keptLines_;
};

}  // namespace mivo::sim
