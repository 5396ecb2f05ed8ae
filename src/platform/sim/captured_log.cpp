#include "platform/sim/captured_log.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace mivo::sim {

void CapturedLog::write(std::string_view line) {
    keptLines_.emplace_back(line);
    record(line);
}

void CapturedLog::writeUserText(std::string_view line) {
    record(line);
}

void CapturedLog::record(std::string_view line) {
    lines_.emplace_back(line);
    // MIVO_SIM_LOG=1 echoes the lines while a test is being debugged.
    static const bool echo = std::getenv("MIVO_SIM_LOG") != nullptr;
    if (echo)
        std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

std::size_t CapturedLog::count(std::string_view fragment) const {
    return static_cast<std::size_t>(std::count_if(lines_.begin(), lines_.end(), [&](const auto& l) {
        return l.find(fragment) != std::string::npos;
    }));
}

}  // namespace mivo::sim
